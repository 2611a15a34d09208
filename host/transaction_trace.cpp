// The transaction trace's life: switched on with the configuration, fed by
// the flow and the transfer, written ahead of the request and at the end.
#include "host/transaction_trace.h"

#include <atomic>
#include <string_view>

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

bool isTransactionOfProcess(std::string_view id, std::uint32_t processId) {
  std::string digits;
  appendHex(digits, processId, 8);
  return id.size() == 32 && id.substr(12, 8) == digits;
}

bool TransactionTrace::begin(const ConnectorConfig& config) {
  enabled_ = config.trace;
  began_ = platform::utcMilliseconds();
  id_ = newTransactionId();
  url_ = config.url;
  return enabled_ && config.traceBodies;
}

void TransactionTrace::noteOrder(const Order& order) {
  order_ = TracedOrder{order.id(), order.belegnummer(), order.bruttogesamtpreis(), order.terminalId()};
}

TraceEntry TransactionTrace::entry(const char* outcome) const {
  TraceEntry line;
  line.time = isoUtc(began_);
  line.id = id_;
  line.kind = kind_ == Kind::Sale ? trace::kSale : trace::kRefund;
  line.order = order_;
  line.url = url_;
  line.outcome = outcome;
  return line;
}

void TransactionTrace::sending() noexcept { write(trace::outcome::kSending, nullptr, nullptr); }

void TransactionTrace::ended(const char* outcome, const TransferReport* transfer,
                             const std::wstring* message) noexcept {
  write(outcome, message, transfer);
  enabled_ = false;
}

void TransactionTrace::write(const char* outcome, const std::wstring* message,
                             const TransferReport* transfer) noexcept {
  if (!enabled_) return;
  try {
    TraceEntry line = entry(outcome);
    line.journal = journalTrouble_;
    line.operatorAnswer = operatorAnswer_;
    if (message != nullptr) line.message = *message;
    // The notes of the end belong on the line of the outcome.
    if (std::string_view(outcome) != trace::outcome::kSending) {
      line.boxNotShown = boxNotShown_;
      line.logEntryLost = logEntryLost_;
    }
    line.linesLost = linesLost.load();
    const platform::FileWriteResult written = platform::appendRecord(trace::kFileName, formatTraceLine(line, transfer),
                                                                     kTraceLimitBytes, trace::kPreviousFileName);
    // A line lost to a lock cannot say so itself: the next line written
    // counts it. A line lost otherwise leaves the count to the next.
    if (written) {
      linesLost -= line.linesLost;
    } else if (written.status == platform::FileWrite::Locked) {
      ++linesLost;
    }
  } catch (...) {
    // No memory for the line: the transaction goes on without it.
  }
}

}  // namespace qel
