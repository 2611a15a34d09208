#!/usr/bin/env bash
# Shows one sale and one refund end to end: the cash-register simulator on a
# free loopback port, the command-line host running examples/sale.json and
# examples/refund.json through the library, and what each side saw.
# Usage: scripts/demo.sh linux|win32   (make demo, make demo-win)
# The build trees default to build/linux and build/win32; QEL_LINUX_DIR and
# QEL_WIN32_DIR point the demo at others.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
MODE=${1:-}
LINUX_DIR=${QEL_LINUX_DIR:-$ROOT/build/linux}
WIN32_DIR=${QEL_WIN32_DIR:-$ROOT/build/win32}

# The simulator's credentials; QelConnect.xml carries the same.
USER_NAME=QELUSER
PASSWORD=demo-secret
URL_PATH=/sap/bc/srt/rfc/sap/zqel_kasse
OLD_KASSE_PREFIX=42

case $MODE in
  linux)
    TITLE="Linux, libQelConnect.so"
    LIBRARY=$LINUX_DIR/libQelConnect.so
    HOST=("$LINUX_DIR/qelhost")
    ;;
  win32)
    TITLE="Windows under Wine, QelConnect.dll"
    LIBRARY=$WIN32_DIR/QelConnect.dll
    HOST=(bash "$ROOT/scripts/wine-run.sh" "$WIN32_DIR/qelhost.exe")
    ;;
  *)
    echo "usage: $0 linux|win32" >&2
    exit 2
    ;;
esac

SIM=$LINUX_DIR/kasse-sim
DEMO=$ROOT/build/demo-$MODE
for file in "$SIM" "$LIBRARY" "${HOST[-1]}"; do
  if [ ! -f "$file" ]; then
    echo "demo: $file is missing; build first (make build)" >&2
    exit 1
  fi
done

# Headings stand out in bold on a terminal and stay plain text in a file.
if [ -t 1 ]; then
  heading() { printf '\n\033[1m== %s ==\033[0m\n' "$*"; }
else
  heading() { printf '\n== %s ==\n' "$*"; }
fi
indent() { sed 's/\r$//; s/^./  &/'; }
fail() {
  echo "demo: $*" >&2
  exit 1
}

# A fresh working folder, as on a newly installed box-office terminal.
rm -rf "$DEMO"
mkdir -p "$DEMO/requests"
cd "$DEMO"

# The simulator runs for the whole demo and is stopped however the demo ends.
sim_pid=""
stop_simulator() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
}
trap stop_simulator EXIT
# Ctrl+C does not reach a background job of a script; the exit does.
trap 'exit 130' INT TERM

"$SIM" --port 0 --user "$USER_NAME" --password "$PASSWORD" --record requests >kasse-sim.out 2>&1 &
sim_pid=$!
# The first line of its output is the port it bound.
port=""
for _ in $(seq 100); do
  port=$(head -n 1 kasse-sim.out 2>/dev/null || true)
  [[ $port =~ ^[0-9]+$ ]] && break
  kill -0 "$sim_pid" 2>/dev/null || fail "kasse-sim did not start: $(cat kasse-sim.out)"
  port=""
  sleep 0.1
done
[ -n "$port" ] || fail "kasse-sim printed no port"
url="http://127.0.0.1:$port$URL_PATH"

cat >QelConnect.xml <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<endpoint>
  <username>$USER_NAME</username>
  <password>$PASSWORD</password>
  <url>$url</url>
</endpoint>
<compatibility>
  <oldkasse>0</oldkasse>
  <oldkasseprefix>$OLD_KASSE_PREFIX</oldkasseprefix>
</compatibility>
EOF
printf '[Kasse]\r\nTerminalID=0815\r\n' >Sales.ini

# Runs the host from the working folder, where the library finds its files,
# and keeps its output for the checks. qelhost.exe writes CR LF line ends,
# which the terminal need not see. Standard input is closed, so that a
# question beyond the given answers is declined instead of waiting.
run_host() {
  local output=$1
  shift
  "${HOST[@]}" --library "$LIBRARY" "$@" </dev/null 2>&1 | sed 's/\r$//' | tee "$output" | indent
}

# Shows the newest request that the simulator recorded: the request line,
# the headers that matter, and the body indented.
show_request() {
  local bodies body headers
  # The files are numbered with leading zeros, so the glob's order is theirs.
  bodies=(requests/*-body.xml)
  body=${bodies[-1]}
  [ -f "$body" ] || fail "the cash register received nothing"
  headers=${body%-body.xml}-headers.txt
  grep -E '^(POST|Content-Type|Authorization)' "$headers" | indent
  echo
  # The envelope's start tag declares fifteen namespaces; one per line
  # keeps them readable.
  xmllint --format "$body" | sed '/^<SOAP-ENV:Envelope /s/ xmlns:/\n    xmlns:/g' | indent
}

heading "QelConnect demo ($TITLE)"
echo "Cash register: kasse-sim at $url"
echo "               (user $USER_NAME, records every request)"
echo "Working folder: ${DEMO#"$ROOT"/}"
echo "  QelConnect.xml  endpoint url, user and password of the simulator, oldkasseprefix $OLD_KASSE_PREFIX"
echo "  Sales.ini       TerminalID=0815"

heading "1. Sale of examples/sale.json, the operator answers OK and OK"
run_host sale.out --answers ok,ok "$ROOT/examples/sale.json"
grep -q '^hrECExecute returned 0 ' sale.out || fail "the sale was not completed"

heading "What the cash register received for the sale"
show_request

heading "2. Refund of examples/refund.json (no questions, no log entry)"
# Without --no-init, hrECInit would empty the log of the sale.
run_host refund.out --no-init "$ROOT/examples/refund.json"
grep -q '^hrECRefund returned 0 ' refund.out || fail "the refund was not completed"

heading "What the cash register received for the refund"
show_request

heading "QelConnect.log (one entry: the sale; CR LF line ends)"
indent <QelConnect.log

heading "kasse-sim's own log"
tail -n +2 kasse-sim.out | grep -v '^kasse-sim: serving' | indent

echo
echo "Done. The files are in ${DEMO#"$ROOT"/}."
