// The transaction trace's life: switched on with the configuration, fed by
// the flow and the transfer, written ahead of the request and at the end.
#include "host/transaction_trace.h"

#include <array>
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

}  // namespace

std::string newTransactionId() {
  std::array<unsigned char, 16> bytes{};
  if (!platform::randomBytes(bytes.data(), bytes.size())) {
    // No random numbers: the time and a count of this process's
    // transactions still tell the process's own transactions apart.
    static std::atomic<std::uint32_t> count{0};
    const std::int64_t now = platform::utcMilliseconds();
    const std::uint32_t n = count.fetch_add(1, std::memory_order_relaxed);
    for (std::size_t i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(now >> (8 * i));
    for (std::size_t i = 0; i < 4; ++i) bytes[8 + i] = static_cast<unsigned char>(n >> (8 * i));
  }
  static const char kHex[] = "0123456789abcdef";
  std::string id;
  id.reserve(2 * bytes.size());
  for (const unsigned char b : bytes) {
    id += kHex[b >> 4];
    id += kHex[b & 0xF];
  }
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
