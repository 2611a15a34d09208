// What the journal of transactions says: which receipts may be booked at the
// cash register without the box office knowing, worked out from the
// journal's lines alone, so that the library and the tools that list them
// come to the same answer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/transaction_kind.h"

namespace qel {

// Open transactions older than this are forgotten.
constexpr std::int64_t kJournalKeepMs = std::int64_t{30} * 24 * 60 * 60 * 1000;

// How an open transaction stands.
enum class OpenState {
  Interrupted,  // its request was going out when the process ended
  InDoubt,      // it failed after the whole request may have gone out
  NotPrinted,   // booked, but the tickets were not printed
};

// What a journal line says, as far as the journal needs it.
struct JournalLine {
  std::string time;  // ISO 8601, UTC, as written
  std::int64_t timeMs = 0;
  std::string id;
  TransactionKind kind = TransactionKind::Sale;
  std::int32_t receipt = 0;
  double total = 0.0;
  std::string outcome;
};

// The line's fields; nullopt for a line that lacks one of them or is cut.
std::optional<JournalLine> readJournalLine(std::string_view line);

// The open state of `outcome`; nullopt when it closes its transaction.
std::optional<OpenState> openStateOf(std::string_view outcome);

struct OpenTransaction {
  JournalLine line;
  OpenState state;
  std::string_view text;  // the line as it stands in the journal, without its line end
};

// The open transactions of the journal `text` at `nowMs`, one per kind and
// receipt, in the order of their latest lines. The latest line of a kind and
// receipt decides; a refund booked (or confirmed booked) also closes the
// sale of its receipt. Lines older than kJournalKeepMs and lines that cannot
// be read count for nothing. The views point into `text`.
std::vector<OpenTransaction> openTransactions(std::string_view text, std::int64_t nowMs);

// The open transaction of `kind` and `receipt`, if there is one.
std::optional<OpenTransaction> openTransaction(std::string_view text, std::int64_t nowMs, TransactionKind kind,
                                               std::int32_t receipt);

// The journal with only the latest line of each open transaction, each
// ending in "\n".
std::string compactJournal(std::string_view text, std::int64_t nowMs);

}  // namespace qel
