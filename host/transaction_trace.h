// The transaction trace: when the configuration turns it on, one line per
// sale or refund in QelConnect.trace, appended once the transaction's end is
// known. A trace that cannot be written changes nothing about the
// transaction.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "host/trace_line.h"
#include "transport/transfer_report.h"

namespace qel {

struct ConnectorConfig;
class Order;

// The trace and the one it is renamed to when it would grow past
// kTraceLimitBytes, so that both together hold about twice that.
constexpr char kTraceFileName[] = "QelConnect.trace";
constexpr char kPreviousTraceFileName[] = "QelConnect.trace.1";
constexpr std::uint64_t kTraceLimitBytes = std::uint64_t{10} << 20;

class TransactionTrace {
 public:
  enum class Kind { Sale, Refund };

  explicit TransactionTrace(Kind kind) : kind_(kind) {}

  // The configuration was read: the trace is on when it says so, and the
  // entry's time is the time of this call.
  void begin(const ConnectorConfig& config);
  // The order as the host passed it, once it was read.
  void noteOrder(const Order& order);
  // Where the transfer records what it did; null while the trace is off.
  TransferReport* report() { return enabled_ ? &report_ : nullptr; }

  // The transaction ended without an error box; `printed` is false when the
  // operator declined to print the tickets of a booked sale.
  void completed(bool printed) noexcept;
  // The transaction ended with `message` in the error box.
  void failed(const std::wstring& message) noexcept;

 private:
  void write(const char* outcome, const std::wstring* message) noexcept;

  Kind kind_;
  bool enabled_ = false;
  std::int64_t began_ = 0;  // ms since 1970, UTC
  std::wstring url_;
  std::optional<TracedOrder> order_;
  TransferReport report_;
};

}  // namespace qel
