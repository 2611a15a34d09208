#!/usr/bin/env bash
# Test fixture for the TLS fault tests: makes a test CA and four server
# certificates with the openssl command (trusted, expired, self-signed, for
# the wrong host name) and starts one kasse-sim per certificate.
#   tls_faults.sh start KASSE_SIM DIR
#   tls_faults.sh stop DIR
# DIR receives ca.pem and, per server NAME, NAME.port.
set -euo pipefail

make_certificates() {
  cd "$1"
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3 -keyout ca.key -out ca.pem \
    -subj "/CN=QelConnect Fault CA" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null

  # Requests carry their extensions; the CA copies them into the certificate.
  local name cn
  for name in trusted expired wrongname; do
    cn=localhost
    [ $name = wrongname ] && cn=kasse.invalid
    openssl req -newkey rsa:2048 -nodes -sha256 -keyout $name.key -out $name.csr -subj "/CN=$cn" \
      -addext "subjectAltName=DNS:$cn" -addext "extendedKeyUsage=serverAuth" 2>/dev/null
  done

  # "openssl ca" is the command that takes an explicit validity period, which
  # the expired certificate needs.
  : >index.txt
  echo 1000 >serial
  cat >ca.cnf <<'CNF'
[ca]
default_ca = fault_ca
[fault_ca]
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
default_days = 3
policy = any_name
copy_extensions = copy
unique_subject = no
[any_name]
commonName = supplied
CNF
  openssl ca -batch -notext -config ca.cnf -cert ca.pem -keyfile ca.key -in trusted.csr -out trusted.pem 2>/dev/null
  openssl ca -batch -notext -config ca.cnf -cert ca.pem -keyfile ca.key -in wrongname.csr -out wrongname.pem \
    2>/dev/null
  openssl ca -batch -notext -config ca.cnf -cert ca.pem -keyfile ca.key -in expired.csr -out expired.pem \
    -startdate 20200101000000Z -enddate 20200201000000Z 2>/dev/null
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3 -keyout selfsigned.key -out selfsigned.pem \
    -subj "/CN=localhost" -addext "subjectAltName=DNS:localhost" 2>/dev/null
}

# start_server DIR NAME ARGS...: kasse-sim in the background, detached from
# the caller's output so that CTest does not wait for it; its port goes to
# NAME.port.
start_server() {
  local dir=$1 name=$2
  shift 2
  setsid "$SIM" --port 0 "$@" >"$dir/$name.out" 2>"$dir/$name.err" </dev/null &
  echo $! >"$dir/$name.pid"
  for _ in $(seq 100); do
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
  local pidfile pid pids=()
  for pidfile in "$1"/*.pid; do
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
    for name in trusted expired wrongname selfsigned; do
      start_server "$DIR" $name --tls "$DIR/$name.pem" "$DIR/$name.key"
    done
    ;;
  stop)
    stop_servers "$2"
    ;;
  *)
    echo "usage: $0 start KASSE_SIM DIR | stop DIR" >&2
    exit 2
    ;;
esac
