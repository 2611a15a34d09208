#!/usr/bin/env bash
# The reconciliation must be able to fail: run against each deliberately
# broken box office (tests/reconcile/broken_qelhost.sh), it must exit 1 and
# count the violation that the fault makes; against the real qelhost, with
# the same seed and faults, it must find none.
#   tests/reconcile/reconcile_selftest.sh RUN_DIR   (QEL_RECONCILE_BUILD: the native tree)
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
run=${1:?run folder}
failed=0
# Faults that leave a booking behind an answer the host never gets whole,
# many of them, and many hosts killed once their request is through.
common=(--transactions 40 --folders 2 --seed 11 --kill-permille 500 --lock-permille 0
  --shares pass=2,close-after=1,502=1,503=1,504=1)

# $1: the broken host (empty: the real one), $2: the violation it must cause
# (empty: none at all).
expect() {
  local broken=$1 violation=$2 out code
  out=$(QEL_BROKEN=$broken bash "$root/scripts/reconcile.sh" "${common[@]}" --run "$run/${broken:-healthy}" \
    ${broken:+--qelhost "$here/broken_qelhost.sh"} 2>&1)
  code=$?
  if [ -z "$violation" ]; then
    if [ $code -eq 0 ]; then
      echo "qelhost: exit 0, no violation"
    else
      echo "qelhost: exit $code, expected 0"
      echo "$out"
      failed=1
    fi
    return
  fi
  local count
  count=$(printf '%s\n' "$out" | grep -E "^  $violation +[0-9]+$" | grep -oE '[0-9]+$')
  if [ $code -ne 1 ] || [ "${count:-0}" -eq 0 ]; then
    echo "$broken: exit $code and '$violation' ${count:-missing}, expected exit 1 and at least one"
    echo "$out"
    failed=1
  else
    echo "$broken: exit 1, $count x '$violation'"
  fi
}

expect "" ""
expect no-sending "shown as not paid and not in doubt, but booked"
expect wrong-receipt "in-doubt paragraph names another receipt"
expect gateway-refused "shown as not paid and not in doubt, but booked"
exit $failed
