#!/usr/bin/env bash
# The transaction trace as support reads it: qelhost (natively, or
# qelhost.exe with the DLL under Wine) sells the example order against
# kasse-sim servers that accept, refuse and stall, and once with nothing
# listening, each with its own exit code and JSON report; a fifth sale is
# booked and not printed; a sixth is killed while its cash register stalls.
# Then `qelhost trace` must list every transaction once (a line written by
# 1.0.0 among them), as a table and as JSON Lines, `--in-doubt` the stalled
# sale, the killed one and the old line's, each time in UTC and in local time
# (Berlin's zone here), `--since`/`--until` the entries of a span of local
# time, and the file must hold no credential.
#   qelhost_trace.sh QELHOST KASSE_SIM EXAMPLES_DIR [RUNNER]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../support/tls_lib.sh"

QELHOST=$1
SIM=$2
EXAMPLES=$3
RUNNER=${4:-}
# Berlin's zone as a POSIX rule: no time-zone database needed.
export TZ=CET-1CEST,M3.5.0,M10.5.0/3

work=$(mktemp -d "${TMPDIR:-/tmp}/qelhost-trace.XXXXXX")
trap 'stop_servers "$work"; rm -rf "$work"' EXIT

source "$(dirname "${BASH_SOURCE[0]}")/qelhost_lib.sh"

start_server "$work" accepting --user kasse --password geheim
start_server "$work" refusing --rect 4 --rectmsg "Beleg doppelt"
# Reads the whole request, then answers after the plug-in's 6-second limit.
start_server "$work" stalling --delay 8

mkdir "$work/site"
cp "$EXAMPLES/Sales.ini" "$work/site/"

configure() {
  cat >"$work/site/QelConnect.xml" <<XML
<endpoint><username>kasse</username><password>geheim</password><url>http://127.0.0.1:$1/sap/kasse</url></endpoint>
<diagnostics><trace>1</trace><traceBodies>1</traceBodies></diagnostics>
XML
}

code=0
qelhost trace >"$work/none.txt" 2>&1 || code=$?
[ "$code" = 1 ] || fail "trace without a file exits $code, not 1"

# A line without an id, as a hand edit may leave one.
echo '{"time":"2026-11-30T09:00:00.000Z","version":"1.0.0","kind":"sale","orderId":1,"receipt":99,'\
'"total":1.00,"terminalId":"4711","url":"http://127.0.0.1:1/","outcome":"in-doubt","message":"Timeout"}' \
  >"$work/site/QelConnect.trace"

codes=""
reports=""
# The last sale follows the one in doubt: the operator says the cash
# register did not book it, and it is sent again.
for port in "$(cat "$work/accepting.port")" "$(cat "$work/refusing.port")" "$(cat "$work/stalling.port")" 1; do
  configure "$port"
  answers=ok,ok
  [ "$port" = 1 ] && answers=ok,no
  code=0
  qelhost --json --answers "$answers" "$(program_path "$EXAMPLES/sale.json")" >"$work/sale-$port.json" \
    2>"$work/sale-$port.txt" || code=$?
  codes="$codes$code "
  # One JSON object and nothing else on standard output.
  [ "$(wc -l <"$work/sale-$port.json")" = 1 ] || fail "sale to $port printed other than one line on stdout"
  reports="$reports$(jq -r '[.exitCode, .returnCode, .outcome, .receipt, .kind, (.dialogs | length)] | @tsv' \
    "$work/sale-$port.json" | tr '\t' ' ');"
done
[ "$codes" = "0 1 4 1 " ] || fail "the sales exit with $codes, not 0 1 4 1"
[ "$reports" = "0 0 accepted 100234 sale 2;1 262146 refused 100234 sale 2;4 262146 in-doubt 100234 sale 2;\
1 262146 failed 100234 sale 3;" ] || fail "the sales report $reports"
stalled="$work/sale-$(cat "$work/stalling.port")"
grep -q "Die Kasse hat Beleg 100234 m.*glicherweise schon gebucht" "$stalled.txt" ||
  fail "the stalled sale's box does not say it may be booked"
[ "$(jq -r '.dialogs[1] | [.caption, .answer, (.text | endswith("Beleg 100234 m\u00f6glicherweise schon gebucht. '\
'Bitte pr\u00fcfen Sie das an der Kasse, bevor Sie erneut \u00fcbertragen."))] | @tsv' "$stalled.json")" = \
  "$(printf 'Fehler bei Daten\xc3\xbcbertragung\tok\ttrue')" ] || fail "the stalled sale's JSON box differs"

# Booked, and Cancel at "Tickets drucken?": an exit code of its own.
configure "$(cat "$work/accepting.port")"
code=0
qelhost --json --answers ok,cancel "$(program_path "$EXAMPLES/sale.json")" >"$work/not-printed.json" \
  2>"$work/not-printed.txt" || code=$?
