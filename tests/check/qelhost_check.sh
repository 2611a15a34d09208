#!/usr/bin/env bash
# qelhost check as an integrator runs it: the program itself (natively, or
# qelhost.exe under Wine) in a working folder against the kasse-sim fixture.
# Checks the exit codes, the lines shown, and that the simulator recorded no
# order; then the exit codes of test sales, which a site's script relies on.
#   qelhost_check.sh QELHOST FIXTURE_DIR [RUNNER]
# RUNNER (scripts/wine-run.sh for qelhost.exe) starts the program; Windows
# paths are then given as Wine's drive Z:.
set -euo pipefail

QELHOST=$1
FIXTURE=$2
RUNNER=${3:-}
EXAMPLES=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../examples" && pwd)

failures=0
work=$(mktemp -d "${TMPDIR:-/tmp}/qelhost-check.XXXXXX")
trap 'rm -rf "$work"' EXIT

# A path as the program sees it.
program_path() {
  if [ -n "$RUNNER" ]; then printf 'Z:%s' "$1"; else printf '%s' "$1"; fi
}

port() { head -n 1 "$FIXTURE/$1.port"; }

# The plain server's password, and one it refuses; neither may be shown.
PASSWORD=$(printf 'geh\xc3\xa9im')
WRONG_PASSWORD=nicht-zeigen

# write_config DIR URL [CAFILE [PASSWORD]]
write_config() {
  local ca=""
  [ -n "${3:-}" ] && ca="<caFile>$(program_path "$3")</caFile>"
  mkdir -p "$1"
  cat >"$1/QelConnect.xml" <<XML
<endpoint><username>kasse</username><password>${4:-$PASSWORD}</password><url>$2</url>$ca</endpoint>
<compatibility><oldkasse>0</oldkasse><oldkasseprefix>7</oldkasseprefix></compatibility>
XML
}

# expect NAME DIR EXIT_CODE LINE...: runs the check in DIR and wants the exit
# code and every line (as a fixed string) in its output.
expect() {
  local dir=$2
  expect_run "$1" "$3" "${@:4}" -- --workdir "$(program_path "$dir")" check
}

