// A transaction's course: the trace fed at each step, the outcome judged
// from the transfer's report.
#include "host/transaction.h"

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

void Transaction::transfer(KasseExchange& exchange, const Order& order, KasseResponse& response) {
  exchange.prepare(order, report_);
  trace_.sending();
  exchange.send(response, report_);
}

void Transaction::completed(bool printed) noexcept {
  const TransferOutcome outcome = judgeTransfer(report_);
  const bool notPrinted = outcome == TransferOutcome::Accepted && !printed;
  trace_.ended(notPrinted ? trace::outcome::kAcceptedNotPrinted : trace::outcomeName(outcome), report_);
}

std::optional<PossibleBooking> Transaction::failed(const std::wstring& message) noexcept {
  const TransferOutcome outcome = judgeTransfer(report_);
  trace_.ended(trace::outcomeName(outcome), report_, &message);
  if (outcome != TransferOutcome::InDoubt || !receipt_) return std::nullopt;
  return PossibleBooking{kind_, *receipt_};
}

}  // namespace qel
