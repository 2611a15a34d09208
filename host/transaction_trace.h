// The transaction trace: when the configuration turns it on, a line in
// QelConnect.trace just before a sale's or refund's request goes out and one
// once its end is known. It writes what it is told and decides nothing; a
// trace that cannot be written changes nothing about the transaction. Its
// lines without the transfer are the journal's too (entry()), so the
// transaction is named and timed whether the trace is on or off.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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
  // transaction's time is the time of this call. Returns whether the transfer's
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
  // what `transfer` did (null: nothing was sent), and the error box's
  // `message` when there was one. Nothing is written after it.
  void ended(const char* outcome, const TransferReport* transfer, const std::wstring* message = nullptr) noexcept;

  // What the journal of open transactions could not do, and the operator's
  // answer about an earlier attempt of the receipt, for the lines to come.
  void noteJournalTrouble(const char* trouble) { journalTrouble_ = trouble; }
  void noteOperatorAnswer(const char* answer) { operatorAnswer_ = answer; }

  // The transaction's line for `outcome`, without anything of the transfer,
  // the message, the journal or the operator.
  TraceEntry entry(const char* outcome) const;

 private:
  // Appends one line; its transfer fields come from `transfer` unless null.
  void write(const char* outcome, const std::wstring* message, const TransferReport* transfer) noexcept;

  Kind kind_;
  bool enabled_ = false;
  std::int64_t began_ = 0;  // ms since 1970, UTC
  std::string id_;
  std::wstring url_;
  std::optional<TracedOrder> order_;
  const char* journalTrouble_ = nullptr;
  const char* operatorAnswer_ = nullptr;
  const char* boxNotShown_ = nullptr;
  const char* logEntryLost_ = nullptr;
};

// A new transaction's name, 32 hexadecimal digits: the time in
// milliseconds, the process's id, a count of the process's transactions and
// a random number, so that no two transactions of any processes, before or
// after a restart, have the same one.
std::string newTransactionId();

// Whether the transaction named `id` (by newTransactionId) was begun by the
// process `processId`, which a host running in that process can ask of its
// own transactions.
bool isTransactionOfProcess(std::string_view id, std::uint32_t processId);

}  // namespace qel
