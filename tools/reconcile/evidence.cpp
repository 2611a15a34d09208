// Parsing the run's files; lines that are not whole JSON objects (a line
// cut by a killed process) are skipped.
#include "tools/reconcile/evidence.h"

#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

namespace qel::reconcile {
namespace {

template <typename Visit>
void forEachObject(const std::string& path, Visit visit) {
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    const nlohmann::json entry = nlohmann::json::parse(line, nullptr, false);
    if (entry.is_object()) visit(entry);
  }
}

// The string `key` of `entry`; empty when it is missing or no string.
std::string textOf(const nlohmann::json& entry, const char* key) {
  const auto it = entry.find(key);
  return it != entry.end() && it->is_string() ? it->get<std::string>() : std::string();
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
    if (entry.contains("receipt") && entry["receipt"].is_number_integer()) {
      faultOf[entry["receipt"].get<std::int64_t>()] = fault;
    }
  });
}

std::map<std::int64_t, TraceView> readTrace(const std::vector<std::string>& traceFiles) {
  std::map<std::int64_t, TraceView> views;
  std::map<std::int64_t, std::set<std::string>> sending;  // ids of `sending` lines
  std::map<std::int64_t, std::set<std::string>> ended;    // ids of outcome lines
  for (const std::string& file : traceFiles) {
    forEachObject(file, [&](const nlohmann::json& entry) {
      if (!entry.contains("receipt") || !entry["receipt"].is_number_integer()) return;
      const std::int64_t receipt = entry["receipt"].get<std::int64_t>();
      const std::string outcome = entry.value("outcome", std::string());
      const std::string id = entry.value("id", std::string());
      if (outcome == "sending") {
        sending[receipt].insert(id);
      } else {
        views[receipt].outcome = outcome;
        ended[receipt].insert(id);
      }
    });
  }
  for (const auto& [receipt, ids] : sending) {
    for (const std::string& id : ids) {
      if (!ended[receipt].count(id)) views[receipt].sendingAlone = true;
    }
  }
  return views;
}

std::optional<std::int64_t> receiptInDoubt(const std::string& shown) {
  static const std::string kStart = "Die Kasse hat ";
  static const std::string kEnd = " m\xC3\xB6glicherweise schon gebucht";
  const std::size_t end = shown.find(kEnd);
  if (end == std::string::npos) return std::nullopt;
  const std::size_t start = shown.rfind(kStart, end);
  const std::size_t beleg = shown.rfind("Beleg ", end);
  if (start == std::string::npos || beleg == std::string::npos || beleg < start) return -1;
  const std::string digits = shown.substr(beleg + 6, end - beleg - 6);
  if (digits.empty() || digits.size() > 18 || digits.find_first_not_of("0123456789") != std::string::npos) return -1;
  return std::stoll(digits);
}

std::set<std::int64_t> receiptsListed(const std::string& table) {
  std::set<std::int64_t> receipts;
  std::istringstream in(table);
  std::string line;
  std::getline(in, line);  // the heading
  while (std::getline(in, line)) {
    std::istringstream row(line);
    std::string time, kind;
    std::int64_t receipt = 0;
    if (row >> time >> kind >> receipt) receipts.insert(receipt);
  }
  return receipts;
}

bool readHostReport(const std::string& output, HostView& host) {
  const std::size_t end = output.find_last_not_of('\n');
  if (end == std::string::npos) return false;
  const std::size_t start = output.rfind('\n', end);
  const nlohmann::json report =
      nlohmann::json::parse(output.substr(start == std::string::npos ? 0 : start + 1), nullptr, false);
  if (!report.is_object()) return false;
  host.outcome = textOf(report, "outcome");
  const auto dialogs = report.find("dialogs");
  if (dialogs == report.end() || !dialogs->is_array()) return true;
  for (const nlohmann::json& box : *dialogs) {
    if (!box.is_object()) continue;
    if (const auto receipt = receiptInDoubt(textOf(box, "text"))) host.doubtReceipt = receipt;
  }
  return true;
}

std::map<std::int64_t, TraceView> readTraceListing(const std::string& lines) {
  std::map<std::int64_t, TraceView> views;
  std::istringstream in(lines);
  std::string line;
  while (std::getline(in, line)) {
    const nlohmann::json entry = nlohmann::json::parse(line, nullptr, false);
    if (!entry.is_object() || !entry.contains("receipt") || !entry["receipt"].is_number_integer()) continue;
    TraceView& view = views[entry["receipt"].get<std::int64_t>()];
    const std::string outcome = textOf(entry, "outcome");
    if (outcome == "sending") {
      view.sendingAlone = true;
    } else {
      view.outcome = outcome;
    }
  }
  return views;
}

}  // namespace qel::reconcile
