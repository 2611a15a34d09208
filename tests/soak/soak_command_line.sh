#!/usr/bin/env bash
# soak's --mix, through the program itself: every count at its limit (0) and
# one past it (-1), in each place, a word that is no mix, and a mix of
# nothing. The refused ones must end with exit code 2 and the whole message;
# the one accepted runs no sale at all (--sales 0 --refunds 0).
#   tests/soak/soak_command_line.sh SOAK
set -uo pipefail

soak=${1:?soak}
refused=$'--mix: a mix is four counts A:R:E:T, not all 0\nRun with --help for more information.'
failed=0

# $1: the mix, $2: the exit code expected, $3: standard error expected.
row() {
  local err code
  err=$("$soak" --url http://127.0.0.1:9/ --mix "$1" --sales 0 --refunds 0 2>&1 >/dev/null)
  code=$?
  if [ "$code" != "$2" ] || [ "$err" != "$3" ]; then
    printf 'mix %s: exit %s, expected %s; standard error:\n%s\n' "$1" "$code" "$2" "$err"
    failed=1
  fi
}

row 0:0:0:1 0 ""
row 1:0:0:0 0 ""
row -1:1:1:1 2 "$refused"
row 1:-1:1:1 2 "$refused"
row 1:1:-1:1 2 "$refused"
row 1:1:1:-1 2 "$refused"
row 0:0:0:0 2 "$refused"
row 1:0:0 2 "$refused"
row 1:0:0:0x 2 "$refused"
row many 2 "$refused"
exit $failed
