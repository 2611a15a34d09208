// The journal's lines read back, and the open transactions they leave.
//
// The lines are the library's own: flat JSON objects written by
// formatTraceLine. Inside a JSON string every quote is escaped, so the text
// '"key":' with its quotes bare can only be the key itself, and a few
// fields can be found without a JSON parser.
#include "host/journal_state.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <utility>

#include "base/utc_time.h"
#include "host/trace_schema.h"

namespace qel {
namespace {

// The text of the value of `key`: a string's characters between its quotes
// (the journal's own fields hold no escapes), or a number's characters.
std::optional<std::string_view> valueOf(std::string_view line, std::string_view key) {
  std::string pattern;
  pattern.append(1, '"').append(key).append("\":");
  const std::size_t at = line.find(pattern);
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view rest = line.substr(at + pattern.size());
  if (!rest.empty() && rest.front() == '"') {
    rest.remove_prefix(1);
    const std::size_t end = rest.find('"');
    if (end == std::string_view::npos) return std::nullopt;
    return rest.substr(0, end);
  }
  const std::size_t end = rest.find_first_of(",}");
  if (end == std::string_view::npos || end == 0) return std::nullopt;
  return rest.substr(0, end);
}

template <typename Number>
bool readNumber(std::string_view text, Number& value) {
  const char* end = text.data() + text.size();
  const std::from_chars_result result = std::from_chars(text.data(), end, value);
  return result.ec == std::errc() && result.ptr == end;
}

std::optional<TransactionKind> kindOf(std::string_view text) {
  if (text == trace::kSale) return TransactionKind::Sale;
  if (text == trace::kRefund) return TransactionKind::Refund;
  return std::nullopt;
}

bool booksTheRefund(std::string_view outcome) {
  return outcome == trace::outcome::kAccepted || outcome == trace::outcome::kOperatorConfirmed;
}

// Calls `each` with every line of `text` (without its line end) and what it says.
template <typename Each>
void forEachLine(std::string_view text, Each each) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (std::optional<JournalLine> read = readJournalLine(line)) each(line, std::move(*read));
  }
}

}  // namespace

std::optional<JournalLine> readJournalLine(std::string_view line) {
  // Only a whole line counts: one cut by a crash ends before its brace.
  if (line.empty() || line.front() != '{' || line.back() != '}') return std::nullopt;
  const auto time = valueOf(line, trace::key::kTime);
  const auto id = valueOf(line, trace::key::kId);
  const auto kind = valueOf(line, trace::key::kKind);
  const auto receipt = valueOf(line, trace::key::kReceipt);
  const auto total = valueOf(line, trace::key::kTotal);
  const auto outcome = valueOf(line, trace::key::kOutcome);
  if (!time || !id || !kind || !receipt || !total || !outcome) return std::nullopt;
  JournalLine read;
  const std::optional<std::int64_t> timeMs = parseIsoUtc(*time);
  const std::optional<TransactionKind> readKind = kindOf(*kind);
  if (!timeMs || !readKind || !readNumber(*receipt, read.receipt)) return std::nullopt;
  // A total that is no number (the trace writes null for one) is shown as 0.
  if (!readNumber(*total, read.total)) read.total = 0.0;
  read.time = std::string(*time);
  read.timeMs = *timeMs;
  read.id = std::string(*id);
  read.kind = *readKind;
  read.outcome = std::string(*outcome);
  return read;
}

std::optional<OpenState> openStateOf(std::string_view outcome) {
  namespace names = trace::outcome;
  if (outcome == names::kSending) return OpenState::Interrupted;
  if (outcome == names::kInDoubt) return OpenState::InDoubt;
  if (outcome == names::kAcceptedNotPrinted || outcome == names::kOperatorConfirmedNotPrinted) {
    return OpenState::NotPrinted;
  }
  return std::nullopt;
}

std::vector<OpenTransaction> openTransactions(std::string_view text, std::int64_t nowMs) {
  // Per kind and receipt the latest open line, numbered in the order seen.
  std::map<std::pair<TransactionKind, std::int32_t>, std::pair<std::size_t, OpenTransaction>> open;
  std::size_t count = 0;
  forEachLine(text, [&](std::string_view lineText, JournalLine line) {
    const auto key = std::make_pair(line.kind, line.receipt);
    if (line.kind == TransactionKind::Refund && booksTheRefund(line.outcome)) {
      open.erase({TransactionKind::Sale, line.receipt});
    }
    const std::optional<OpenState> state = openStateOf(line.outcome);
    if (!state || line.timeMs < nowMs - kJournalKeepMs) {
      open.erase(key);
      return;
    }
    open.insert_or_assign(key, std::make_pair(count++, OpenTransaction{std::move(line), *state, lineText}));
  });
  std::vector<std::pair<std::size_t, OpenTransaction>> ordered;
  ordered.reserve(open.size());
  for (auto& entry : open) ordered.push_back(std::move(entry.second));
  std::sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<OpenTransaction> result;
  result.reserve(ordered.size());
  for (auto& entry : ordered) result.push_back(std::move(entry.second));
  return result;
}

namespace {

// Whether some line of `text` may name `receipt`: most journals hold no line
// of the receipt being sold, which this tells without reading every line.
bool mentionsReceipt(std::string_view text, std::int32_t receipt) {
  const std::string key = std::string("\"") + trace::key::kReceipt + "\":" + std::to_string(receipt);
  for (std::size_t at = text.find(key); at != std::string_view::npos; at = text.find(key, at + 1)) {
    const std::size_t next = at + key.size();
    if (next < text.size() && (text[next] == ',' || text[next] == '}')) return true;
  }
  return false;
}

}  // namespace

std::optional<OpenTransaction> openTransaction(std::string_view text, std::int64_t nowMs, TransactionKind kind,
                                               std::int32_t receipt) {
  if (!mentionsReceipt(text, receipt)) return std::nullopt;
  for (OpenTransaction& open : openTransactions(text, nowMs)) {
    if (open.line.kind == kind && open.line.receipt == receipt) return std::move(open);
  }
  return std::nullopt;
}

std::string compactJournal(std::string_view text, std::int64_t nowMs) {
  std::string compacted;
  for (const OpenTransaction& open : openTransactions(text, nowMs)) compacted.append(open.text).append(1, '\n');
  return compacted;
}

}  // namespace qel
