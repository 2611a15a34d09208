// Where the kasse-sim fixture (tls_fixture.sh, started by CTest) left its
// servers and its test certificates, as the test process sees them.
#pragma once

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

namespace qel::test {

class KasseSimFixture {
 public:
  // The fixture named by QEL_KASSE_SIM_DIR; nullopt when the tests run
  // outside CTest, which starts the servers.
  static std::optional<KasseSimFixture> fromEnvironment() {
    const char* dir = std::getenv("QEL_KASSE_SIM_DIR");
    if (dir == nullptr || *dir == '\0') return std::nullopt;
    return KasseSimFixture(dir);
  }

  // The URL of server `name` (trusted, wrongname, untrusted, plain).
  std::wstring url(const std::string& name) const {
    const std::string scheme = name == "plain" ? "http" : "https";
    return widen(scheme + "://localhost:" + port(name) + "/sap/bc/srt/kasse");
  }

  // A file of the fixture, for example "ca.pem".
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  std::wstring widePath(const std::string& name) const { return widen(path(name)); }

 private:
  explicit KasseSimFixture(std::string dir) : dir_(std::move(dir)) {}

  std::string port(const std::string& name) const {
    std::ifstream in(path(name + ".port"));
    std::string port;
    std::getline(in, port);
    return port;
  }

  // Paths and URLs here are ASCII.
  static std::wstring widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

  std::string dir_;
};

}  // namespace qel::test
