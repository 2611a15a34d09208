// Parsing the run's files and qelhost's reports; lines that are not whole
// JSON objects (a line cut by a killed process) are skipped.
#include "harness/reconcile/evidence.h"

#include <fstream>
#include <limits>
#include <sstream>

#include <nlohmann/json.hpp>

#include "host/operator_dialogs.h"
#include "host/trace_schema.h"
#include "platform/platform.h"

namespace qel::reconcile {
namespace {

template <typename Visit>
void forEachLine(std::istream& in, Visit visit) {
  std::string line;
  while (std::getline(in, line)) {
    const nlohmann::json entry = nlohmann::json::parse(line, nullptr, false);
    if (entry.is_object()) visit(entry);
  }
}

template <typename Visit>
void forEachObject(const std::string& path, Visit visit) {
  std::ifstream in(path, std::ios::binary);
  forEachLine(in, visit);
}

// The string `key` of `entry`; empty when it is missing or no string.
std::string textOf(const nlohmann::json& entry, const char* key) {
  const auto it = entry.find(key);
  return it != entry.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// The integer receipt of `entry`, if it has one.
bool receiptOf(const nlohmann::json& entry, std::int64_t& receipt) {
  const auto it = entry.find(trace::key::kReceipt);
  if (it == entry.end() || !it->is_number_integer()) return false;
  receipt = it->get<std::int64_t>();
  return true;
}

// Whether a box's text ends with the paragraph that the library writes for
// a possible booking of `t`: the library's own words for t's kind and
// receipt, so that this check cannot drift from what the box office shows.
bool endsWithOwnParagraph(const std::wstring& text, const Transaction& t) {
  if (t.receipt < std::numeric_limits<std::int32_t>::min() || t.receipt > std::numeric_limits<std::int32_t>::max()) {
    return false;
  }
  const PossibleBooking booking{t.refund ? TransactionKind::Refund : TransactionKind::Sale,
                                static_cast<std::int32_t>(t.receipt)};
  const std::wstring paragraph = transferErrorText(L"", booking);
  return text.size() >= paragraph.size() &&
         text.compare(text.size() - paragraph.size(), paragraph.size(), paragraph) == 0;
}

}  // namespace

std::map<std::int64_t, int> readLedger(const std::string& path) {
  std::map<std::int64_t, int> booked;
  forEachObject(path, [&](const nlohmann::json& entry) { ++booked[entry.value("receipt", std::int64_t{-1})]; });
  return booked;
}

void readProxyLog(const std::string& log, std::map<std::string, int>& faults,
                  std::map<std::int64_t, std::string>& faultOf) {
  forEachObject(log, [&](const nlohmann::json& entry) {
    const std::string fault = entry.value("fault", std::string("?"));
    ++faults[fault];
    std::int64_t receipt = 0;
    if (receiptOf(entry, receipt)) faultOf[receipt] = fault;
  });
}

std::set<std::int64_t> receiptsListed(const std::string& jsonLines) {
  std::set<std::int64_t> receipts;
  std::istringstream in(jsonLines);
  forEachLine(in, [&](const nlohmann::json& entry) {
    std::int64_t receipt = 0;
    if (receiptOf(entry, receipt)) receipts.insert(receipt);
  });
  return receipts;
}

bool readHostReport(const std::string& output, Transaction& t) {
  const nlohmann::json report = nlohmann::json::parse(output, nullptr, false);
  if (!report.is_object()) return false;
  HostView& host = t.host;
  host.reported = true;
  host.outcome = textOf(report, "outcome");
  host.paragraph = Paragraph::None;
  const auto dialogs = report.find("dialogs");
  if (dialogs == report.end() || !dialogs->is_array()) return true;
  for (const nlohmann::json& box : *dialogs) {
    if (!box.is_object()) continue;
    const std::wstring text = platform::utf8ToWide(textOf(box, "text"));
    if (!saysPossiblyBooked(text)) continue;
    host.paragraph = endsWithOwnParagraph(text, t) ? Paragraph::OwnReceipt : Paragraph::OtherReceipt;
  }
  return true;
}

std::map<std::int64_t, TraceView> readTraceListing(const std::string& lines) {
  std::map<std::int64_t, TraceView> views;
  std::istringstream in(lines);
  forEachLine(in, [&](const nlohmann::json& entry) {
    std::int64_t receipt = 0;
    if (!receiptOf(entry, receipt)) return;
    TraceView& view = views[receipt];
    const std::string outcome = textOf(entry, trace::key::kOutcome);
    if (outcome == trace::outcome::kSending) {
      view.sendingAlone = true;
    } else {
      view.outcome = outcome;
    }
  });
  return views;
}

}  // namespace qel::reconcile