[ "$code" = 5 ] || fail "the sale not printed exits $code, not 5"
tr -d '\r' <"$work/not-printed.txt" | grep -q "^Sale from .*sale.json: 2 position(s), 3 ticket(s), .* gross total 98.40$" ||
  fail "the sale's summary is not on standard error"
[ "$(jq -c '{exitCode, returnCode, outcome, receipt, kind, answers: [.dialogs[].answer],
  texts: [.dialogs[].text]}' "$work/not-printed.json")" = \
  '{"exitCode":5,"returnCode":262146,"outcome":"accepted-not-printed","receipt":100234,"kind":"sale",'\
'"answers":["ok","cancel"],"texts":["Ticket in die Kasse uebertragen?","Tickets drucken?"]}' ] ||
  fail "the sale not printed reports $(cat "$work/not-printed.json")"

# An order file that cannot be read (2) and a library that cannot be loaded
# (3) still end with the one JSON object, naming what is known.
code=0
qelhost --json "$(program_path "$work/none.json")" >"$work/usage.json" 2>/dev/null || code=$?
code3=0
qelhost --json --library "$(program_path "$work/none.dll")" "$(program_path "$EXAMPLES/sale.json")" \
  >"$work/nolib.json" 2>/dev/null || code3=$?
[ "$code $code3" = "2 3" ] || fail "unreadable order and missing library exit $code $code3, not 2 3"
[ "$(jq -c '[.exitCode, .returnCode, .outcome, .receipt, .kind, .dialogs]' "$work/usage.json" "$work/nolib.json" |
  paste -sd' ')" = '[2,null,null,null,null,[]] [3,null,null,100234,"sale",[]]' ] ||
  fail "the failed runs report $(cat "$work/usage.json" "$work/nolib.json")"

# Ended from outside while the cash register stalls, once its line written
# ahead is in the trace: SIGKILL natively, the Wine process killed under Wine.
sed 's/"Dwbelegnr": 100234/"Dwbelegnr": 100235/' "$EXAMPLES/sale.json" >"$work/killed.json"
configure "$(cat "$work/stalling.port")"
before=$(wc -l <"$work/site/QelConnect.trace")
QEL_WINE_PID_FILE=$work/killed.pid ${RUNNER:+"$RUNNER"} "$QELHOST" --workdir "$(program_path "$work/site")" --answers ok,ok \
  "$(program_path "$work/killed.json")" >"$work/killed.txt" 2>&1 &
host=$!
for _ in $(seq 400); do
  [ "$(wc -l <"$work/site/QelConnect.trace")" -gt "$before" ] && break
  sleep 0.05
done
if [ -n "$RUNNER" ]; then
  # The Windows process itself, not the script that runs it.
  kill -KILL "$(cat "$work/killed.pid")" || fail "no qelhost.exe to kill"
else
  kill -KILL "$host"
fi
wait "$host" 2>/dev/null || true
[ "$(wc -l <"$work/site/QelConnect.trace")" -eq $((before + 1)) ] || fail "the killed sale left other than one line"
# The journal holds the killed sale open, and the sale not printed.
[ "$(qelhost pending --json | jq -r '"\(.receipt) \(.state)"' | paste -sd' ')" = \
  "100234 not-printed 100235 interrupted" ] || fail "pending lists $(qelhost pending --json)"

echo "QelConnect.trace:"
cat "$work/site/QelConnect.trace" | cut -c1-400
qelhost trace >"$work/all.txt"
qelhost trace --in-doubt >"$work/in-doubt.txt"
cat "$work/all.txt" "$work/in-doubt.txt"

[ "$(awk 'NR > 1 { print $5, $7 }' "$work/all.txt" | paste -sd' ')" = \
  "99 in-doubt 100234 accepted 100234 refused 100234 in-doubt 100234 failed 100234 accepted-not-printed 100235 in-doubt" ] ||
  fail "trace lists other outcomes"
qelhost trace --json >"$work/all.json"
[ "$(jq -r '[.receipt, .outcome, .httpStatus // "-", (.id | type)] | join(" ")' "$work/all.json" | paste -sd' ')" = \
  "99 in-doubt - null 100234 accepted 200 string 100234 refused 200 string 100234 in-doubt - string \
100234 failed - string 100234 accepted-not-printed 200 string 100235 sending - string" ] ||
  fail "trace --json lists other outcomes: $(cat "$work/all.json")"
[ "$(awk 'NR > 1 { print $5, $7 }' "$work/in-doubt.txt" | paste -sd' ')" = \
  "99 in-doubt 100234 in-doubt 100235 in-doubt" ] || fail "trace --in-doubt lists other entries"
grep -q "100235 .* in-doubt  *No outcome line was written.$" "$work/in-doubt.txt" ||
  fail "the killed sale is not named as one without an outcome"
