// qelhost check: the configuration and terminal number as the library reads
// them, then the connection stages of ConnectionCheck and whether the cash
// register refuses the credentials, one line each.
#include "tools/qelhost/check_command.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/vub_exception.h"
#include "config/config_elements.h"
#include "config/config_warnings.h"
#include "config/connector_config.h"
#include "host/terminal_id_reader.h"
#include "host/working_files.h"
#include "platform/platform.h"
#include "tools/qelhost/password_status.h"
#include "tools/qelhost/visible_text.h"
#include "transport/connection_check.h"
#include "transport/credential_check.h"
#include "transport/shown_url.h"

namespace qel::qelhost {
namespace {

constexpr char kDefaultEmpty[] = " (the default: empty)";
constexpr char kDefaultNone[] = "(the default: none)";
constexpr char kSystemStore[] = "(the default: the system's certificate store)";
constexpr char kDefaultNumber[] = " (the default)";
constexpr char kTraceOn[] = " (QelConnect.trace is written)";
constexpr char kBodiesOn[] = " (with the bodies)";
constexpr char kNoSalesIni[] = " (the default: no Sales.ini here)";
constexpr char kNoTerminalKey[] = " (the default: Sales.ini gives no TerminalID)";
constexpr char kNoSalesIniWarning[] = "no Sales.ini in this folder: every sale goes out as the default terminal ";
constexpr char kNoTerminalKeyWarning[] = "no TerminalID in Sales.ini: every sale goes out as the default terminal ";
constexpr char kLookalikeSuffix[] = " is not read: the key is TerminalID, in this letter case, without blanks";
constexpr char kNoUrl[] = "needs QelConnect.xml";
constexpr char kNoConnection[] = "needs a connection";
constexpr char kCredentials[] = "credentials";
constexpr char kNotRefusedPrefix[] = "not refused: HTTP status ";
constexpr char kNotRefusedSuffix[] = " to a GET of url with them (401 or 403 would mean refused); nothing was booked";
constexpr char kRefusedPrefix[] = "refused: HTTP status ";
constexpr char kRefusedSuffix[] = " to a GET of url with them; a sale would fail with \"Unexpected HTTP Status code ";
constexpr char kWarning[] = "warning";
constexpr char kNoAltName[] =
    "the certificate has no subjectAltName: this build accepts its common name, Windows (Schannel) refuses it "
    "(\"schannel: CertFindExtension() returned no extension.\")";
constexpr char kPassed[] = "passed";
constexpr char kFailed[] = "FAILED";
constexpr char kReadConfig[] = "read QelConnect.xml";
constexpr char kReadTerminal[] = "read Sales.ini";
constexpr char kNote[] = "note";
constexpr char kReadAsAnsi[] =
    "the file is not UTF-8 throughout: the values that are not were read in the ANSI code page";
constexpr char kDecryptPassword[] = "decrypt password";
constexpr char kNoPassword[] = "the password does not decrypt here";
constexpr char kAllPassed[] =
    "All steps passed: the cash register can be reached and did not refuse the credentials. No order was sent, "
    "so whether the path in url leads to the sales service only a test sale shows.";
constexpr char kSomeFailed[] = "A step failed: a sale from this workstation would fail with the message above.";

constexpr int kOutcomeWidth = 12;
constexpr int kStepWidth = 22;
constexpr int kValueIndent = 4;
constexpr int kNameWidth = 16;

std::string utf8(const std::wstring& text) { return platform::wideToUtf8(text); }

// Values are shown between quotes, so that a blank at either end shows.
std::string quoted(const std::wstring& text) { return "'" + utf8(text) + "'"; }

// A text whose default is empty.
std::string textOrDefault(const std::wstring& text) { return quoted(text) + (text.empty() ? kDefaultEmpty : ""); }

std::string padded(const std::string& text, int width) {
  return text.size() >= static_cast<std::size_t>(width) ? text + " " : text + std::string(width - text.size(), ' ');
}

// Values and messages come from files and servers: their control
// characters are shown escaped, so that none reaches the terminal.
void printStep(std::ostream& out, const char* outcome, const char* step, const std::string& detail) {
  out << padded(outcome, kOutcomeWidth)
      << (detail.empty() ? std::string(step) : padded(step, kStepWidth) + visibleText(detail)) << "\n";
}

void printValue(std::ostream& out, std::string_view name, const std::string& value) {
  out << std::string(kOutcomeWidth + kValueIndent, ' ') << padded(std::string(name), kNameWidth) << visibleText(value)
      << "\n";
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

// A number or switch: its text as written, between quotes, then the value
// read where that differs, and whether it is the default. Not given at all,
// only the value read.
std::string asWritten(const ConnectorConfig& config, const char* name, long value, bool isDefault) {
  const std::string read = std::to_string(value);
  const auto written = config.written.find(name);
  if (written == config.written.end()) return read + kDefaultNumber;
  if (written->second == read) return "'" + read + "'" + (isDefault ? kDefaultNumber : "");
  return "'" + written->second + "' (read as " + read + (isDefault ? ", the default)" : ")");
}

// How check shows an element's value; nothing for protectedPassword, which
// the password's line covers. The password is never shown, only whether
// there is one (and whether a protected one decrypts: `passwordProblem`
// says why not), nor the url's user information. A value that equals its
// default says so, whether its element is missing or gives it.
std::optional<std::string> shownValue(const ConnectorConfig& config, const ConfigElement& which,
                                      std::string& passwordProblem) {
  const ConnectorConfig defaults;
  const std::string_view name = which.name;
  if (name == element::kUsername.name) return textOrDefault(config.username);
  if (name == element::kPassword.name) return passwordStatus(config, passwordProblem);
  if (name == element::kUrl.name) return quoted(withoutUserInfo(config.url));
  if (name == element::kCaFile.name) return config.caFile.empty() ? kSystemStore : quoted(config.caFile);
  if (name == element::kCertSubject.name) return config.hasCertSubject ? quoted(config.certSubject) : kDefaultNone;
  if (name == element::kOldkasse.name) return asWritten(config, "oldkasse", config.oldkasse, !config.oldkasse);
  if (name == element::kOldkasseprefix.name) {
    return asWritten(config, "oldkasseprefix", config.oldkasseprefix, config.oldkasseprefix == defaults.oldkasseprefix);
  }
  if (name == element::kTrace.name) {
    return asWritten(config, "trace", config.trace, !config.trace) + (config.trace ? kTraceOn : "");
  }
  if (name == element::kTraceBodies.name) {
    return asWritten(config, "traceBodies", config.traceBodies, !config.traceBodies) +
           (config.traceBodies ? kBodiesOn : "");
  }
  return std::nullopt;
}

void printConfig(std::ostream& out, const ConnectorConfig& config, std::string& passwordProblem) {
  for (const ConfigElement& which : configElements()) {
    if (const std::optional<std::string> value = shownValue(config, which, passwordProblem)) {
      printValue(out, which.name, *value);
    }
  }
  for (const ConfigWarning& warning : config.warnings) {
    printStep(out, kWarning, kConfigFileName,
              (warning.line > 0 ? "line " + std::to_string(warning.line) + ": " : std::string()) + warning.text);
  }
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
  if (config.readAsAnsi) printStep(out, kNote, kReadConfig, kReadAsAnsi);
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
  std::string value = quoted(terminal->terminalId());
  const platform::FileKind kind = platform::fileKind(kTerminalFileName);
  const bool noFile = kind == platform::FileKind::Missing || kind == platform::FileKind::Folder;
  if (noFile) {
    value += kNoSalesIni;
  } else if (!terminal->fromFile()) {
    value += kNoTerminalKey;
  }
  printStep(out, kPassed, kReadTerminal, "");
  printValue(out, "TerminalID", value);
  if (terminal->fromFile()) return true;
  const std::string terminalId = utf8(terminal->terminalId());
  printStep(out, kWarning, kTerminalFileName, (noFile ? kNoSalesIniWarning : kNoTerminalKeyWarning) + terminalId);
  for (const TerminalKeyLookalike& lookalike : terminal->lookalikes()) {
    printStep(out, kWarning, kTerminalFileName,
              "line " + std::to_string(lookalike.line) + ": " + lookalike.field + "=" + kLookalikeSuffix);
  }
  return true;
}

bool checkConnection(std::ostream& out, const ConnectorConfig& config) {
  const std::vector<StageResult> results = ConnectionCheck(config).run();
  for (const StageResult& result : results) {
    printStep(out, outcomeText(result.outcome), stageText(result.stage), utf8(result.detail));
    if (result.withoutSubjectAltName) printStep(out, kWarning, stageText(result.stage), kNoAltName);
  }
  return ConnectionCheck::allPassed(results);
}

// Proves only that the server at url did not refuse the credentials for a
// request that books nothing; a cash register that checks them only for a
// sale would still refuse that.
bool checkCredentials(std::ostream& out, const ConnectorConfig& config) {
  const CredentialResult result = CredentialCheck(config).run();
  if (!result.answered) {
    printStep(out, kFailed, kCredentials, utf8(result.failure));
    return false;
  }
  const std::string status = std::to_string(result.status);
  if (result.refused()) {
    printStep(out, kFailed, kCredentials, kRefusedPrefix + status + kRefusedSuffix + status + "...\"");
    return false;
  }
  printStep(out, kPassed, kCredentials, kNotRefusedPrefix + status + kNotRefusedSuffix);
  return true;
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
      const bool connected = checkConnection(out, *config);
      if (!connected) {
        printStep(out, outcomeText(StageOutcome::NotReached), kCredentials, kNoConnection);
      } else if (!passwordProblem.empty()) {
        printStep(out, outcomeText(StageOutcome::NotReached), kCredentials, kNoPassword);
      } else {
        passed = checkCredentials(out, *config) && terminalRead;
      }
    } catch (const VubException& e) {
      printStep(out, kFailed, stageText(ConnectionStage::Connect), utf8(e.message()));
    }
  } else {
    for (ConnectionStage stage : {ConnectionStage::Resolve, ConnectionStage::Connect, ConnectionStage::Handshake}) {
      printStep(out, outcomeText(StageOutcome::NotReached), stageText(stage), kNoUrl);
    }
    printStep(out, outcomeText(StageOutcome::NotReached), kCredentials, kNoUrl);
  }
  out << (passed ? kAllPassed : kSomeFailed) << "\n";
  return passed;
}

}  // namespace qel::qelhost
