// qelhost's command line: the options and commands, parsed with CLI11, and
// the help text that describes them.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/qelhost/dialog_answerer.h"
#include "tools/qelhost/trace_command.h"

namespace qel::qelhost {

enum class Command { Sale, Version, Check, Trace, Pending, ProtectPassword, Verify };

struct Options {
  Command command = Command::Sale;
  std::string orderFile;  // UTF-8, as every path here
  std::vector<DialogAnswer> answers;
  std::string library;
  std::string workdir;
  bool init = true;
  std::uint8_t prefill = 0;
  bool hold = false;
  // One JSON object (a sale or refund) or JSON Lines (trace) on standard
  // output instead of the text for people.
  bool json = false;
  TraceQuery traceQuery;
  bool userScope = false;  // protect-password
  // --receipt: the receipt number the order file's own is replaced by.
  std::optional<std::uint32_t> receipt;
};

// A wrong command line: told with a pointer to --help, exit code 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parses the arguments after the program's name (UTF-8). Writes the help
// asked for to `out` and returns nothing; throws UsageError for anything it
// cannot accept.
std::optional<Options> parseCommandLine(const std::vector<std::string>& arguments, std::ostream& out);

}  // namespace qel::qelhost