qelhost trace --last 1 >"$work/last.txt"
[ "$(awk 'NR > 1 { print $7 }' "$work/last.txt" | paste -sd' ')" = "in-doubt" ] || fail "trace --last 1 lists other entries"
# The old line's time, 09:00 UTC, is 10:00 in Berlin's winter.
[ "$(sed -n 2p "$work/all.txt" | cut -c1-44)" = "2026-11-30T09:00:00.000Z 2026-11-30 10:00:00" ] ||
  fail "trace shows the old line's local time otherwise: $(sed -n 2p "$work/all.txt")"

# A line nested deeper than an entry may be (16 levels) is skipped like any
# unreadable line, without a crash, and a message's control characters are
# shown escaped.
nested() { # TIME DEPTH
  printf '{"time":"%s","kind":' "$1"
  printf '%*s' "$2" '' | tr ' ' '['
  printf '%*s' "$2" '' | tr ' ' ']'
  printf '}\n'
}
{
  nested depth-16 16
  nested depth-17 17
  nested depth-500000 500000
  printf '{"time":"cut off\n'
  printf '{"time":"2024-05-01T10:00:00.000Z","kind":"sale","receipt":7,"total":1.00,"outcome":"refused",'
  printf '"message":"\\u001b[56Gaccepted\\u001b[K\\u009b8m C:\\\\kasse"}\n'
} >>"$work/site/QelConnect.trace"
status=0
qelhost trace >"$work/hostile.txt" || status=$?
tail -n 1 "$work/hostile.txt"
[ "$status" -eq 0 ] || fail "trace of a deeply nested line exits $status"
[ "$(awk 'NR > 8 { print $1 }' "$work/hostile.txt" | paste -sd' ')" = "depth-16 2024-05-01T10:00:00.000Z" ] ||
  fail "trace shows other lines of those nested or cut off"
[ "$(tail -n 1 "$work/hostile.txt")" = "$(printf '%-25s%-21s%-7s%10s%11s  %-21s%s' 2024-05-01T10:00:00.000Z \
  "2024-05-01 12:00:00" sale 7 1.00 refused \
  '\x1b[56Gaccepted\x1b[K\x9b8m C:\kasse')" ] || fail "trace shows the hostile message otherwise"

# A span of local time: its minute included, a date alone the whole day;
# lines without a time are left out.
span() { qelhost trace "$@" | awk 'NR > 1 { print $1 }' | paste -sd' '; }
[ "$(span --since "2026-11-30 10:00" --until "2026-11-30 10:00")" = "2026-11-30T09:00:00.000Z" ] ||
  fail "trace --since/--until 10:00 shows other lines"
[ "$(span --since 2026-11-30T09:59:59 --until 2026-11-30T09:59:59)" = "" ] || fail "trace before 10:00 shows lines"
[ "$(span --until 2026-11-30)" = "2026-11-30T09:00:00.000Z 2024-05-01T10:00:00.000Z" ] ||
  fail "trace --until 2026-11-30 shows other lines"
[ "$(span --since 2024-05-01T12:00 --until 2024-05-01)" = "2024-05-01T10:00:00.000Z" ] ||
  fail "trace --since 2024-05-01T12:00 shows other lines"
code=0
qelhost trace --since "30.11.2026 10:00" >"$work/bad-since.txt" 2>&1 || code=$?
[ "$code" = 2 ] && grep -qF "qelhost: --since: 30.11.2026 10:00 is no local time: write 2026-12-07 14:32" \
  "$work/bad-since.txt" || fail "trace --since with a German date exits $code: $(cat "$work/bad-since.txt")"

# Neither the trace nor the log is written or emptied through a symbolic
# link, which Wine shows as the file it leads to: the sale completes without
# its line and its entry, and the file the links lead to keeps its bytes.
configure "$(cat "$work/accepting.port")"
mkdir "$work/linked"
cp "$work/site/QelConnect.xml" "$work/site/Sales.ini" "$work/linked/"
printf 'kept\n' >"$work/kept.txt"
ln -s ../kept.txt "$work/linked/QelConnect.log"
ln -s ../kept.txt "$work/linked/QelConnect.trace"
code=0
${RUNNER:+"$RUNNER"} "$QELHOST" --workdir "$(program_path "$work/linked")" --answers ok,ok \
  "$(program_path "$EXAMPLES/sale.json")" >/dev/null 2>&1 || code=$?
[ "$code" = 0 ] || fail "the sale beside linked files exits $code, not 0"
[ "$(cat "$work/kept.txt")" = kept ] || fail "the links' target was written: $(cat "$work/kept.txt")"

# The password, user:password and its Base64 form.
for secret in geheim "kasse:geheim" a2Fzc2U6Z2VoZWlt; do
  grep -qF "$secret" "$work/site/QelConnect.trace" && fail "the trace holds $secret"
done
exit $((failures > 0))
