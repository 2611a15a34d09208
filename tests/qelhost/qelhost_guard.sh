#!/usr/bin/env bash
# A sale in doubt finished at the till: qelhost (natively, or qelhost.exe
# with the DLL under Wine) sells the example order to a kasse-sim that books
# it and answers only after the plug-in's limit, so the sale ends in doubt
# (exit 4); `qelhost pending` lists it; sold again, the guard asks: Cancel
# leaves it open (exit 4), Yes completes it (exit 0) without a second booking
# in kasse-sim's ledger. A sale whose printing is cancelled stays open as
# booked (exit 5) and is finished with OK; No sends a receipt again.
#   qelhost_guard.sh QELHOST KASSE_SIM EXAMPLES_DIR [RUNNER]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../support/tls_lib.sh"

QELHOST=$1
SIM=$2
EXAMPLES=$3
RUNNER=${4:-}
export TZ=UTC

work=$(mktemp -d "${TMPDIR:-/tmp}/qelhost-guard.XXXXXX")
trap 'stop_servers "$work"; rm -rf "$work"' EXIT

source "$(dirname "${BASH_SOURCE[0]}")/qelhost_lib.sh"
# ANSWERS RECEIPT NAME: the example sale with RECEIPT; its JSON report in
# NAME.json, its dialogs in NAME.txt; prints the exit code (and the JSON's),
# the outcome and the answers given.
sale() {
  local code=0
  qelhost --json --answers "$1" --receipt "$2" "$(program_path "$EXAMPLES/sale.json")" >"$work/$3.json" \
    2>"$work/$3.txt" || code=$?
  jq -r --arg code "$code" '[$code, .exitCode, .outcome, ([.dialogs[].answer] | join(","))] | join(" ")' \
    "$work/$3.json"
}

# Books the order once it has read it whole, then answers after 8 s.
start_server "$work" stalling --delay 8 --ledger "$work/ledger.jsonl"
start_server "$work" accepting --ledger "$work/ledger.jsonl"
mkdir "$work/site"
cp "$EXAMPLES/Sales.ini" "$work/site/"
configure() {
  cat >"$work/site/QelConnect.xml" <<XML
<endpoint><username>kasse</username><password>geheim</password><url>http://127.0.0.1:$1/sap/kasse</url></endpoint>
<diagnostics><trace>1</trace></diagnostics>
XML
}
booked() { grep -c "\"receipt\":$1," "$work/ledger.jsonl" || true; }
expect() { # WHAT ACTUAL EXPECTED
  [ "$2" = "$3" ] || fail "$1: '$2', not '$3'"
}

configure "$(cat "$work/stalling.port")"
expect "the stalled sale" "$(sale ok,ok 100234 doubt)" "4 4 in-doubt ok,ok"
expect "pending --json" "$(qelhost pending --json | jq -c '[.receipt, .kind, .total, .state]')" \
  '[100234,"sale",98.4,"in-doubt"]'
qelhost pending | tee "$work/pending.txt"
grep -q '^100234      sale         98.40  [0-9-]* [0-9:]*  in doubt: the transfer failed after the order went out$' \
  "$work/pending.txt" || fail "pending's table shows it otherwise"

# The operator cancels at the guard: nothing is sent, the receipt stays open.
configure "$(cat "$work/accepting.port")"
expect "Cancel at the guard" "$(sale ok,cancel 100234 cancelled)" "4 4 cancelled ok,cancel"
expect "the guard's box" "$(jq -r '.dialogs[1].text' "$work/cancelled.json" | tr -d '\r' | head -n 1 | sed 's/am [0-9.]* um [0-9:]*/am D um T/')" \
  "Beleg 100234 über 98,40 EUR wurde am D um T an die Kasse übertragen; ob die Kasse ihn gebucht hat, ist offen."
tr -d '\r' <"$work/cancelled.txt" | grep -q '^  buttons: Yes, No, Cancel$' || fail "the guard's buttons"
expect "bookings after Cancel" "$(booked 100234)" 1

# The operator has checked the cash register and found the receipt booked.
expect "Yes at the guard" "$(sale ok,yes,ok 100234 yes)" "0 0 operator-confirmed ok,yes,ok"
expect "bookings after Yes" "$(booked 100234)" 1
expect "pending after Yes" "$(qelhost pending --json | wc -l)" 0
expect "the trace's outcome" "$(tail -n 1 "$work/site/QelConnect.trace" | jq -r .outcome)" operator-confirmed

# Booked, tickets not printed: stays open, OK finishes it without a transfer.
expect "Cancel at printing" "$(sale ok,cancel 100236 unprinted)" "5 5 accepted-not-printed ok,cancel"
expect "pending as booked" "$(qelhost pending --json | jq -r .state)" not-printed
expect "Cancel at the question" "$(sale ok,cancel 100236 again)" "5 5 cancelled ok,cancel"
expect "OK at the question" "$(sale ok,ok,ok 100236 finished)" "0 0 operator-confirmed ok,ok,ok"
grep -q '^  text:    Beleg 100236 ist seit [0-9:]* an der Kasse gebucht; die Tickets wurden nicht gedruckt.' \
  "$work/finished.txt" || fail "the not-printed question's text"
expect "bookings of 100236" "$(booked 100236)" 1

# No: the receipt is sent again and booked a second time, as asked.
configure "$(cat "$work/stalling.port")"
expect "the second sale in doubt" "$(sale ok,ok 100237 doubt2)" "4 4 in-doubt ok,ok"
configure "$(cat "$work/accepting.port")"
expect "No at the guard" "$(sale ok,no,ok 100237 no)" "0 0 accepted ok,no,ok"
expect "bookings of 100237" "$(booked 100237)" 2
expect "pending at the end" "$(qelhost pending)" "No open transactions."

# Two processes on one journal, each selling receipts of its own while the
# other does: every line stays whole, each sale is booked once and ends
# accepted, and nothing is left open.
sellers=""
for process in 1 2; do
  (for i in 1 2 3 4 5 6; do sale ok,ok $((200000 + process * 100 + i)) "two-$process-$i"; done) >"$work/two-$process.txt" &
  sellers="$sellers $!"
done
# shellcheck disable=SC2086
wait $sellers
expect "the two processes' sales" "$(cat "$work/two-1.txt" "$work/two-2.txt" | sort | uniq -c | sed 's/^ *//')" \
  "12 0 0 accepted ok,ok"
expect "whole lines" "$(jq -c . "$work/site/QelConnect.journal" | wc -l)" "$(wc -l <"$work/site/QelConnect.journal")"
expect "bookings of the two" "$(grep -c '"receipt":200[12]0[1-6],' "$work/ledger.jsonl")" 12
expect "pending after the two" "$(qelhost pending)" "No open transactions."
exit $((failures > 0))
