// The transaction trace: when the configuration turns it on, a line in
// QelConnect.trace just before a sale's or refund's request goes out and one
// once its end is known. A trace that cannot be written changes nothing about
// the transaction. Whether the trace is on or off, it holds the one decision
// of how the transfer ended, which the error box follows too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "host/operator_dialogs.h"
#include "host/trace_line.h"
#include "host/transaction_kind.h"
#include "transport/transfer_report.h"

namespace qel {

struct ConnectorConfig;
class Order;

// The trace and the one it is renamed to when it would grow past
// kTraceLimitBytes, so that both together hold about twice that.
constexpr char kTraceFileName[] = "QelConnect.trace";
constexpr char kPreviousTraceFileName[] = "QelConnect.trace.1";
constexpr std::uint64_t kTraceLimitBytes = std::uint64_t{10} << 20;

// The outcome of the line written ahead of the request; a transaction whose
// trace holds nothing after it ended during the transfer.
constexpr char kSendingOutcome[] = "sending";

class TransactionTrace {
 public:
  using Kind = TransactionKind;

  explicit TransactionTrace(Kind kind) : kind_(kind) {}
  // The report's announcement refers to this object.
  TransactionTrace(const TransactionTrace&) = delete;
  TransactionTrace& operator=(const TransactionTrace&) = delete;

  // The configuration was read: the trace is on when it says so, and the
  // entry's time is the time of this call.
  void begin(const ConnectorConfig& config);
  // The order as the host passed it, once it was read.
  void noteOrder(const Order& order);
  // Where the transfer records what it did and how it ended, with the trace
  // on or off; with the trace on, it also announces the request.
  TransferReport* report() { return &report_; }

  // The receipt of a transaction that failed after the whole order may
  // have reached the cash register; nullopt for any other.
  std::optional<PossibleBooking> possibleBooking() const;

  // The transaction ended without an error box; `printed` is false when the
  // operator declined to print the tickets of a booked sale.
  void completed(bool printed) noexcept;
  // The transaction ended with `message` in the error box.
  void failed(const std::wstring& message) noexcept;

 private:
  void sending() noexcept;
  // Appends one line; its transfer fields come from `transfer` unless null.
  void write(const char* outcome, const std::wstring* message, const TransferReport* transfer) noexcept;

  Kind kind_;
  bool enabled_ = false;
  std::int64_t began_ = 0;  // ms since 1970, UTC
  std::string id_;
  std::wstring url_;
  std::optional<std::int32_t> receipt_;
  std::optional<TracedOrder> order_;
  TransferReport report_;
};

// A new transaction's name: 32 hexadecimal digits from the system's random
// numbers, so that no two processes, before or after a restart, pick the
// same one.
std::string newTransactionId();

}  // namespace qel
