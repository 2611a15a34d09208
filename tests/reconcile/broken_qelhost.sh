#!/usr/bin/env bash
# A deliberately broken box office for the reconciliation's self-test: runs
# the real qelhost ($QEL_QELHOST) and falsifies what it shows or traces, the
# way a faulty connector would. $QEL_BROKEN picks the fault:
#   no-sending       the trace never keeps a `sending` line
#   wrong-receipt    the in-doubt paragraph names the order id, not the receipt
#   gateway-refused  an answer of a gateway (502, 503, 504) is called refused:
#                    exit code 1, no paragraph, `refused` in the trace
set -uo pipefail

workdir=.
order=""
args=("$@")
for ((i = 0; i < ${#args[@]}; i++)); do
  case ${args[i]} in
    --workdir) workdir=${args[i + 1]} ;;
    *.json) order=${args[i]} ;;
  esac
done
traces=("$workdir/QelConnect.trace" "$workdir/QelConnect.trace.1")

strip_sending() {
  for t in "${traces[@]}"; do
    [ -f "$t" ] && sed -i '/"outcome":"sending"/d' "$t"
  done
}

case ${QEL_BROKEN:?} in
  no-sending)
    # Before the run as well: a host killed in its transfer left its line.
    strip_sending
    "$QEL_QELHOST" "$@"
    code=$?
    strip_sending
    exit $code
    ;;
  wrong-receipt)
    "$QEL_QELHOST" "$@" | sed -E 's/Beleg ([0-9]+) m/Beleg 1\1 m/'
    exit "${PIPESTATUS[0]}"
    ;;
  gateway-refused)
    shown=$(mktemp)
    "$QEL_QELHOST" "$@" >"$shown"
    code=$?
    if [ $code -eq 4 ] && grep -qE 'simulated 50[234]|50[234] ' "$shown"; then
      code=1
      sed -i '/glicherweise schon gebucht/d' "$shown"
      receipt=$(basename "$order" .json)
      for t in "${traces[@]}"; do
        [ -f "$t" ] && sed -i "/\"receipt\":$receipt,/s/\"outcome\":\"in-doubt\"/\"outcome\":\"refused\"/" "$t"
      done
    fi
    cat "$shown"
    rm -f "$shown"
    exit $code
    ;;
esac
echo "broken_qelhost: unknown QEL_BROKEN '$QEL_BROKEN'" >&2
exit 2
