#!/usr/bin/env bash
# qelhost check as an integrator runs it: the program itself (natively, or
# qelhost.exe under Wine) in a working folder against the kasse-sim fixture.
# Checks the exit codes, the lines shown, and that the simulator recorded no
# request.
#   qelhost_check.sh QELHOST FIXTURE_DIR [RUNNER]
# RUNNER (scripts/wine-run.sh for qelhost.exe) starts the program; Windows
# paths are then given as Wine's drive Z:.
set -euo pipefail

QELHOST=$1
FIXTURE=$2
RUNNER=${3:-}

failures=0
work=$(mktemp -d "${TMPDIR:-/tmp}/qelhost-check.XXXXXX")
trap 'rm -rf "$work"' EXIT

# A path as the program sees it.
program_path() {
  if [ -n "$RUNNER" ]; then printf 'Z:%s' "$1"; else printf '%s' "$1"; fi
}

port() { head -n 1 "$FIXTURE/$1.port"; }

# write_config DIR URL [CAFILE]
write_config() {
  local ca=""
  [ -n "${3:-}" ] && ca="<caFile>$(program_path "$3")</caFile>"
  mkdir -p "$1"
  cat >"$1/QelConnect.xml" <<XML
<endpoint><username>kasse</username><password>nicht-zeigen</password><url>$2</url>$ca</endpoint>
<compatibility><oldkasse>0</oldkasse><oldkasseprefix>7</oldkasseprefix></compatibility>
XML
}

# expect NAME DIR EXIT_CODE LINE...: runs the check in DIR and wants the exit
# code and every line (as a fixed string) in its output.
expect() {
  local name=$1 dir=$2 want=$3
  shift 3
  local status=0
  ${RUNNER:+"$RUNNER"} "$QELHOST" --workdir "$(program_path "$dir")" check >"$work/$name.out" 2>&1 || status=$?
  # Wine writes line ends as the console program does.
  tr -d '\r' <"$work/$name.out" >"$work/$name.txt"
  local ok=1 line
  [ "$status" -eq "$want" ] || { echo "$name: exit code $status, expected $want"; ok=0; }
  for line in "$@"; do
    grep -qF -- "$line" "$work/$name.txt" || { echo "$name: missing line: $line"; ok=0; }
  done
  if grep -qF "nicht-zeigen" "$work/$name.txt"; then echo "$name: the password is shown"; ok=0; fi
  if [ $ok -eq 0 ]; then
    failures=$((failures + 1))
    sed 's/^/    /' "$work/$name.txt"
  else
    echo "$name: ok"
  fi
}

mkdir -p "$work/missing"
expect missing-config "$work/missing" 1 \
  "FAILED      read QelConnect.xml   Could not load configuration file 'QelConnect.xml'. It must be installed in the folder [pathto]/Quendal/Sales/"

write_config "$work/plain" "http://localhost:$(port plain)/sap/bc/srt/kasse"
printf 'TerminalID=4711\r\n' >"$work/plain/Sales.ini"
expect plain "$work/plain" 0 "password        ********" "TerminalID      4711" \
  "passed      connect               127.0.0.1 port $(port plain)" "not needed  TLS handshake" "All steps passed"

write_config "$work/https" "https://localhost:$(port trusted)/sap/bc/srt/kasse" "$FIXTURE/ca.pem"
expect https "$work/https" 0 "passed      resolve host          localhost: 127.0.0.1" \
  "passed      TLS handshake         certificate verified against $(program_path "$FIXTURE/ca.pem")" "All steps passed"

write_config "$work/untrusted" "https://localhost:$(port untrusted)/sap/bc/srt/kasse" "$FIXTURE/ca.pem"
expect untrusted "$work/untrusted" 1 "passed      connect" \
  "FAILED      TLS handshake         SSL peer certificate or SSH remote key was not OK: " "A step failed"

write_config "$work/refused" "http://127.0.0.1:1/sap/bc/srt/kasse"
expect refused "$work/refused" 1 "FAILED      connect               Couldn't connect to server: "

# The simulator writes a request's record before it answers; a request sent
# by mistake would have reached it while qelhost waited for the answer.
if [ -n "$(ls -A "$FIXTURE/recorded" 2>/dev/null)" ]; then
  echo "kasse-sim recorded requests: $(ls "$FIXTURE/recorded")"
  failures=$((failures + 1))
fi

[ $failures -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
