#!/usr/bin/env bash
# make soak: 10,000 sales and 1,000 refunds in one process against kasse-sim
# with mixed answers (harness/soak), then 200 sales and 40 refunds under
# valgrind's leak check, with receipt numbers that meet all four answers.
#   scripts/soak.sh           the native run and the valgrind run (about 2 minutes)
#   scripts/soak.sh --wine    the same soak with QelConnect.dll under Wine, where
#                             every box is a real message box (much slower)
#   SOAK_SALES=2000 SOAK_REFUNDS=100 scripts/soak.sh   a shorter run
# Uses the programs of build/linux and build/win32 (QEL_SOAK_BUILD and
# QEL_SOAK_WIN32_BUILD name other trees); the run's files go to
# <native tree>/soak-run.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${QEL_SOAK_BUILD:-$ROOT/build/linux}" && pwd)
WIN32_BUILD=$(realpath -m "${QEL_SOAK_WIN32_BUILD:-$ROOT/build/win32}")
SIM=$BUILD/kasse-sim
SALES=${SOAK_SALES:-10000}
REFUNDS=${SOAK_REFUNDS:-1000}
VALGRIND_SALES=${SOAK_VALGRIND_SALES:-200}
# Of every 1,000 receipt numbers: 900 accepted, 70 refused, 29 answered with
# status 500, 1 left unanswered past the 6-second time-out.
MIX=900:70:29:1
WINE=0
[ "${1:-}" = "--wine" ] && WINE=1

need() {
  [ -e "$1" ] || { echo "soak: $1 is missing (make build)" >&2; exit 1; }
}
need "$SIM"

WORK=$BUILD/soak-run
rm -rf "$WORK"
mkdir -p "$WORK"

"$SIM" --port 0 --mix $MIX --rectmsg "Beleg abgelehnt" >"$WORK/kasse-sim.log" 2>"$WORK/kasse-sim.err" </dev/null &
SIM_PID=$!
trap 'kill -TERM $SIM_PID 2>/dev/null; wait $SIM_PID 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  [ -s "$WORK/kasse-sim.log" ] && break
  sleep 0.05
done
PORT=$(head -n 1 "$WORK/kasse-sim.log")
[ -n "$PORT" ] || { echo "soak: kasse-sim did not start" >&2; cat "$WORK/kasse-sim.err" >&2; exit 1; }
URL=http://127.0.0.1:$PORT/sap/bc/srt/kasse

status=0
if [ $WINE -eq 1 ]; then
  need "$WIN32_BUILD/soak.exe"
  need "$WIN32_BUILD/QelConnect.dll"
  mkdir -p "$WORK/wine"
  echo "soak: $SALES sales and $REFUNDS refunds with QelConnect.dll under Wine, kasse-sim --mix $MIX"
  (cd "$WORK/wine" && "$ROOT/scripts/wine-run.sh" "$WIN32_BUILD/soak.exe" --url "$URL" --mix $MIX \
     --sales "$SALES" --refunds "$REFUNDS" --library "Z:$WIN32_BUILD/QelConnect.dll") || status=1
  exit $status
fi

need "$BUILD/soak"
command -v valgrind >/dev/null || { echo "soak: valgrind is missing (make deps)" >&2; exit 1; }
mkdir -p "$WORK/soak" "$WORK/valgrind"
echo "soak: $SALES sales and $REFUNDS refunds against kasse-sim --mix $MIX"
(cd "$WORK/soak" && "$BUILD/soak" --url "$URL" --mix $MIX --sales "$SALES" --refunds "$REFUNDS") || status=1

echo
# Receipt numbers 900 to 1099 meet refusals, status 500, the time-out (999)
# and acceptance; so do the refunds' 965 to 1004.
echo "soak: $VALGRIND_SALES sales and 40 refunds under valgrind --leak-check=full"
if (cd "$WORK/valgrind" && valgrind --leak-check=full --errors-for-leak-kinds=definite,indirect \
      --error-exitcode=99 --log-file="$WORK/valgrind.log" \
      "$BUILD/soak" --url "$URL" --mix $MIX --first 900 --sales "$VALGRIND_SALES" --refunds 0 \
      >"$WORK/valgrind-soak.out" && \
    valgrind --leak-check=full --errors-for-leak-kinds=definite,indirect --error-exitcode=99 \
      --log-file="$WORK/valgrind-refunds.log" \
      "$BUILD/soak" --url "$URL" --mix $MIX --first 965 --sales 0 --refunds 40 >>"$WORK/valgrind-soak.out"); then
  echo "valgrind: no errors, no definite or indirect leak"
else
  echo "valgrind: FAILED (see $WORK/valgrind.log)"
  status=1
fi
for log in "$WORK/valgrind.log" "$WORK/valgrind-refunds.log"; do
  [ -e "$log" ] || continue
  echo "  $(basename "$log"):"
  grep -E "ERROR SUMMARY|definitely lost|indirectly lost|possibly lost|still reachable|in use at exit" "$log" |
    sed 's/^==[0-9]*== */    /'
done
exit $status
