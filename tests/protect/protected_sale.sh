#!/usr/bin/env bash
# A protected password as a site uses it: qelhost protect-password makes the
# element, a sale with the library sends the password it holds, and qelhost
# check shows its scope; a value that does not decrypt here stops the sale in
# the error box before anything is sent. On the POSIX build, which has no
# data protection, both commands refuse the element instead.
#   protected_sale.sh QELHOST KASSE_SIM SOURCE_DIR [RUNNER]
# RUNNER (scripts/wine-run.sh for qelhost.exe) starts the program; Windows
# paths are then given as Wine's drive Z:.
set -euo pipefail

QELHOST=$1
SIM=$2
SOURCE=$3
RUNNER=${4:-}

USER_NAME=kasse
PASSWORD=$(printf 'geh\xc3\xa9im & <mehr>')

failures=0
work=$(mktemp -d "${TMPDIR:-/tmp}/qel-protected.XXXXXX")
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
program_path() {
  if [ -n "$RUNNER" ]; then printf 'Z:%s' "$1"; else printf '%s' "$1"; fi
}
qelhost() { ${RUNNER:+"$RUNNER"} "$QELHOST" "$@"; }
# Wine writes line ends as a console program does.
unix_lines() { tr -d '\r'; }

"$SIM" --port 0 --user "$USER_NAME" --password "$PASSWORD" --record "$work/recorded" >"$work/sim.out" 2>&1 &
sim_pid=$!
port=""
for _ in $(seq 100); do
  port=$(head -n 1 "$work/sim.out" 2>/dev/null || true)
  [[ $port =~ ^[0-9]+$ ]] && break
  port=""
  sleep 0.05
done
[ -n "$port" ] || { echo "kasse-sim did not start: $(cat "$work/sim.out")"; exit 1; }

# write_config DIR PASSWORD_ELEMENTS: an empty password element stands
# beside them, as when a site replaces the password's text only.
write_config() {
  mkdir -p "$1"
  cp "$SOURCE/examples/Sales.ini" "$1/"
  cat >"$1/QelConnect.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<endpoint>
  <username>$USER_NAME</username>
  ${3-<password></password>}
  $2
  <url>http://127.0.0.1:$port/sap/bc/srt/kasse</url>
</endpoint>
XML
}

# sale DIR: one sale of examples/sale.json in DIR, both questions answered
# with OK; the output in DIR/sale.txt.
sale() {
  qelhost --workdir "$(program_path "$1")" --answers ok,ok "$(program_path "$SOURCE/examples/sale.json")" 2>&1 |
    unix_lines >"$1/sale.txt" || true
}
check() {
  local status=0
  qelhost --workdir "$(program_path "$1")" check >"$1/check.out" 2>&1 || status=$?
  unix_lines <"$1/check.out" >"$1/check.txt"
  echo $status
}
recorded() { ls "$work/recorded" 2>/dev/null | grep -c headers || true; }
expect_in() {
  grep -qF -- "$2" "$1" || { fail "$(basename "$(dirname "$1")"): no line '$2' in:"; sed 's/^/    /' "$1"; }
}
expect_not_in() {
  if grep -qF -- "$2" "$1"; then fail "$(basename "$(dirname "$1")"): '$2' in $(basename "$1")"; fi
}

if [ -z "$RUNNER" ]; then
  status=0
  printf '%s' "$PASSWORD" | qelhost protect-password >"$work/protect.out" 2>&1 || status=$?
  [ $status -eq 1 ] || fail "protect-password exit code $status on a build without data protection"
  expect_in "$work/protect.out" "protect-password needs the Windows Data Protection API"
  write_config "$work/posix" "<protectedPassword>AQAAAA==</protectedPassword>"
  sale "$work/posix"
  expect_in "$work/posix/sale.txt" "endpoint/protectedPassword in configuration file 'QelConnect.xml' needs the Windows Data Protection API"
  [ "$(recorded)" = 0 ] || fail "a request reached the cash register"
  [ $failures -eq 0 ] || exit 1
  echo "refused without data protection: ok"
  exit 0
fi

# Machine and user scope: the element made by qelhost, a completed sale, the
# cash register given exactly these credentials, and the scope in the check.
# kasse-sim answers 401 to other credentials, so a done sale proves them;
# its record shows only their scheme.
expected_auth="Authorization: Basic ***"
n=0
for scope in machine user; do
  option=""
  [ $scope = user ] && option=--user-scope
  printf '%s\n' "$PASSWORD" | qelhost protect-password $option >"$work/$scope.element" 2>"$work/$scope.err" ||
    fail "protect-password $option: $(cat "$work/$scope.err")"
  element=$(unix_lines <"$work/$scope.element")
  [[ $element =~ ^\<protectedPassword\>[A-Za-z0-9+/=]+\</protectedPassword\>$ ]] || fail "$scope: printed '$element'"
  if grep -qF "mehr" "$work/$scope.element" "$work/$scope.err"; then fail "$scope: the password is shown"; fi

  write_config "$work/$scope" "$element"
  sale "$work/$scope"
  expect_in "$work/$scope/sale.txt" "hrECExecute returned 0 (0x00000000): done"
  n=$((n + 1))
  headers=$(printf '%s/recorded/%06d-headers.txt' "$work" $n)
  if [ -f "$headers" ]; then
    grep -qixF "$expected_auth" <(unix_lines <"$headers") || fail "$scope: the record shows the credentials"
  else
    fail "$scope: no request reached the cash register"
  fi

  [ "$(check "$work/$scope")" = 0 ] || fail "$scope: check failed"
  expect_in "$work/$scope/check.txt" "password        protected ($scope scope), decrypts here"
  expect_not_in "$work/$scope/check.txt" "mehr"
done

# A value changed after it was made does not decrypt: the sale ends in the
# error box with the system's code, nothing is sent, and the check fails.
element=$(unix_lines <"$work/machine.element")
body=${element#<protectedPassword>}
body=${body%</protectedPassword>}
at=$((${#body} - 40))
letter=${body:at:1}
[ "$letter" = A ] && replacement=B || replacement=A
write_config "$work/changed" "<protectedPassword>${body:0:at}$replacement${body:at+1}</protectedPassword>"
before=$(recorded)
sale "$work/changed"
expect_in "$work/changed/sale.txt" "Could not decrypt endpoint/protectedPassword in configuration file 'QelConnect.xml' (protected on another computer or for another user?): "
expect_in "$work/changed/sale.txt" "): not completed"
expect_in "$work/changed/sale.txt" "untouched: every byte as prefilled"
[ "$(recorded)" = "$before" ] || fail "changed: a request reached the cash register"
[ "$(check "$work/changed")" = 1 ] || fail "changed: check passed"
expect_in "$work/changed/check.txt" "password        protected, does NOT decrypt here"
expect_in "$work/changed/check.txt" "FAILED      decrypt password      Could not decrypt endpoint/protectedPassword"

# Both password elements: the file is refused as it is read.
write_config "$work/both" "$element" "<password>$USER_NAME</password>"
sale "$work/both"
expect_in "$work/both/sale.txt" "has both endpoint/password and endpoint/protectedPassword; keep only one of them."

[ $failures -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "protected password: machine and user scope sold, changed value refused"
