// The transaction trace: when the configuration turns it on, a line in
// QelConnect.trace just before a sale's or refund's request goes out and one
// once its end is known. It writes what it is told and decides nothing; a
// trace that cannot be written changes nothing about the transaction.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "host/trace_line.h"
#include "host/trace_schema.h"
#include "host/transaction_kind.h"
#include "transport/transfer_report.h"

namespace qel {

struct ConnectorConfig;
class Order;

// The trace and QelConnect.trace.1 together hold about twice this.
constexpr std::uint64_t kTraceLimitBytes = std::uint64_t{10} << 20;

class TransactionTrace {
 public:
  using Kind = TransactionKind;

  explicit TransactionTrace(Kind kind) : kind_(kind) {}

  // The configuration was read: the trace is on when it says so, and the
  // entry's time is the time of this call. Returns whether the transfer's
  // bodies belong in the trace.
  bool begin(const ConnectorConfig& config);
  // The order as the host passed it, once it was read.
  void noteOrder(const Order& order);

  // What the outcome's line notes besides: a question that could not be
  // shown (one of trace::box), a log entry given up (one of trace::lost).
  void boxNotShown(const char* box) noexcept { boxNotShown_ = box; }
  void logEntryLost(const char* cause) noexcept { logEntryLost_ = cause; }

  // The line written just before the request goes out.
  void sending() noexcept;
  // The line of the transaction's end: `outcome` (one of trace::outcome),
  // what `transfer` did, and the error box's `message` when there was one.
  // Nothing is written after it.
  void ended(const char* outcome, const TransferReport& transfer, const std::wstring* message = nullptr) noexcept;

 private:
  // Appends one line; its transfer fields come from `transfer` unless null.
  void write(const char* outcome, const std::wstring* message, const TransferReport* transfer) noexcept;

  Kind kind_;
  bool enabled_ = false;
  std::int64_t began_ = 0;  // ms since 1970, UTC
  std::string id_;
  std::wstring url_;
  std::optional<TracedOrder> order_;
  const char* boxNotShown_ = nullptr;
  const char* logEntryLost_ = nullptr;
};

// A new transaction's name, 32 hexadecimal digits: the time in
// milliseconds, the process's id, a count of the process's transactions and
// a random number, so that no two transactions of any processes, before or
// after a restart, have the same one.
std::string newTransactionId();

}  // namespace qel
