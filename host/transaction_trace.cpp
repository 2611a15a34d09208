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

// The last `digits` hexadecimal digits of `value`.
void appendHex(std::string& out, std::uint64_t value, int digits) {
  static const char kHex[] = "0123456789abcdef";
  for (int shift = 4 * digits; shift != 0;) {
    shift -= 4;
    out += kHex[(value >> shift) & 0xF];
  }
}

// The lines that this process's trace gave up because another held the
// lock for longer than the wait, since the last line that was written.
std::atomic<std::uint32_t> linesLost{0};

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

bool TransactionTrace::begin(const ConnectorConfig& config) {
  enabled_ = config.trace;
  if (enabled_) {
    began_ = platform::utcMilliseconds();
    id_ = newTransactionId();
    url_ = config.url;
  }
  return enabled_ && config.traceBodies;
}

void TransactionTrace::noteOrder(const Order& order) {
  if (!enabled_) return;
  order_ = TracedOrder{order.id(), order.belegnummer(), order.bruttogesamtpreis(), order.terminalId()};
}

void TransactionTrace::sending() noexcept { write(trace::outcome::kSending, nullptr, nullptr); }

void TransactionTrace::ended(const char* outcome, const TransferReport& transfer,
                             const std::wstring* message) noexcept {
  write(outcome, message, &transfer);
  enabled_ = false;
}

void TransactionTrace::write(const char* outcome, const std::wstring* message,
                             const TransferReport* transfer) noexcept {
  if (!enabled_) return;
  try {
    TraceEntry entry;
    entry.time = isoUtc(began_);
    entry.id = id_;
    entry.kind = kind_ == Kind::Sale ? trace::kSale : trace::kRefund;
    entry.order = order_;
    entry.url = url_;
    entry.outcome = outcome;
    if (message != nullptr) entry.message = *message;
    if (transfer != nullptr) {
      entry.boxNotShown = boxNotShown_;
      entry.logEntryLost = logEntryLost_;
    }
    entry.linesLost = linesLost.load();
    const platform::FileWriteResult written = platform::appendRecord(trace::kFileName, formatTraceLine(entry, transfer),
                                                                     kTraceLimitBytes, trace::kPreviousFileName);
    // A line lost to a lock cannot say so itself: the next line written
    // counts it. A line lost otherwise leaves the count to the next.
    if (written) {
      linesLost -= entry.linesLost;
    } else if (written.status == platform::FileWrite::Locked) {
      ++linesLost;
    }
  } catch (...) {
    // No memory for the line: the transaction goes on without it.
  }
}

}  // namespace qel
