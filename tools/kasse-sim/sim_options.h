// kasse-sim's command line.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

namespace qel::sim {

struct SimOptions {
  int port = -1;  // 0 picks a free port
  std::optional<std::string> certFile;
  std::optional<std::string> keyFile;
  std::optional<std::string> user;
  std::optional<std::string> password;
  int rect = 0;
  std::string rectmsg;  // UTF-8
  std::string prefix = "n0";
  int status = 200;
  double delaySeconds = 0.0;
  std::optional<std::string> recordDir;
};

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

extern const char kUsage[];

// Throws UsageError with a one-line reason for anything it cannot accept.
SimOptions parseOptions(int argc, const char* const argv[]);

}  // namespace qel::sim
