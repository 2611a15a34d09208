// One sale or refund as its flow follows it: what the transfer reported,
// the receipt once the order was read, and the trace and the journal that
// write it down. The outcome is asked of judgeTransfer whenever it is
// needed; the error box's paragraph, the trace's outcome and whether the
// journal keeps the transaction open follow from that one answer.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "host/guard_question.h"
#include "host/operator_dialogs.h"
#include "host/transaction_journal.h"
#include "host/transaction_kind.h"
#include "host/transaction_trace.h"
#include "transport/transfer_report.h"

namespace qel {

struct ConnectorConfig;
class Order;

class Transaction {
 public:
  explicit Transaction(TransactionKind kind) : kind_(kind), trace_(kind) {}

  // The configuration was read (the trace starts with it).
  void begin(const ConnectorConfig& config);
  // The order was read: its receipt names the transaction from now on.
  void noteOrder(const Order& order);

  // Reads the order with `read` (which returns the configuration) and sends
  // it under the progress window of a slow transfer, then runs `booked`
  // there. A receipt that the journal holds open as possibly booked leaves
  // the window to ask the operator first: booked there, nothing is sent and
  // `booked` runs; cancelled, nothing more happens and false comes back.
  // Throws as reading and sending do.
  bool sendOnce(void* owner, const Order& order, const std::function<ConnectorConfig()>& read,
                const std::function<void()>& booked);

  // Noted in the outcome's trace line: a question that the system could not
  // show (one of trace::box), a log entry given up (one of trace::lost).
  void boxNotShown(const char* box) noexcept { trace_.boxNotShown(box); }
  void logEntryLost(const char* cause) noexcept { trace_.logEntryLost(cause); }

  // The transaction ended without an error box; `printed` is false when the
  // operator declined to print the tickets of a booked sale.
  void completed(bool printed) noexcept;
  // The transaction ended with `message` in the error box. Returns the
  // receipt that the box must name when the cash register may have booked
  // it, nullopt otherwise.
  std::optional<PossibleBooking> failed(const std::wstring& message) noexcept;

 private:
  // Whether the journal holds an earlier attempt of the order's receipt
  // (and kind) open, one that the cash register may have booked. A journal
  // that cannot be read holds none; the trace says so.
  bool mayBeBooked() noexcept;
  // Asks the operator whether that earlier attempt was booked. Booked: the
  // transaction completes without a transfer. Not booked: the earlier
  // attempt is closed and the order is to be sent. Cancelled: the
  // transaction ends here, nothing sent, the earlier attempt still open.
  GuardAnswer askAboutEarlierAttempt(void* owner, const Order& order);
  // Prepares the request through a new exchange of `config`, writes the
  // journal's and the trace's "sending" lines, then sends it; throws as the
  // exchange does.
  void send(const Order& order, ConnectorConfig config);
  // Appends the transaction's journal line for `outcome`.
  void journal(const char* outcome) noexcept;

  TransactionKind kind_;
  std::optional<std::int32_t> receipt_;
  TransferReport report_;
  TransactionTrace trace_;
  TransactionJournal journal_;
  std::optional<EarlierAttempt> earlier_;
  // A line of this transaction's transfer is in the journal, and its
  // outcome must follow.
  bool journaled_ = false;
  // The operator confirmed that the earlier attempt was booked.
  bool confirmed_ = false;
};

}  // namespace qel
