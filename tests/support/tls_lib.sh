# Shared parts of the shell fixtures that start kasse-sim servers with test
# certificates (tests/support/tls_fixture.sh, tests/faults/tls_faults.sh):
# certificate helpers, starting and stopping servers, and the start/stop
# command line. Sourced, never run; it only defines functions.

# How long the test certificates are valid, in days: long enough for a run
# that crosses midnight, short enough that none outlives its purpose.
TLS_DAYS=3

# make_ca NAME CN: a CA certificate NAME.pem with its key NAME.key in the
# current folder, signed by itself.
make_ca() {
  local name=$1 cn=$2
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days $TLS_DAYS -keyout "$name.key" -out "$name.pem" \
    -subj "/CN=$cn" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
}

# make_self_signed NAME SAN: a server certificate for localhost, NAME.pem
# with NAME.key, that vouches for itself and so chains to no CA.
make_self_signed() {
  local name=$1 san=$2
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days $TLS_DAYS -keyout "$name.key" -out "$name.pem" \
    -subj "/CN=localhost" -addext "subjectAltName=$san" 2>/dev/null
}

# start_server DIR NAME ARGS...: starts kasse-sim ($SIM) in the background,
# detached from the caller's output so that CTest does not wait for it, and
# writes the port it picked into NAME.port.
start_server() {
  local dir=$1 name=$2
  shift 2
  setsid "$SIM" --port 0 "$@" >"$dir/$name.out" 2>"$dir/$name.err" </dev/null &
  echo $! >"$dir/$name.pid"
  local i
  for i in $(seq 100); do
    if [ -s "$dir/$name.out" ]; then
      head -n 1 "$dir/$name.out" >"$dir/$name.port"
      return 0
    fi
    sleep 0.05
  done
  echo "kasse-sim $name did not start:" >&2
  cat "$dir/$name.err" >&2
  return 1
}

# stop_servers DIR: ends every server started into DIR and waits for it.
stop_servers() {
  local dir=$1 pidfile pid pids=()
  for pidfile in "$dir"/*.pid; do
    [ -e "$pidfile" ] || continue
    pid=$(cat "$pidfile")
    kill -TERM "$pid" 2>/dev/null && pids+=("$pid")
    rm -f "$pidfile" "${pidfile%.pid}.port"
  done
  # A server finishes its open connections before it exits.
  for pid in "${pids[@]}"; do
    for _ in $(seq 100); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.05
    done
  done
}

# fixture_main MAKE_CERTIFICATES START_SERVERS ARGS...: the fixture's command
# line, "start KASSE_SIM DIR" or "stop DIR". Start ends what an earlier run
# left in DIR, empties it, calls MAKE_CERTIFICATES DIR in a subshell (it may
# change folder) and then START_SERVERS DIR.
fixture_main() {
  local make_certificates=$1 start_servers=$2
  shift 2
  case "${1:-}" in
    start)
      SIM=$2
      local dir=$3
      [ -x "$SIM" ] || { echo "kasse-sim not found at $SIM" >&2; exit 1; }
      mkdir -p "$dir"
      stop_servers "$dir"
      rm -rf "${dir:?}"/*
      ("$make_certificates" "$dir")
      "$start_servers" "$dir"
      ;;
    stop)
      stop_servers "$2"
      ;;
    *)
      echo "usage: $0 start KASSE_SIM DIR | stop DIR" >&2
      exit 2
      ;;
  esac
}
