// Reading the trace files line by line: every line that is a JSON object is
// an entry; a line cut off by a crash or edited by hand is skipped.
#include "tools/qelhost/trace_command.h"

#include <deque>
#include <fstream>
#include <iomanip>
#include <optional>
#include <sstream>
#include <string>
#include <unordered_set>

#include <nlohmann/json.hpp>

#include "host/transaction_trace.h"
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

// What a "sending" line stands for when no line of the same transaction
// followed it.
constexpr char kNoOutcome[] = "No outcome recorded: the process ended during the transfer.";

using Ids = std::unordered_set<std::string>;

// Calls `each` with every entry of `name`, oldest first. False when the file
// cannot be opened.
template <typename Each>
bool forEachEntry(const char* name, Each&& each) {
  std::ifstream in(name, std::ios::binary);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    nlohmann::json entry = parseLine(line);
    if (entry.is_object()) each(entry);
  }
  return true;
}

// The ids of the transactions whose end was recorded.
void collectEnded(const char* name, Ids& ended) {
  forEachEntry(name, [&](const nlohmann::json& entry) {
    const std::string id = textOf(entry, "id");
    if (!id.empty() && textOf(entry, "outcome") != kSendingOutcome) ended.insert(id);
  });
}

// Reads `name` into `entries`, keeping at most `keep` of the newest when
// `keep` is not 0. A transaction shows once: its "sending" line is left out
// once its end is recorded, and stands for it, in doubt, when it is not.
// False when the file cannot be opened.
bool readEntries(const char* name, const TraceQuery& query, const Ids& ended, std::deque<nlohmann::json>& entries) {
  return forEachEntry(name, [&](nlohmann::json& entry) {
    if (textOf(entry, "outcome") == kSendingOutcome) {
      if (ended.count(textOf(entry, "id")) != 0) return;
      entry["outcome"] = "in-doubt";
      entry["message"] = kNoOutcome;
    }
    if (query.inDoubtOnly && textOf(entry, "outcome") != "in-doubt") return;
    if (query.timeBounded()) {
      const std::optional<std::int64_t> time = parseIsoUtc(textOf(entry, "time"));
      if (!time || *time < query.sinceMs || *time >= query.untilMs) return;
    }
    entries.push_back(std::move(entry));
    if (query.last != 0 && entries.size() > query.last) entries.pop_front();
  });
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
  Ids ended;
  collectEnded(kPreviousTraceFileName, ended);
  collectEnded(kTraceFileName, ended);
  std::deque<nlohmann::json> entries;
  readEntries(kPreviousTraceFileName, query, ended, entries);
  if (!readEntries(kTraceFileName, query, ended, entries) && entries.empty()) {
    err << "No " << kTraceFileName << " in this folder. The trace is written only when QelConnect.xml holds\n"
        << "<diagnostics><trace>1</trace></diagnostics>.\n";
    return false;
  }
  printRow(out, "time (UTC)", "local time", "kind", "receipt", "total", "outcome", "message");
  for (const nlohmann::json& entry : entries) {
    const std::optional<std::int64_t> time = parseIsoUtc(textOf(entry, "time"));
    printRow(out, textOf(entry, "time"), time ? localTimeText(*time) : "", textOf(entry, "kind"),
             textOf(entry, "receipt"), textOf(entry, "total"), textOf(entry, "outcome"),
             shortMessage(textOf(entry, "message")));
  }
  return true;
}

}  // namespace qel::qelhost
