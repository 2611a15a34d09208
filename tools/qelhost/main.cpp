// qelhost: a command-line stand-in for the box-office application. It builds
// the host's records from an order file, loads the payment-system library,
// and runs one sale or refund through its exports.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include <nlohmann/json.hpp>

#include "boxoffice/box_answerer.h"
#include "boxoffice/host_library.h"
#include "boxoffice/low_memory.h"
#include "host/qelconnect.h"
#include "host/trace_schema.h"
#include "host/transaction_journal.h"
#include "platform/platform.h"
#include "tools/qelhost/check_command.h"
#include "tools/qelhost/command_line.h"
#include "tools/qelhost/components.h"
#include "tools/qelhost/dialog_answerer.h"
#include "tools/qelhost/entry.h"
#include "tools/qelhost/error_line.h"
#include "tools/qelhost/host_record_image.h"
#include "tools/qelhost/pending_command.h"
#include "tools/qelhost/protect_command.h"
#include "tools/qelhost/result_printer.h"
#include "tools/qelhost/system.h"
#include "tools/qelhost/trace_command.h"
#include "tools/qelhost/transaction_outcome.h"
#include "tools/qelhost/verify_command.h"

namespace qel::qelhost {
namespace {

// An order file or working folder that cannot be used: told without the
// usage text, with the same exit code.
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Far above any order a box office sells at once.
constexpr std::size_t kMaxOrderFileMiB = 16;

// Why a file could not be read, as the system or the platform layer says.
std::string readFailure(const platform::FileReadResult& result) {
  switch (result.status) {
    case platform::FileRead::Missing:
      return "no such file";
    case platform::FileRead::Folder:
      return "a folder, not a file";
    case platform::FileRead::NotRegular:
      return "not a regular file";
    case platform::FileRead::TooLarge:
      return "larger than " + std::to_string(kMaxOrderFileMiB) + " MiB";
    default:
      return platform::wideToUtf8(platform::systemErrorText(result.systemError));
  }
}

// nlohmann's messages start with the exception's id, "[json.exception.
// parse_error.101] ", which says nothing to the reader of the file.
std::string withoutExceptionId(const std::string& what) {
  const std::size_t end = what.rfind("] ", what.find(' '));
  return what.rfind("[json.exception.", 0) == 0 && end != std::string::npos ? what.substr(end + 2) : what;
}

nlohmann::json readOrderFile(const std::string& path) {
  std::string content;
  const platform::FileReadResult result = platform::readFile(path, content, kMaxOrderFileMiB << 20);
  if (result.status != platform::FileRead::Ok) {
    throw InputError("cannot read order file '" + path + "': " + readFailure(result));
  }
  try {
    return nlohmann::json::parse(content);
  } catch (const nlohmann::json::parse_error& e) {
    throw InputError(path + ": " + withoutExceptionId(e.what()));
  }
}

// Makes `dir` the working folder, or says why it cannot be; without `dir`,
// the current folder must still be there (a shell may stand in a folder
// that was deleted under it).
void enterWorkdir(const std::string& dir) {
  std::error_code error;
  if (dir.empty()) {
    const std::filesystem::path here = std::filesystem::current_path(error);
    if (!error && !std::filesystem::is_directory(here, error) && !error) {
      error = std::make_error_code(std::errc::no_such_file_or_directory);
    }
    if (error) throw InputError("cannot use the current folder as working folder: " + error.message());
    return;
  }
  std::filesystem::current_path(std::filesystem::u8path(dir), error);
  if (error) throw InputError("cannot use working folder '" + dir + "': " + error.message());
}

std::string hex32(std::uint32_t value) {
  std::ostringstream out;
  out << "0x" << std::hex << std::setw(8) << std::setfill('0') << std::uppercase << value;
  return out.str();
}

std::string describeResult(std::int32_t code) {
  std::string text = std::to_string(code) + " (" + hex32(static_cast<std::uint32_t>(code)) + ")";
  if (code == QEL_OK) return text + ": done";
  if (code == QEL_NOT_COMPLETED) return text + ": not completed";
  return text;
}

void printSummary(const HostRecordImage& image, const std::string& orderFile, std::ostream& out) {
  const HostRecordImage::Summary& s = image.summary();
  out << (image.isRefund() ? "Refund" : "Sale") << " from " << orderFile << ": ";
  if (!image.isRefund()) {
    out << s.positions << " position(s), " << s.tickets << " ticket(s), " << s.fixedFees << " fixed fee(s), "
        << s.additionalFees << " additional fee(s), ";
  }
  out << "gross total " << std::fixed << std::setprecision(2) << s.grossTotal << std::defaultfloat << "\n";
}

// The exports, looked up once the library is loaded, before any call.
struct Exports {
  explicit Exports(const boxoffice::HostLibrary& library)
      : init(library.init()), execute(library.execute()), refund(library.refund()) {}

