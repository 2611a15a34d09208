#!/usr/bin/env bash
# A deliberately broken box office for the reconciliation's self-test: runs
# the real qelhost ($QEL_QELHOST) and falsifies what it reports or traces,
# the way a faulty connector would. $QEL_BROKEN picks the fault:
#   no-sending       the trace never keeps a `sending` line
#   wrong-receipt    the in-doubt paragraph names another number than the receipt
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
    report=$(mktemp)
    "$QEL_QELHOST" "$@" >"$report"
    code=$?
    receipt=$(basename "$order" .json)
    status=$(cat "${traces[@]}" 2>/dev/null |
      jq -R -r "fromjson? | select(.receipt == ${receipt:-0} and .outcome == \"in-doubt\") | .httpStatus")
    if [ $code -eq 4 ] && grep -qxE '50[234]' <<<"$status"; then
      code=1
      jq -c '.exitCode = 1 | .outcome = null | .dialogs |= map(.text |= sub("\r\n\r\nDie Kasse hat .*"; ""))' \
        "$report" >"$report.broken"
      mv "$report.broken" "$report"
      for t in "${traces[@]}"; do
        [ -f "$t" ] && sed -i "/\"receipt\":$receipt,/s/\"outcome\":\"in-doubt\"/\"outcome\":\"refused\"/" "$t"
      done
    fi
    cat "$report"
    rm -f "$report"
    exit $code
    ;;
esac
echo "broken_qelhost: unknown QEL_BROKEN '$QEL_BROKEN'" >&2
exit 2
