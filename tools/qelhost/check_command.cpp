// qelhost check: the configuration and terminal number as the library reads
// them, then the connection stages of ConnectionCheck, one line each.
#include "tools/qelhost/check_command.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/vub_exception.h"
#include "config/connector_config.h"
#include "host/terminal_id_reader.h"
#include "host/working_files.h"
#include "platform/platform.h"
#include "tools/qelhost/password_status.h"
#include "transport/connection_check.h"

namespace qel::qelhost {
namespace {

constexpr char kEmpty[] = "(empty)";
constexpr char kNone[] = "(none)";
constexpr char kSystemStore[] = "(none: the system's certificate store)";
constexpr char kDefaultTerminal[] = " (the default: no Sales.ini here)";
constexpr char kNoUrl[] = "needs QelConnect.xml";
constexpr char kPassed[] = "passed";
constexpr char kFailed[] = "FAILED";
constexpr char kReadConfig[] = "read QelConnect.xml";
constexpr char kReadTerminal[] = "read Sales.ini";
constexpr char kDecryptPassword[] = "decrypt password";
constexpr char kAllPassed[] = "All steps passed: the cash register can be reached. No order was sent.";
constexpr char kSomeFailed[] = "A step failed: a sale from this workstation would fail with the message above.";

constexpr int kOutcomeWidth = 12;
constexpr int kStepWidth = 22;
constexpr int kValueIndent = 4;
constexpr int kNameWidth = 16;

std::string utf8(const std::wstring& text) { return platform::wideToUtf8(text); }

std::string orEmpty(const std::wstring& text) { return text.empty() ? kEmpty : utf8(text); }

std::string padded(const std::string& text, int width) {
  return text.size() >= static_cast<std::size_t>(width) ? text + " " : text + std::string(width - text.size(), ' ');
}

void printStep(std::ostream& out, const char* outcome, const char* step, const std::string& detail) {
  out << padded(outcome, kOutcomeWidth) << (detail.empty() ? std::string(step) : padded(step, kStepWidth) + detail)
      << "\n";
}

void printValue(std::ostream& out, const char* name, const std::string& value) {
  out << std::string(kOutcomeWidth + kValueIndent, ' ') << padded(name, kNameWidth) << value << "\n";
}

const char* outcomeText(StageOutcome outcome) {
  switch (outcome) {
    case StageOutcome::Passed:
      return kPassed;
    case StageOutcome::Failed:
      return kFailed;
    case StageOutcome::NotReached:
      return "not run";
    case StageOutcome::NotNeeded:
      return "not needed";
  }
  return "";
}

const char* stageText(ConnectionStage stage) {
  switch (stage) {
    case ConnectionStage::Resolve:
      return "resolve host";
    case ConnectionStage::Connect:
      return "connect";
    case ConnectionStage::Handshake:
      return "TLS handshake";
  }
  return "";
}

// The password is never shown, only whether there is one (and whether a
// protected one decrypts: `passwordProblem` says why not).
void printConfig(std::ostream& out, const ConnectorConfig& config, std::string& passwordProblem) {
  printValue(out, "username", orEmpty(config.username));
  printValue(out, "password", passwordStatus(config, passwordProblem));
  printValue(out, "url", orEmpty(config.url));
  printValue(out, "caFile", config.caFile.empty() ? kSystemStore : utf8(config.caFile));
  printValue(out, "certSubject", config.hasCertSubject ? orEmpty(config.certSubject) : kNone);
  printValue(out, "oldkasse", config.oldkasse ? "1" : "0");
  printValue(out, "oldkasseprefix", std::to_string(config.oldkasseprefix));
}

// The same call as a sale makes; its exception is the operator's message.
std::optional<ConnectorConfig> readConfig(std::ostream& out, std::string& passwordProblem) {
  ConnectorConfig config;
  try {
    config.loadFromFile(kConfigFileName);
  } catch (const VubException& e) {
    printStep(out, kFailed, kReadConfig, utf8(e.message()));
    return std::nullopt;
  }
  printStep(out, kPassed, kReadConfig, "");
  printConfig(out, config, passwordProblem);
  return config;
}

// A missing file or key gives the default, which is worth pointing out when
// there is no file of that name (a folder counts as none). A file that is
// there but cannot be read fails the step with the message a sale would show.
bool readTerminal(std::ostream& out) {
  std::optional<TerminalIdReader> terminal;
  try {
    terminal.emplace();
  } catch (const VubException& e) {
    printStep(out, kFailed, kReadTerminal, utf8(e.message()));
    return false;
  }
  std::string value = orEmpty(terminal->terminalId());
  const platform::FileKind kind = platform::fileKind(kTerminalFileName);
  if (kind == platform::FileKind::Missing || kind == platform::FileKind::Folder) value += kDefaultTerminal;
  printStep(out, kPassed, kReadTerminal, "");
  printValue(out, "TerminalID", value);
  return true;
}

bool checkConnection(std::ostream& out, const ConnectorConfig& config) {
  const std::vector<StageResult> results = ConnectionCheck(config).run();
  for (const StageResult& result : results) {
    printStep(out, outcomeText(result.outcome), stageText(result.stage), utf8(result.detail));
  }
  return ConnectionCheck::allPassed(results);
}

}  // namespace

bool runCheck(std::ostream& out) {
  out << "Checking QelConnect's files in " << std::filesystem::current_path().u8string()
      << " and the connection to the cash register\n";
  std::string passwordProblem;
  const std::optional<ConnectorConfig> config = readConfig(out, passwordProblem);
  if (!passwordProblem.empty()) printStep(out, kFailed, kDecryptPassword, passwordProblem);
  const bool terminalRead = readTerminal(out);
  bool passed = false;
  if (config) {
    try {
      passed = checkConnection(out, *config) && terminalRead && passwordProblem.empty();
    } catch (const VubException& e) {
      printStep(out, kFailed, stageText(ConnectionStage::Connect), utf8(e.message()));
    }
  } else {
    for (ConnectionStage stage : {ConnectionStage::Resolve, ConnectionStage::Connect, ConnectionStage::Handshake}) {
      printStep(out, outcomeText(StageOutcome::NotReached), stageText(stage), kNoUrl);
    }
  }
  out << (passed ? kAllPassed : kSomeFailed) << "\n";
  return passed;
}

}  // namespace qel::qelhost
