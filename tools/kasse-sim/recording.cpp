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

const char kMaskedCredentials[] = "***";

bool sameName(const std::string& name, const char* other) { return strcasecmp(name.c_str(), other) == 0; }

// Every "name=value" pair of a cookie header with its value masked; with
// `firstOnly` (Set-Cookie) only the cookie itself, not its attributes.
std::string maskedCookies(const std::string& value, bool firstOnly) {
  std::string masked;
  std::size_t start = 0;
  for (bool first = true;; first = false) {
    const std::size_t end = value.find(';', start);
    const std::string pair = value.substr(start, end == std::string::npos ? std::string::npos : end - start);
    const std::size_t equals = pair.find('=');
    masked +=
        (first || !firstOnly) && equals != std::string::npos ? pair.substr(0, equals + 1) + kMaskedCredentials : pair;
    if (end == std::string::npos) return masked;
    masked += ';';
    start = end + 1;
  }
}

}  // namespace

// Credentials never reach the record: the scheme stays, so that support can
// see that they were sent and how. A session cookie can stand in for the
// login, so cookies keep only their names.
std::string maskedHeaderValue(const std::string& name, const std::string& value) {
  if (sameName(name, "Cookie")) return maskedCookies(value, false);
  if (sameName(name, "Set-Cookie")) return maskedCookies(value, true);
  if (!sameName(name, "Authorization") && !sameName(name, "Proxy-Authorization")) return value;
  const std::size_t space = value.find(' ');
  if (space == std::string::npos) return kMaskedCredentials;
  return value.substr(0, space + 1) + kMaskedCredentials;
}

std::string logLinePrefix(const httplib::Request& request) {
  return timestamp() + ' ' + request.method + ' ' + request.path + ' ' + std::to_string(request.body.size()) +
         " bytes -> ";
}

std::string recordStem(unsigned long number) {
  char stem[32];
  std::snprintf(stem, sizeof stem, "%06lu", number);
  return stem;
}

void recordRequestFiles(const std::filesystem::path& dir, const std::string& stem, const httplib::Request& request) {
  std::ostringstream headers;
  headers << request.method << ' ' << request.target << ' ' << request.version << "\r\n";
  for (const auto& [name, value] : request.headers) {
    if (isPeerAddressEntry(name)) continue;
    headers << name << ": " << maskedHeaderValue(name, value) << "\r\n";
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