  decltype(&hrECInit) init;
  decltype(&hrECExecute) execute;
  decltype(&hrECRefund) refund;
};

// A relative path is taken from the folder qelhost was started in, which
// must still be there.
std::filesystem::path libraryPathOf(const Options& options) {
  if (options.library.empty()) return boxoffice::HostLibrary::besideProgram();
  std::error_code error;
  std::filesystem::path path = std::filesystem::absolute(std::filesystem::u8path(options.library), error);
  if (error) throw InputError("cannot use library path '" + options.library + "': " + error.message());
  return path;
}

// The version is read from the file, not asked of the library, so that it
// also names a library that would not load; with --library the library is
// loaded as well. The components follow, as qelhost was built with them:
// the library of the same package was linked with the same static
// libraries (the package's SBOM lists them).
int printVersion(const Options& options) {
  std::filesystem::path libraryPath = libraryPathOf(options);
  if (options.library.empty()) {
    std::cout << "QelConnect " << libraryVersion(libraryPath) << " (" << libraryPath.u8string() << ")\n";
  } else {
    verifyLibrary(libraryPath, std::cout);
  }
  for (const Component& component : linkedComponents()) {
    std::cout << "  " << component.name << " " << component.version
              << (component.detail.empty() ? "" : " (" + component.detail + ")") << "\n";
  }
  return kExitRan;
}

// The library is not loaded: the check runs the library's own code for the
// files and the connection, linked into qelhost.
int check(const Options& options) {
  enterWorkdir(options.workdir);
  return runCheck(std::cout) ? kExitRan : kExitFailed;
}

int trace(const Options& options) {
  enterWorkdir(options.workdir);
  std::ostringstream complaint;
  const bool printed = options.json ? printTraceJson(options.traceQuery, std::cout, complaint)
                                    : printTrace(options.traceQuery, std::cout, complaint);
  std::cerr << complaint.str() << std::flush;
  return printed ? kExitRan : kExitFailed;
}

int pending(const Options& options) {
  enterWorkdir(options.workdir);
  std::ostringstream complaint;
  const bool printed = printPending(options.json, std::cout, complaint);
  std::cerr << complaint.str() << std::flush;
  return printed ? kExitRan : kExitFailed;
}

// The records of the order file, its receipt number replaced by `receipt`
// when one is given; a field it cannot use is an input error.
HostRecordImage orderImage(const std::string& orderFile, const std::optional<std::uint32_t>& receipt) {
  nlohmann::json document = readOrderFile(orderFile);
  if (receipt) {
    for (const char* record : {"order", "refund"}) {
      if (document.is_object() && document.contains(record) && document[record].is_object()) {
        document[record]["Dwbelegnr"] = *receipt;
      }
    }
  }
  // The notes go out whole, in one write.
  std::ostringstream notes;
  try {
    HostRecordImage image = HostRecordImage::fromJson(document, notes);
    std::cerr << notes.str() << std::flush;
    return image;
  } catch (const std::exception& e) {
    std::cerr << notes.str() << std::flush;
    throw InputError(orderFile + ": " + withoutExceptionId(e.what()));
  }
}

// What a run of a sale or refund did, for --json.
struct RunReport {
  std::optional<std::string> kind;  // "sale" or "refund", once the order file was read
  std::optional<std::int32_t> receipt;
  std::optional<std::int32_t> returnCode;  // of hrECExecute or hrECRefund, once called
  const char* outcome = nullptr;           // null: unknown
  std::vector<boxoffice::ShownDialog> dialogs;
};

const char* answerName(int answer) {
  switch (answer) {
    case boxoffice::kIdCancel:
      return "cancel";
    case boxoffice::kIdYes:
      return "yes";
    case boxoffice::kIdNo:
      return "no";
    default:
      return "ok";
  }
}

template <typename T>
nlohmann::json orNull(const std::optional<T>& value) {
  return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

// The one JSON object of --json, on one line.
void printJson(const RunReport& report, int exitCode) {
  nlohmann::json dialogs = nlohmann::json::array();
  for (const boxoffice::ShownDialog& box : report.dialogs) {
    dialogs.push_back({{"caption", platform::wideToUtf8(box.caption)},
                       {"text", platform::wideToUtf8(box.text)},
                       {"answer", answerName(box.answer)}});
  }
  const nlohmann::json object = {
      {"exitCode", exitCode},
      {"returnCode", orNull(report.returnCode)},
      {"outcome", report.outcome != nullptr ? nlohmann::json(report.outcome) : nlohmann::json(nullptr)},
      {"receipt", orNull(report.receipt)},
      {"kind", orNull(report.kind)},
      {"dialogs", std::move(dialogs)},
  };
  std::cout << object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n" << std::flush;
}

// What the working folder's journal says of the run's receipt, read under
// the writers' lock as the library left it.
JournalView runJournalView(bool refund, std::int32_t receipt) {
  const platform::RecordFiles files =
      platform::readRecordFiles(journal::kFileName, journal::kFileName, kJournalReadLimit);
  if (files.currentStatus != platform::FileRead::Ok) return {};
  return journalView(files.current, refund, receipt, platform::processId(), platform::utcMilliseconds());
}

int run(const Options& options, RunReport& report) {
  // With --json, standard output carries the JSON object alone.
  std::ostream& out = options.json ? std::cerr : std::cout;
  // Everything named relative to where qelhost was started is resolved
  // before the working folder changes.
  HostRecordImage image = orderImage(options.orderFile, options.receipt);
  report.kind = image.isRefund() ? trace::kRefund : trace::kSale;
  report.receipt = image.summary().receipt;
  std::filesystem::path libraryPath = libraryPathOf(options);
  enterWorkdir(options.workdir);

  printSummary(image, options.orderFile, out);
  boxoffice::HostLibrary library(libraryPath);
  Exports exports(library);
  DialogAnswerer answerer(options.answers, std::cin, standardInputIsTerminal(), out, options.hold);
  boxoffice::BoxAnswerer boxes(library, [&answerer](const boxoffice::ShownDialog& box) {
    const auto has = [&box](int id) {
      return std::find(box.buttons.begin(), box.buttons.end(), id) != box.buttons.end();
    };
    const DialogButtons buttons = has(boxoffice::kIdYes)      ? DialogButtons::YesNoCancel
                                  : has(boxoffice::kIdCancel) ? DialogButtons::OkCancel
                                                              : DialogButtons::Ok;
    switch (answerer.answer(platform::wideToUtf8(box.caption), platform::wideToUtf8(box.text), buttons)) {
      case DialogAnswer::Ok:
        return boxoffice::kIdOk;
      case DialogAnswer::Yes:
        return boxoffice::kIdYes;
      case DialogAnswer::No:
        return boxoffice::kIdNo;
      case DialogAnswer::Cancel:
        break;
    }
    return boxoffice::kIdCancel;
  });

  if (options.init) {
    std::uint32_t moduleHandle = 0;
    std::int32_t code = exports.init(nullptr, &moduleHandle);
    out << "hrECInit returned " << describeResult(code) << ", module handle " << hex32(moduleHandle) << "\n";
    if (code != QEL_OK) return kExitFailed;
  }

  std::int32_t code = 0;
  if (image.isRefund()) {
    out << "Calling hrECRefund\n" << std::flush;
    code = exports.refund(nullptr, nullptr, image.refund());
    out << "hrECRefund returned " << describeResult(code) << "\n";
  } else {
    boxoffice::LowMemory result(kPaymentResultSize);
    std::fill(result.data(), result.data() + kPaymentResultSize, options.prefill);
    out << "Calling hrECExecute\n" << std::flush;
    code = exports.execute(nullptr, nullptr, image.hostOrder(), image.paymentType(), nullptr, result.data());
    out << "hrECExecute returned " << describeResult(code) << "\n";
    printPaymentResult(result.data(), options.prefill, out);
  }
  report.returnCode = code;
  report.dialogs = boxes.dialogs();
  const JournalView journal = runJournalView(image.isRefund(), image.summary().receipt);
  report.outcome = transactionOutcome(image.isRefund(), code, report.dialogs, journal);
  return exitCodeOf(report.outcome, code, journal);
}

// A sale or refund; with --json, its report follows whatever the end.
int runTransaction(const Options& options) {
  RunReport report;
  int exitCode = kExitRan;
  try {
    exitCode = run(options, report);
  } catch (const InputError& e) {
    printError(e.what());
    exitCode = kExitUsage;
  } catch (const std::exception& e) {
    printError(e.what());
    exitCode = kExitNoLibrary;
  }
  if (options.json) printJson(report, exitCode);
  return exitCode;
}

}  // namespace

int runQelhost(const std::vector<std::string>& arguments) {
  try {
    std::optional<Options> options = parseCommandLine(arguments, std::cout);
    if (!options) return kExitRan;
    switch (options->command) {
      case Command::Version:
        return printVersion(*options);
      case Command::Check:
        return check(*options);
      case Command::Trace:
        return trace(*options);
      case Command::Pending:
        return pending(*options);
      case Command::ProtectPassword:
        return runProtectPassword(options->userScope, std::cout);
      case Command::Verify:
        verifyLibrary(libraryPathOf(*options), std::cout);
        return kExitRan;
      case Command::Sale:
        break;
    }
    return runTransaction(*options);
  } catch (const UsageError& e) {
    printError(std::string(e.what()) + "\nRun with --help for more information.");
    return kExitUsage;
  } catch (const InputError& e) {
    printError(e.what());
    return kExitUsage;
  } catch (const std::exception& e) {
    // What is left: the library cannot be loaded, lacks an export or
    // carries no version.
    printError(e.what());
    return kExitNoLibrary;
  }
}

}  // namespace qel::qelhost