# expect_run NAME EXIT_CODE LINE... -- ARGS...: runs qelhost with ARGS and
# wants the exit code and every line.
expect_run() {
  local name=$1 want=$2
  shift 2
  local lines=()
  while [ "$1" != "--" ]; do lines+=("$1"); shift; done
  shift
  local status=0
  ${RUNNER:+"$RUNNER"} "$QELHOST" "$@" </dev/null >"$work/$name.out" 2>&1 || status=$?
  set -- ${lines[@]+"${lines[@]}"}
  # Wine writes line ends as the console program does.
  tr -d '\r' <"$work/$name.out" >"$work/$name.txt"
  local ok=1 line
  [ "$status" -eq "$want" ] || { echo "$name: exit code $status, expected $want"; ok=0; }
  for line in "$@"; do
    grep -qF -- "$line" "$work/$name.txt" || { echo "$name: missing line: $line"; ok=0; }
  done
  if grep -qF -e "$WRONG_PASSWORD" -e "$PASSWORD" "$work/$name.txt"; then echo "$name: the password is shown"; ok=0; fi
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
expect plain "$work/plain" 0 "password        ********" "TerminalID      '4711'" \
  "passed      connect               127.0.0.1 port $(port plain)" "not needed  TLS handshake" \
  "passed      credentials           not refused: HTTP status 405 " "All steps passed"

# A Unix path is a path, under Wine too (there it names drive Z:), not a
# Windows-style option.
expect_run unix-path 0 "All steps passed" -- --workdir "$work/plain" check

write_config "$work/wrong-password" "http://localhost:$(port plain)/sap/bc/srt/kasse" "" "$WRONG_PASSWORD"
expect wrong-password "$work/wrong-password" 1 \
  "FAILED      credentials           refused: HTTP status 401 to a GET of url with them" "A step failed"

# The example configuration as integrators copy it, pointed at a closed
# port: the defaults, named.
mkdir -p "$work/example"
sed 's#<url>[^<]*</url>#<url>http://127.0.0.1:1/sap/bc/srt/kasse</url>#' "$EXAMPLES/QelConnect.xml" \
  >"$work/example/QelConnect.xml"
cp "$EXAMPLES/Sales.ini" "$work/example/"
expect example "$work/example" 1 "username        'QELUSER'" "oldkasse        '0' (the default)" \
  "oldkasseprefix  '0' (the default)" "trace           '0' (the default)" "TerminalID      '0815'"
grep -qF "warning     QelConnect.xml" "$work/example.txt" && { echo "example: a warning"; failures=$((failures + 1)); }

write_config "$work/https" "https://localhost:$(port trusted)/sap/bc/srt/kasse" "$FIXTURE/ca.pem"
expect https "$work/https" 0 "passed      resolve host          localhost: 127.0.0.1" \
  "passed      TLS handshake         certificate verified against $(program_path "$FIXTURE/ca.pem")" "All steps passed"

write_config "$work/untrusted" "https://localhost:$(port untrusted)/sap/bc/srt/kasse" "$FIXTURE/ca.pem"
expect untrusted "$work/untrusted" 1 "passed      connect" \
  "FAILED      TLS handshake         SSL peer certificate or SSH remote key was not OK: " "A step failed"

write_config "$work/refused" "http://127.0.0.1:1/sap/bc/srt/kasse"
expect refused "$work/refused" 1 "FAILED      connect               Couldn't connect to server: "

# The simulator writes a request's record before it answers; an order sent
# by mistake would have reached it while qelhost waited for the answer. The
# credentials step's GETs are all it may have seen.
if grep -l '^POST' "$FIXTURE"/recorded/*-headers.txt 2>/dev/null; then
  echo "kasse-sim recorded an order"
  failures=$((failures + 1))
fi

# A test sale's exit code: 0 only when the sale was done, 1 when it was not
# completed, 2 for what qelhost cannot use, 3 without a library.
sale=$(program_path "$EXAMPLES/sale.json")
mkdir -p "$work/sale"
cat >"$work/sale/QelConnect.xml" <<XML
<endpoint><username>kasse</username><password>$PASSWORD</password><url>http://127.0.0.1:$(port plain)/sap/bc/srt/kasse</url></endpoint>
XML
expect_run sale-done 0 "hrECExecute returned 0 (0x00000000): done" -- \
  --workdir "$(program_path "$work/sale")" --answers ok,ok "$sale"
expect_run sale-cancelled 1 "hrECExecute returned 262146 (0x00040002): not completed" -- \
  --workdir "$(program_path "$work/sale")" --answers cancel "$sale"
expect_run sale-refused 1 "hrECExecute returned 262146 (0x00040002): not completed" -- \
  --workdir "$(program_path "$work/wrong-password")" --answers ok,ok "$sale"
expect_run no-workdir 2 "qelhost: cannot use working folder '$(program_path "$work/none")': " -- \
  --workdir "$(program_path "$work/none")" "$sale"
expect_run no-order-file 2 "qelhost: cannot read order file '$(program_path "$work/none.json")': no such file" -- \
  "$(program_path "$work/none.json")"
printf '{"order": {"Dwbelegnr": 1,}}' >"$work/bad.json"
expect_run bad-order-file 2 \
  "qelhost: $(program_path "$work/bad.json"): parse error at line 1, column 27: syntax error while parsing object key" -- \
  "$(program_path "$work/bad.json")"
expect_run extra-argument 2 "qelhost: The following argument was not expected: " -- "$sale" "$sale"
expect_run check-library 2 "qelhost: check excludes --library" -- --library x.dll check
expect_run no-library 3 "qelhost: cannot load the library" -- --library "$(program_path "$work/none.dll")" "$sale"

# The five mistakes a site makes most, in a folder outside the ANSI code page:
# five warnings with their lines, each value as written, and the check
# passes all the same. A sale from there, with the order file and the
# library there as well, goes through.
odd="$work/Kasse $(printf '\xc3\x9c\xe2\x82\xac')"
mkdir -p "$odd"
cat >"$odd/QelConnect.xml" <<XML
<endpoint><username>kasse</username><password>$PASSWORD</password><url>http://127.0.0.1:$(port plain)/sap/bc/srt/kasse</url></endpoint>
<compatibility><oldkasse>0</oldkasse><oldkasseprefix>12abc</oldkasseprefix></compatibility>
<diagnostics>
  <trace>yes</trace>
</diagnostics>
<diagnostics><trace>1</trace></diagnostics>
<endpoint>
  <protectedpassword>AAAA</protectedpassword>
</endpoint>
XML
w="warning     QelConnect.xml        line"
expect mistakes "$odd" 0 "oldkasseprefix  '12abc' (read as 12)" "trace           'yes' (read as 0, the default)" \
  "$w 2: <oldkasseprefix> '12abc' is read only up to its first non-digit, as 12" \
  "$w 4: <trace> 'yes' is neither 0 nor 1: read as 0" \
  "$w 6: <diagnostics> is given again and ignored; the one on line 3 counts" \
  "$w 7: <endpoint> is given again and ignored; the one on line 1 counts" \
  "$w 8: unknown element <protectedpassword> in <endpoint> is ignored; did you mean <protectedPassword>?"
[ "$(grep -c "^warning     QelConnect.xml " "$work/mistakes.txt")" -eq 5 ] || { echo "mistakes: not five warnings"; failures=$((failures + 1)); }
for library in "$(dirname "$QELHOST")"/QelConnect.dll "$(dirname "$QELHOST")"/libQelConnect.so; do
  [ -f "$library" ] && break
done
cp "$library" "$EXAMPLES/sale.json" "$odd/"
expect_run odd-folder 0 "hrECExecute returned 0 (0x00000000): done" -- --workdir "$(program_path "$odd")" \
  --library "$(program_path "$odd/$(basename "$library")")" --answers ok,ok "$(program_path "$odd/sale.json")"
expect_run odd-version 0 "QelConnect " -- --library "$(program_path "$odd/$(basename "$library")")" --version

# verify loads the library as the box office does: a library whose import
# names a DLL (or shared object) that is nowhere cannot load, although its
# version reads from the file; --version --library loads it too.
mkdir -p "$work/broken"
broken="$work/broken/$(basename "$library")"
python3 - "$library" "$broken" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
for name, missing in ((b"WS2_32.dll", b"WS2_99.dll"), (b"libcurl.so.4", b"libcurx.so.4")):
    if name in data:
        data = data.replace(name, missing)
        break
else:
    sys.exit("no import to break")
open(sys.argv[2], "wb").write(data)
PY
expect_run verify 0 "  loaded" "  all 13 exports found; nothing was called or sent" -- \
  verify --library "$(program_path "$odd/$(basename "$library")")"
expect_run verify-broken 3 "qelhost: cannot load the library" -- verify --library "$(program_path "$broken")"
expect_run version-broken 3 "qelhost: cannot load the library" -- --version --library "$(program_path "$broken")"
grep -qF "QelConnect " "$work/verify-broken.txt" || { echo "verify-broken: no version"; failures=$((failures + 1)); }

# A test sale under a receipt of its own; the result record carries it.
expect_run receipt 0 "hrECExecute returned 0 (0x00000000): done" "PaySystemDate.dwBelegNr" -- \
  --workdir "$(program_path "$work/sale")" --answers ok,ok --receipt 100777 "$sale"
grep -q "PaySystemDate.dwBelegNr *100777" "$work/receipt.txt" || { echo "receipt: not 100777"; failures=$((failures + 1)); }

# A working folder deleted under the shell is one that cannot be used.
mkdir -p "$work/gone"
status=0
(cd "$work/gone" && rmdir "$work/gone" && ${RUNNER:+"$RUNNER"} "$QELHOST" --answers ok,ok "$sale" </dev/null \
  >"$work/gone.txt" 2>&1) || status=$?
if [ -z "$RUNNER" ] && [ "$status" -ne 2 ]; then
  echo "gone: exit code $status, expected 2"; sed 's/^/    /' "$work/gone.txt"; failures=$((failures + 1))
fi

[ $failures -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
