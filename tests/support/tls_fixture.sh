#!/usr/bin/env bash
# Test fixture for the HTTPS and simulator tests: makes a test CA and server
# certificates with the openssl command, then starts kasse-sim instances on
# free loopback ports; "stop" ends them again.
#   tls_fixture.sh start KASSE_SIM DIR
#   tls_fixture.sh stop DIR
# DIR receives ca.pem, other-ca.pem and, per server NAME, NAME.port.
set -euo pipefail

make_certificates() {
  local dir=$1
  cd "$dir"
  local days=3
  # The CA that the tests put into caFile.
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days $days -keyout ca.key -out ca.pem \
    -subj "/CN=QelConnect Test CA" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
  # A second CA that signs nothing the servers use.
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days $days -keyout other-ca.key -out other-ca.pem \
    -subj "/CN=QelConnect Other CA" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null

  # Server certificates signed by the test CA: one for this host, one for
  # another host name.
  local name cn san
  for name in trusted wrongname; do
    if [ $name = trusted ]; then
      cn=localhost san="DNS:localhost,IP:127.0.0.1"
    else
      cn=kasse.invalid san="DNS:kasse.invalid"
    fi
    openssl req -newkey rsa:2048 -nodes -sha256 -keyout $name.key -out $name.csr -subj "/CN=$cn" 2>/dev/null
    printf '%s\n' "subjectAltName=$san" "basicConstraints=CA:FALSE" \
      "keyUsage=critical,digitalSignature,keyEncipherment" "extendedKeyUsage=serverAuth" > $name.ext
    openssl x509 -req -sha256 -days $days -in $name.csr -CA ca.pem -CAkey ca.key -CAcreateserial \
      -extfile $name.ext -out $name.pem 2>/dev/null
  done
  # A self-signed certificate for this host that no one trusts.
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days $days -keyout untrusted.key -out untrusted.pem \
    -subj "/CN=localhost" -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" 2>/dev/null
}

# start_server DIR NAME ARGS...: starts kasse-sim in the background, detached
# from the caller's output so that CTest does not wait for it, and writes the
# port it picked into NAME.port.
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

case "${1:-}" in
  start)
    SIM=$2
    DIR=$3
    [ -x "$SIM" ] || { echo "kasse-sim not found at $SIM" >&2; exit 1; }
    mkdir -p "$DIR"
    stop_servers "$DIR"
    rm -rf "${DIR:?}"/*
    (make_certificates "$DIR")
    start_server "$DIR" trusted --tls "$DIR/trusted.pem" "$DIR/trusted.key"
    start_server "$DIR" wrongname --tls "$DIR/wrongname.pem" "$DIR/wrongname.key"
    start_server "$DIR" untrusted --tls "$DIR/untrusted.pem" "$DIR/untrusted.key"
    start_server "$DIR" plain --user kasse --password "$(printf 'geh\xc3\xa9im')" --rect 0 \
      --rectmsg "$(printf 'Beleg \xc3\xbcbernommen')" --prefix ns1 --record "$DIR/recorded"
    ;;
  stop)
    stop_servers "$2"
    ;;
  *)
    echo "usage: $0 start KASSE_SIM DIR | stop DIR" >&2
    exit 2
    ;;
esac
