// The journal of open transactions, QelConnect.journal in the working
// folder: always on, one line before a sale's or refund's request goes out
// and one once its end is known, so that a receipt the cash register may
// have booked is known at the next attempt, after a crash too. It keeps
// only what is open: closed transactions are compacted away. hrECInit
// leaves it alone. A journal that cannot be used stops nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "host/journal_state.h"
#include "host/transaction_kind.h"

namespace qel {

// A journal larger than this is compacted when it is next looked up, if
// that makes it smaller.
constexpr std::size_t kJournalCompactBytes = std::size_t{16} << 10;
// A journal larger than this is not read at all (it cannot be the
// library's: compaction keeps it far smaller).
constexpr std::size_t kJournalReadLimit = std::size_t{4} << 20;

// The earlier attempt of a receipt that is still open.
struct EarlierAttempt {
  OpenState state;
  std::int64_t timeMs;  // when it began, ms since 1970, UTC
};

class TransactionJournal {
 public:
  // The open transaction of `kind` and `receipt`, if the journal holds one;
  // compacts the journal when it has grown past kJournalCompactBytes. A
  // journal that cannot be read holds none, and trouble() says so.
  std::optional<EarlierAttempt> earlierAttempt(TransactionKind kind, std::int32_t receipt) noexcept;
  // Appends one line (ending in "\n") whole or not at all; a line that
  // cannot be written is noted in trouble().
  void append(std::string_view line) noexcept;

  // One of trace's journal::trouble names, or null while the journal works.
  const char* trouble() const { return trouble_; }

 private:
  const char* trouble_ = nullptr;
};

}  // namespace qel
