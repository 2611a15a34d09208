// A transaction's course: the journal and the trace fed at each step, the
// outcome judged from the transfer's report or told by the operator.
#include "host/transaction.h"

#include <optional>
#include <utility>

#include "config/connector_config.h"
#include "host/trace_schema.h"
#include "order/order.h"
#include "transport/kasse_exchange.h"
#include "transport/transfer_verdict.h"

namespace qel {

void Transaction::begin(const ConnectorConfig& config) { report_.keepBodies = trace_.begin(config); }

void Transaction::noteOrder(const Order& order) {
  receipt_ = order.belegnummer();
  trace_.noteOrder(order);
}

bool Transaction::mayBeBooked() noexcept {
  if (!receipt_) return false;
  earlier_ = journal_.earlierAttempt(kind_, *receipt_);
  trace_.noteJournalTrouble(journal_.trouble());
  return earlier_.has_value();
}

GuardAnswer Transaction::askAboutEarlierAttempt(void* owner, const Order& order) {
  const GuardedOrder guarded{kind_, order.belegnummer(), order.bruttogesamtpreis(), order.waehrung()};
  GuardAnswer answer = askWhetherBooked(owner, guarded, *earlier_);
  switch (answer) {
    case GuardAnswer::Booked:
      confirmed_ = true;
      break;
    case GuardAnswer::NotBooked:
      // This transaction's line closes the earlier attempt of the receipt.
      journal(trace::outcome::kNotBooked);
      trace_.noteOperatorAnswer(trace::outcome::kNotBooked);
      break;
    case GuardAnswer::NotShown:
      // A question never asked is no answer: nothing is sent, as on Cancel,
      // and the trace says why.
      trace_.boxNotShown(trace::box::kGuard);
      answer = GuardAnswer::Cancelled;
      [[fallthrough]];
    case GuardAnswer::Cancelled:
      trace_.ended(trace::outcome::kCancelled, nullptr);
      break;
  }
  return answer;
}

void Transaction::send(const Order& order, ConnectorConfig config) {
  KasseExchange exchange(std::move(config));
  KasseResponse response;
  exchange.prepare(order, report_);
  journaled_ = true;
  journal(trace::outcome::kSending);
  trace_.sending();
  exchange.send(response, report_);
}

bool Transaction::sendOnce(void* owner, const Order& order, const std::function<ConnectorConfig()>& read,
                           const std::function<void()>& booked) {
  std::optional<ConnectorConfig> unsent;
  {
    const platform::TransferProgress progress = transferProgress(owner);
    ConnectorConfig config = read();
    if (!mayBeBooked()) {
      send(order, std::move(config));
      booked();
      return true;
    }
    unsent = std::move(config);
  }
  const GuardAnswer answer = askAboutEarlierAttempt(owner, order);
  if (answer == GuardAnswer::Cancelled) return false;
  const platform::TransferProgress progress = transferProgress(owner);
  if (answer == GuardAnswer::NotBooked) send(order, std::move(*unsent));
  booked();
  return true;
}

void Transaction::completed(bool printed) noexcept {
  if (confirmed_) {
    const char* outcome = printed ? trace::outcome::kOperatorConfirmed : trace::outcome::kOperatorConfirmedNotPrinted;
    journal(outcome);
    trace_.ended(outcome, nullptr);
    return;
  }
  const TransferOutcome outcome = judgeTransfer(report_);
  const bool notPrinted = outcome == TransferOutcome::Accepted && !printed;
  const char* name = notPrinted ? trace::outcome::kAcceptedNotPrinted : trace::outcomeName(outcome);
  if (journaled_) journal(name);
  trace_.ended(name, &report_);
}

std::optional<PossibleBooking> Transaction::failed(const std::wstring& message) noexcept {
  const TransferOutcome outcome = judgeTransfer(report_);
  if (journaled_) journal(trace::outcomeName(outcome));
  trace_.ended(trace::outcomeName(outcome), &report_, &message);
  if (outcome != TransferOutcome::InDoubt || !receipt_) return std::nullopt;
  return PossibleBooking{kind_, *receipt_};
}

void Transaction::journal(const char* outcome) noexcept {
  try {
    journal_.append(formatTraceLine(trace_.entry(outcome), nullptr));
  } catch (...) {
    // No memory for the line: the transaction goes on without it.
  }
  trace_.noteJournalTrouble(journal_.trouble());
}

}  // namespace qel
