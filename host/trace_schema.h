// The words that the transaction trace is written in and that every reader
// of it relies on: the files, the keys of a line, the kinds, the outcome
// names, and the exit codes with which qelhost passes an outcome on. The
// trace's writer and each reader (qelhost, its trace listing, the
// reconciliation) take them from here, so that none can drift.
#pragma once

#include "transport/transfer_verdict.h"

namespace qel {

namespace trace {

// The trace and the one it is renamed to when it would grow past its limit.
constexpr char kFileName[] = "QelConnect.trace";
constexpr char kPreviousFileName[] = "QelConnect.trace.1";

// The keys of a line, in the order in which they are written.
namespace key {
constexpr char kTime[] = "time";  // ISO 8601, UTC: when the transaction began
constexpr char kVersion[] = "version";
constexpr char kId[] = "id";  // the same on the "sending" line and the outcome's
constexpr char kKind[] = "kind";
constexpr char kOrderId[] = "orderId";
constexpr char kReceipt[] = "receipt";
constexpr char kTotal[] = "total";
constexpr char kTerminalId[] = "terminalId";
constexpr char kUrl[] = "url";
constexpr char kOutcome[] = "outcome";
// Why the journal of open transactions could not be used, if it could not:
// one of journal::trouble.
constexpr char kJournal[] = "journal";
// The operator's answer about an earlier attempt of the same receipt that
// may be booked, when it was to send the order again: outcome::kNotBooked.
constexpr char kOperator[] = "operator";
constexpr char kMessage[] = "message";  // the error box's message, without its paragraph
// A question that the system could not show at all (one of trace::box); the
// operator saw nothing and answered nothing.
constexpr char kBoxNotShown[] = "boxNotShown";
// Why the log entry of this transaction was given up (one of trace::lost).
constexpr char kLogEntryLost[] = "logEntryLost";
// How many earlier lines of this process the trace gave up because another
// held its lock for longer than the wait; left out when none.
constexpr char kLinesLost[] = "linesLost";
constexpr char kHttpStatus[] = "httpStatus";
constexpr char kRect[] = "rect";
constexpr char kRectmsg[] = "rectmsg";
constexpr char kTimes[] = "times";
constexpr char kNameLookup[] = "nameLookup";
constexpr char kConnect[] = "connect";
constexpr char kTls[] = "tls";
constexpr char kFirstByte[] = "firstByte";
constexpr char kTotalTime[] = "total";
constexpr char kBytesSent[] = "bytesSent";
constexpr char kBytesReceived[] = "bytesReceived";
constexpr char kRequest[] = "request";
constexpr char kResponse[] = "response";
}  // namespace key

// The values of "kind".
constexpr char kSale[] = "sale";
constexpr char kRefund[] = "refund";

// The values of "boxNotShown".
namespace box {
constexpr char kPrinting[] = "printing";  // "Tickets drucken?"
constexpr char kGuard[] = "guard";        // whether an open receipt is booked
}  // namespace box

// The values of "logEntryLost".
namespace lost {
// Another held the log's lock for longer than the wait.
constexpr char kLocked[] = "locked";
}  // namespace lost

// The values of "outcome". A transaction's first line says "sending", just
// before its request goes out; its second line names how it ended.
namespace outcome {
constexpr char kSending[] = "sending";
constexpr char kAccepted[] = "accepted";
// Booked, and the operator declined to print the tickets.
constexpr char kAcceptedNotPrinted[] = "accepted-not-printed";
constexpr char kRefused[] = "refused";
constexpr char kFailed[] = "failed";
constexpr char kInDoubt[] = "in-doubt";
// Declined before anything was sent: at the first question (never
// written, the trace begins only once the configuration is read) or at the
// question about an earlier attempt that may be booked, which stays open.
constexpr char kCancelled[] = "cancelled";
// The operator confirmed that the cash register booked an earlier attempt
// of the receipt; the transaction was completed without a transfer (and the
// tickets not printed, for the second).
constexpr char kOperatorConfirmed[] = "operator-confirmed";
constexpr char kOperatorConfirmedNotPrinted[] = "operator-confirmed-not-printed";
// The operator said that the cash register did not book an earlier attempt
// of the receipt: it is closed, and the order is sent again.
constexpr char kNotBooked[] = "not-booked";
}  // namespace outcome

// The outcome name of a transfer's outcome.
constexpr const char* outcomeName(TransferOutcome value) {
  switch (value) {
    case TransferOutcome::Accepted:
      return outcome::kAccepted;
    case TransferOutcome::Refused:
      return outcome::kRefused;
    case TransferOutcome::InDoubt:
      return outcome::kInDoubt;
    case TransferOutcome::Failed:
      break;
  }
  return outcome::kFailed;
}

}  // namespace trace

// The journal of open transactions: lines of the trace's shape (its keys
// and outcome names, without message or transfer), always written, and
// compacted to the transactions that are still open.
namespace journal {
constexpr char kFileName[] = "QelConnect.journal";
// The values of the trace's "journal" key.
namespace trouble {
constexpr char kUnreadable[] = "unreadable";
constexpr char kUnwritable[] = "unwritable";
}  // namespace trouble
// The states of an open transaction, as `qelhost pending --json` names them.
namespace state {
constexpr char kInterrupted[] = "interrupted";  // the process ended during the transfer
constexpr char kInDoubt[] = "in-doubt";
constexpr char kNotPrinted[] = "not-printed";  // booked, tickets not printed
}  // namespace state
}  // namespace journal

// qelhost's exit codes, the same for every command, so that a site can
// script a test sale; each says what happened to the money.
namespace qelhost {
// Every export called returned 0 (check: every step passed).
// Also when the operator confirmed that the cash register had booked an
// earlier attempt and the transaction was completed without a transfer.
constexpr int kExitRan = 0;
// The sale or refund was not completed and nothing was booked: declined,
// refused, or failed before the whole order went out (check: a step failed;
// trace: no trace in the folder).
constexpr int kExitFailed = 1;
// A wrong command line, or an order file or working folder that cannot be
// used.
constexpr int kExitUsage = 2;
// The library cannot be loaded.
constexpr int kExitNoLibrary = 3;
// The sale or refund failed after the whole order may have reached the cash
// register: it may be booked, and its receipt must be checked there before
// it is sold again. Also when the operator cancelled at the question about
// such a receipt, which stays open.
constexpr int kExitInDoubt = 4;
// The sale was booked and the operator declined to print its tickets: it
// must not be sold again. Also when the operator cancelled at the question
// about such a receipt.
constexpr int kExitNotPrinted = 5;
}  // namespace qelhost

}  // namespace qel
