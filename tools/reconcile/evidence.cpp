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

std::set<std::int64_t> receiptsListed(const std::string& jsonLines) {
  std::set<std::int64_t> receipts;
  std::istringstream in(jsonLines);
  std::string line;
  while (std::getline(in, line)) {
    const nlohmann::json entry = nlohmann::json::parse(line, nullptr, false);
    if (!entry.is_object()) continue;
    const auto receipt = entry.find("receipt");
    if (receipt != entry.end() && receipt->is_number_integer()) receipts.insert(receipt->get<std::int64_t>());
  }
  return receipts;
}

}  // namespace qel::reconcile
