// Looking up, appending and compacting QelConnect.journal through the
// library's one policy for its files: the writers' lock with its bounded
// wait, the whole-or-nothing append and rewrite.
#include "host/transaction_journal.h"

#include <limits>
#include <string>

#include "host/trace_schema.h"
#include "platform/platform.h"

namespace qel {

std::optional<EarlierAttempt> TransactionJournal::earlierAttempt(TransactionKind kind, std::int32_t receipt) noexcept {
  std::optional<EarlierAttempt> earlier;
  bool read = false;
  try {
    const std::int64_t now = platform::utcMilliseconds();
    // One open and one lock for the look-up and the compaction, which
    // rewrites the journal only when that makes it smaller.
    platform::replaceRecords(
        journal::kFileName, kJournalReadLimit, [&](std::string_view text, std::string& replacement) {
          read = true;
          if (const std::optional<OpenTransaction> open = openTransaction(text, now, kind, receipt)) {
            earlier = EarlierAttempt{open->state, open->line.timeMs};
          }
          if (text.size() <= kJournalCompactBytes) return false;
          replacement = compactJournal(text, now);
          return replacement.size() < text.size();
        });
  } catch (...) {
    // No memory for the journal: read as far as it got.
  }
  // A compaction that failed leaves the journal as it was, and the look-up
  // holds.
  if (!read) trouble_ = journal::trouble::kUnreadable;
  return earlier;
}

void TransactionJournal::append(std::string_view line) noexcept {
  // The journal is never renamed: compaction keeps it small.
  const platform::FileWriteResult written =
      platform::appendRecord(journal::kFileName, line, std::numeric_limits<std::uint64_t>::max(), journal::kFileName);
  if (!written) trouble_ = journal::trouble::kUnwritable;
}

}  // namespace qel
