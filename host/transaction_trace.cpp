// The transaction trace's life: switched on with the configuration, fed by
// the flow and the transfer, written ahead of the request and at the end.
#include "host/transaction_trace.h"

#include <atomic>

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

// The last `digits` hexadecimal digits of `value`.
void appendHex(std::string& out, std::uint64_t value, int digits) {
  static const char kHex[] = "0123456789abcdef";
  for (int shift = 4 * digits; shift != 0;) {
    shift -= 4;
    out += kHex[(value >> shift) & 0xF];
  }
}

}  // namespace

std::string newTransactionId() {
  static std::atomic<std::uint32_t> count{0};
  std::uint32_t salt = 0;
  platform::randomBytes(&salt, sizeof salt);
  std::string id;
  appendHex(id, static_cast<std::uint64_t>(platform::utcMilliseconds()), 12);
  appendHex(id, platform::processId(), 8);
  appendHex(id, ++count, 4);
  appendHex(id, salt, 8);
  return id;
}

void TransactionTrace::begin(const ConnectorConfig& config) {
  enabled_ = config.trace;
  if (!enabled_) return;
  began_ = platform::utcMilliseconds();
  id_ = newTransactionId();
  url_ = config.url;
  report_.keepBodies = config.traceBodies;
  report_.beforeSending = [this] { sending(); };
}

void TransactionTrace::noteOrder(const Order& order) {
  receipt_ = order.belegnummer();
  if (!enabled_) return;
  order_ = TracedOrder{order.id(), order.belegnummer(), order.bruttogesamtpreis(), order.terminalId()};
}

std::optional<PossibleBooking> TransactionTrace::possibleBooking() const {
  if (report_.outcome != TransferOutcome::InDoubt || !receipt_) return std::nullopt;
  return PossibleBooking{kind_, *receipt_};
}

void TransactionTrace::sending() noexcept { write(kSendingOutcome, nullptr, nullptr); }

void TransactionTrace::completed(bool printed) noexcept {
  const char* outcome = outcomeName(report_.outcome);
  if (report_.outcome == TransferOutcome::Accepted && !printed) outcome = "accepted-not-printed";
  write(outcome, nullptr, &report_);
  enabled_ = false;
}

void TransactionTrace::failed(const std::wstring& message) noexcept {
  write(outcomeName(report_.outcome), &message, &report_);
  enabled_ = false;
}

void TransactionTrace::write(const char* outcome, const std::wstring* message,
                             const TransferReport* transfer) noexcept {
  if (!enabled_) return;
  try {
    TraceEntry entry;
    entry.time = isoUtc(began_);
    entry.id = id_;
    entry.kind = kind_ == Kind::Sale ? "sale" : "refund";
    entry.order = order_;
    entry.url = url_;
    entry.outcome = outcome;
    if (message != nullptr) entry.message = *message;
    platform::appendRecord(kTraceFileName, formatTraceLine(entry, transfer), kTraceLimitBytes, kPreviousTraceFileName);
  } catch (...) {
    // No memory for the line: the transaction goes on without it.
  }
}

}  // namespace qel
