// The transaction trace's life: switched on with the configuration, fed by
// the flow and the transfer, written once at the end.
#include "host/transaction_trace.h"

#include "base/utc_time.h"
#include "config/connector_config.h"
#include "order/order.h"
#include "platform/platform.h"

namespace qel {
namespace {

const char* outcomeName(TransferOutcome outcome) {
  switch (outcome) {
    case TransferOutcome::Accepted:
      return "accepted";
    case TransferOutcome::Refused:
      return "refused";
    case TransferOutcome::InDoubt:
      return "in-doubt";
    case TransferOutcome::Failed:
      break;
  }
  return "failed";
}

}  // namespace

void TransactionTrace::begin(const ConnectorConfig& config) {
  enabled_ = config.trace;
  if (!enabled_) return;
  began_ = platform::utcMilliseconds();
  url_ = config.url;
  report_.keepBodies = config.traceBodies;
}

void TransactionTrace::noteOrder(const Order& order) {
  if (!enabled_) return;
  order_ = TracedOrder{order.id(), order.belegnummer(), order.bruttogesamtpreis(), order.terminalId()};
}

void TransactionTrace::completed(bool printed) noexcept {
  const char* outcome = outcomeName(report_.outcome);
  if (report_.outcome == TransferOutcome::Accepted && !printed) outcome = "accepted-not-printed";
  write(outcome, nullptr);
}

void TransactionTrace::failed(const std::wstring& message) noexcept { write(outcomeName(report_.outcome), &message); }

void TransactionTrace::write(const char* outcome, const std::wstring* message) noexcept {
  if (!enabled_) return;
  try {
    TraceEntry entry;
    entry.time = isoUtc(began_);
    entry.kind = kind_ == Kind::Sale ? "sale" : "refund";
    entry.order = order_;
    entry.url = url_;
    entry.outcome = outcome;
    if (message != nullptr) entry.message = *message;
    platform::appendRecord(kTraceFileName, formatTraceLine(entry, report_), kTraceLimitBytes, kPreviousTraceFileName);
  } catch (...) {
    // No memory for the line: the transaction goes on without it.
  }
  enabled_ = false;
}

}  // namespace qel
