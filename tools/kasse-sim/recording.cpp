// Log lines and recorded requests of kasse-sim.
#include "tools/kasse-sim/recording.h"

#include <strings.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>

namespace qel::sim {
namespace {

std::string timestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

}  // namespace

std::string logLinePrefix(const httplib::Request& request) {
  return timestamp() + ' ' + request.method + ' ' + request.path + ' ' + std::to_string(request.body.size()) +
         " bytes -> ";
}

std::string recordStem(unsigned long number) {
  char stem[32];
  std::snprintf(stem, sizeof stem, "%06lu", number);
  return stem;
}

void recordRequestFiles(const std::filesystem::path& dir, const std::string& stem, const httplib::Request& request,
                        const std::function<std::string(const std::string&, const std::string&)>& shownValue) {
  std::ostringstream headers;
  headers << request.method << ' ' << request.target << ' ' << request.version << "\r\n";
  for (const auto& [name, value] : request.headers) {
    if (isPeerAddressEntry(name)) continue;
    headers << name << ": " << shownValue(name, value) << "\r\n";
  }
  writeFile(dir / (stem + "-headers.txt"), headers.str());
  writeFile(dir / (stem + "-body.xml"), request.body);
}

bool isPeerAddressEntry(const std::string& name) {
  for (const char* entry : {"REMOTE_ADDR", "REMOTE_PORT", "LOCAL_ADDR", "LOCAL_PORT"}) {
    if (strcasecmp(name.c_str(), entry) == 0) return true;
  }
  return false;
}

void writeFile(const std::filesystem::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary);
  out << content;
}

}  // namespace qel::sim
