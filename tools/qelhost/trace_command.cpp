// Reading the trace files line by line: every line that is a JSON object is
// an entry; a line cut off by a crash or edited by hand is skipped.
#include "tools/qelhost/trace_command.h"

#include <deque>
#include <iomanip>
#include <optional>
#include <sstream>
#include <string>
#include <unordered_set>

#include <nlohmann/json.hpp>

#include "base/utc_time.h"
#include "host/trace_schema.h"
#include "platform/platform.h"
#include "tools/qelhost/local_time.h"
#include "tools/qelhost/visible_text.h"

namespace qel::qelhost {
namespace {

// A message longer than this is shown up to here, followed by "...".
constexpr std::size_t kShownMessage = 60;
// An entry is two levels deep; a line nested deeper is none of ours and is
// skipped like any unreadable line, before a value of it is built, so that
// nothing takes it apart or prints it by recursion.
constexpr int kDeepestEntry = 16;
// A trace file is read whole; one larger than this is taken as missing.
constexpr std::size_t kMaxTraceFileBytes = std::size_t{256} << 20;

// The value on `line`: discarded when the line is no JSON or is nested
// deeper than kDeepestEntry.
nlohmann::json parseLine(const std::string& line) {
  bool tooDeep = false;
  nlohmann::json value = nlohmann::json::parse(
      line,
      [&tooDeep](int depth, nlohmann::json::parse_event_t, nlohmann::json&) {
        tooDeep = tooDeep || depth > kDeepestEntry;
        return !tooDeep;
      },
      false);
  if (tooDeep) return nlohmann::json::value_t::discarded;
  return value;
}

std::string textOf(const nlohmann::json& entry, const char* key) {
  const auto it = entry.find(key);
  if (it == entry.end()) return "";
  if (it->is_string()) return it->get<std::string>();
  if (it->is_number_float()) {
    std::ostringstream out;
    out << std::fixed << std::setprecision(2) << it->get<double>();
    return out.str();
  }
  return it->dump();
}

// The first line of the message, shortened for the table; the bytes are
// UTF-8 and are cut only at a character's start.
std::string shortMessage(std::string message) {
  const std::size_t lineEnd = message.find_first_of("\r\n");
  bool shortened = lineEnd != std::string::npos;
  if (shortened) message.resize(lineEnd);
  if (message.size() > kShownMessage) {
    std::size_t cut = kShownMessage;
    while (cut > 0 && (static_cast<unsigned char>(message[cut]) & 0xC0) == 0x80) --cut;
    message.resize(cut);
    shortened = true;
  }
  return shortened ? message + "..." : message;
}

// What the table says of a transaction whose "sending" line no line of its
// own followed: it may have reached the cash register, and nothing more is
// known (the process may have ended, or its trace may have become
// unwritable).
constexpr char kNoOutcome[] = "No outcome line was written.";

namespace key = trace::key;
namespace outcome = trace::outcome;

using Ids = std::unordered_set<std::string>;

// Calls `each` with every entry of `content`, oldest first.
template <typename Each>
void forEachEntry(const std::string& content, Each&& each) {
  std::istringstream in(content);
  std::string line;
  while (std::getline(in, line)) {
    nlohmann::json entry = parseLine(line);
    if (entry.is_object()) each(entry);
  }
}

// The ids of the transactions whose end was recorded.
void collectEnded(const std::string& content, Ids& ended) {
  forEachEntry(content, [&](const nlohmann::json& entry) {
    const std::string id = textOf(entry, key::kId);
    if (!id.empty() && textOf(entry, key::kOutcome) != outcome::kSending) ended.insert(id);
  });
}

// Adds the entries of `content` to `entries`, keeping at most `keep` of the
// newest when `keep` is not 0. A transaction shows once: its "sending" line
// is left out once its end is recorded, and stands for it, in doubt, when it
// is not.
void readEntries(const std::string& content, const TraceQuery& query, const Ids& ended,
                 std::deque<nlohmann::json>& entries) {
  forEachEntry(content, [&](nlohmann::json& entry) {
    const std::string outcomeName = textOf(entry, key::kOutcome);
    const bool unended = outcomeName == outcome::kSending;
    if (unended && ended.count(textOf(entry, key::kId)) != 0) return;
    if (query.inDoubtOnly && !unended && outcomeName != outcome::kInDoubt) return;
    if (query.timeBounded()) {
      const std::optional<std::int64_t> time = parseIsoUtc(textOf(entry, key::kTime));
      if (!time || *time < query.sinceMs || *time >= query.untilMs) return;
    }
    entries.push_back(std::move(entry));
    if (query.last != 0 && entries.size() > query.last) entries.pop_front();
  });
}

// The entries of both files, oldest first, one per transaction. False when
// there is no trace to read; `err` says so.
bool readTrace(const TraceQuery& query, std::deque<nlohmann::json>& entries, std::ostream& err) {
  // Both files at once under the writers' lock, so that a rotation between
  // them cannot make a transaction's outcome look lost.
  const platform::RecordFiles files =
      platform::readRecordFiles(trace::kFileName, trace::kPreviousFileName, kMaxTraceFileBytes);
  Ids ended;
  collectEnded(files.previous, ended);
  collectEnded(files.current, ended);
  readEntries(files.previous, query, ended, entries);
  readEntries(files.current, query, ended, entries);
  if (files.currentStatus != platform::FileRead::Ok && entries.empty()) {
    err << "No " << trace::kFileName << " in this folder. The trace is written only when QelConnect.xml holds\n"
        << "<diagnostics><trace>1</trace></diagnostics>.\n";
    return false;
  }
  return true;
}

// The value of `name` in `entry` when it is of the kind `is` accepts, else
// null.
template <typename Is>
nlohmann::json valueOf(const nlohmann::json& entry, const char* name, Is&& is) {
  const auto it = entry.find(name);
  return it != entry.end() && is(*it) ? *it : nlohmann::json(nullptr);
}

// One row of the table, without blanks at its end; control characters in
// the values are shown escaped.
void printRow(std::ostream& out, const std::string& time, const std::string& localTime, const std::string& kind,
              const std::string& receipt, const std::string& total, const std::string& outcome,
              const std::string& message) {
  std::ostringstream row;
  row << std::left << std::setw(25) << visibleText(time) << std::setw(21) << localTime << std::setw(7)
      << visibleText(kind) << std::right << std::setw(10) << visibleText(receipt) << std::setw(11) << visibleText(total)
      << "  " << std::left << std::setw(21) << visibleText(outcome) << visibleText(message);
  std::string text = row.str();
  text.erase(text.find_last_not_of(' ') + 1);
  out << text << "\n";
}

}  // namespace

bool printTrace(const TraceQuery& query, std::ostream& out, std::ostream& err) {
  std::deque<nlohmann::json> entries;
  if (!readTrace(query, entries, err)) return false;
  printRow(out, "time (UTC)", "local time", "kind", "receipt", "total", "outcome", "message");
  for (const nlohmann::json& entry : entries) {
    const bool unended = textOf(entry, key::kOutcome) == outcome::kSending;
    const std::optional<std::int64_t> time = parseIsoUtc(textOf(entry, key::kTime));
    printRow(out, textOf(entry, key::kTime), time ? localTimeText(*time) : "", textOf(entry, key::kKind),
             textOf(entry, key::kReceipt), textOf(entry, key::kTotal),
             unended ? outcome::kInDoubt : textOf(entry, key::kOutcome),
             unended ? kNoOutcome : shortMessage(textOf(entry, key::kMessage)));
  }
  return true;
}

bool printTraceJson(const TraceQuery& query, std::ostream& out, std::ostream& err) {
  std::deque<nlohmann::json> entries;
  if (!readTrace(query, entries, err)) return false;
  const auto isString = [](const nlohmann::json& v) { return v.is_string(); };
  const auto isInteger = [](const nlohmann::json& v) { return v.is_number_integer(); };
  for (const nlohmann::json& entry : entries) {
    const nlohmann::json object = {
        {key::kId, valueOf(entry, key::kId, isString)},
        {key::kKind, valueOf(entry, key::kKind, isString)},
        {key::kReceipt, valueOf(entry, key::kReceipt, isInteger)},
        {key::kOutcome, valueOf(entry, key::kOutcome, isString)},
        {key::kTime, valueOf(entry, key::kTime, isString)},
        {key::kHttpStatus, valueOf(entry, key::kHttpStatus, isInteger)},
        {key::kMessage, valueOf(entry, key::kMessage, isString)},
    };
    out << object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  }
  return true;
}

}  // namespace qel::qelhost
