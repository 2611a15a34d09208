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
#include <vector>

#include <nlohmann/json.hpp>

#include "host/operator_dialogs.h"
#include "host/qelconnect.h"
#include "hostkit/dialog_answerer.h"
#include "hostkit/host_library.h"
#include "hostkit/low_memory.h"
#include "platform/platform.h"
#include "tools/qelhost/check_command.h"
#include "tools/qelhost/dialog_answerer.h"
#include "tools/qelhost/error_line.h"
#include "tools/qelhost/exit_codes.h"
#include "tools/qelhost/host_record_image.h"
#include "tools/qelhost/protect_command.h"
#include "tools/qelhost/result_printer.h"
#include "tools/qelhost/system.h"
#include "tools/qelhost/trace_command.h"

namespace qel::qelhost {
namespace {

constexpr char kUsage[] =
    "usage: qelhost [options] ORDER.json\n"
    "       qelhost [--workdir DIR] check\n"
    "       qelhost [--workdir DIR] trace [--last N] [--in-doubt]\n"
    "       qelhost [--library PATH] --version\n"
    "       qelhost protect-password [--user-scope]   (see qelhost protect-password --help)\n"
    "\n"
    "Runs one sale (\"order\") or refund (\"refund\") of ORDER.json through the\n"
    "payment-system library: hrECInit, then hrECExecute or hrECRefund.\n"
    "The keys of ORDER.json are the field names of the host's records, with\n"
    "\"positions\", \"tickets\", \"event\" and \"additionalFees\" for the lists;\n"
    "see examples/sale.json and examples/refund.json.\n"
    "\n"
    "check reads QelConnect.xml and Sales.ini in the working folder as the library\n"
    "does, shows their values (the password masked), then resolves the cash\n"
    "register's host, connects and completes the TLS handshake, without sending\n"
    "an order; last, one GET of the url with the credentials fails only on 401 or\n"
    "403. It runs qelhost's own copy of the library's code, so not with --library.\n"
    "Exit code 0 when every step passed, 1 otherwise.\n"
    "\n"
    "trace prints the transaction trace of the working folder (QelConnect.trace\n"
    "and QelConnect.trace.1) as a table, newest last: --last N shows the last N\n"
    "entries, --in-doubt only the sales and refunds that the cash register may\n"
    "have booked although the box office shows them as failed. Exit code 1 when\n"
    "there is no trace.\n"
    "\n"
    "options:\n"
    "  --answers LIST   answers to the OK/Cancel questions in order, e.g. ok,cancel;\n"
    "                   further questions are asked on standard input\n"
    "  --library PATH   the library to load (default: the one beside qelhost)\n"
    "  --workdir DIR    the library's working folder (QelConnect.xml, Sales.ini,\n"
    "                   QelConnect.log); default: the current folder\n"
    "  --no-init        skip hrECInit, so that QelConnect.log keeps its entries\n"
    "  --prefill BYTE   fill the result record with BYTE (0-255) before the call\n"
    "  --hold           keep each dialog on screen until a line is read from\n"
    "                   standard input, then answer it (to look at the box)\n"
    "  --version        print the library's version, read from its file\n"
    "  --help           show this text\n"
    "\n"
    "exit codes: 0 the sale or refund was done (check: every step passed);\n"
    "1 it was not completed: refused, failed or cancelled (check: a\n"
    "step failed; trace: no trace in the folder); 2 wrong command line, or an\n"
    "order file or working folder that cannot be used; 3 the library cannot be\n"
    "loaded; 4 it failed in doubt: the cash register may have booked it (check\n"
    "the receipt there before selling it again).\n";

struct Options {
  std::string orderFile;
  std::vector<bool> answers;
  std::string library;
  std::string workdir;
  bool init = true;
  std::uint8_t prefill = 0;
  bool hold = false;
  bool version = false;
  bool check = false;
  bool trace = false;
  TraceQuery traceQuery;

  // An order file, check or trace: what the run is for (--version aside).
  bool commandGiven() const { return !orderFile.empty() || check || trace; }
};

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An order file or working folder that cannot be used: told without the
// usage text, with the same exit code.
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The whole of `text` as a number without a sign (0x and 0 prefixes taken
// in base 0); nothing when it is not one.
std::optional<unsigned long> parseWhole(const std::string& text, int base) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return std::nullopt;
  std::size_t used = 0;
  try {
    const unsigned long value = std::stoul(text, &used, base);
    if (used == text.size()) return value;
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

std::uint8_t parseByte(const std::string& text) {
  const std::optional<unsigned long> value = parseWhole(text, 0);
  if (!value || *value > 255) throw UsageError("--prefill takes a byte value 0-255, not '" + text + "'");
  return static_cast<std::uint8_t>(*value);
}

std::size_t parseCount(const std::string& text) {
  const std::optional<unsigned long> value = parseWhole(text, 10);
  if (!value || *value == 0) throw UsageError("--last takes a number of entries (1 or more), not '" + text + "'");
  return *value;
}

// --version and check do not run a sale: what only a sale uses is refused
// rather than silently ignored.
void refuseOptionsThatDoNotApply(const Options& options) {
  const Options defaults;
  const bool saleOptions = !options.answers.empty() || options.init != defaults.init ||
                           options.prefill != defaults.prefill || options.hold != defaults.hold;
  if (options.version) {
    if (options.commandGiven()) throw UsageError("--version takes no order file and no command");
    if (saleOptions || !options.workdir.empty()) throw UsageError("--version takes no option but --library");
  } else if (options.check) {
    if (!options.library.empty()) {
      throw UsageError(
          "check does not load a library: it runs qelhost's own copy of the library's code, so --library does not "
          "apply");
    }
    if (saleOptions) throw UsageError("check takes no option but --workdir");
  }
  if (options.trace && (saleOptions || !options.library.empty() || options.version)) {
    throw UsageError("trace takes no option but --workdir, --last and --in-doubt");
  }
}

std::optional<Options> parseArguments(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw UsageError(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return std::nullopt;
    } else if (arg == "--answers") {
      try {
        options.answers = parseAnswers(value());
      } catch (const std::invalid_argument& e) {
        throw UsageError(std::string("--answers: ") + e.what());
      }
    } else if (arg == "--library") {
      options.library = value();
    } else if (arg == "--workdir") {
      options.workdir = value();
    } else if (arg == "--no-init") {
      options.init = false;
    } else if (arg == "--prefill") {
      options.prefill = parseByte(value());
    } else if (arg == "--hold") {
      options.hold = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--last") {
      options.traceQuery.last = parseCount(value());
    } else if (arg == "--in-doubt") {
      options.traceQuery.inDoubtOnly = true;
    } else if (!arg.empty() && arg[0] == '-') {
      throw UsageError("unknown option " + arg);
    } else if (options.commandGiven()) {
      throw UsageError(options.check   ? "check takes no order file"
                       : options.trace ? "trace takes no order file"
                                       : "only one order file, please");
    } else if (arg == "check") {
      options.check = true;
    } else if (arg == "trace") {
      options.trace = true;
    } else {
      options.orderFile = arg;
    }
  }
  const bool traceOptions = options.traceQuery.last != 0 || options.traceQuery.inDoubtOnly;
  if (traceOptions && !options.trace) throw UsageError("--last and --in-doubt go with trace");
  if (!options.commandGiven() && !options.version) throw UsageError("no order file given");
  refuseOptionsThatDoNotApply(options);
  return options;
}

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

// Makes `dir` the working folder, or says why it cannot be.
void enterWorkdir(const std::string& dir) {
  if (dir.empty()) return;
  std::error_code error;
  std::filesystem::current_path(dir, error);
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

void printSummary(const HostRecordImage& image, const std::string& orderFile) {
  const HostRecordImage::Summary& s = image.summary();
  std::cout << (image.isRefund() ? "Refund" : "Sale") << " from " << orderFile << ": ";
  if (!image.isRefund()) {
    std::cout << s.positions << " position(s), " << s.tickets << " ticket(s), " << s.fixedFees << " fixed fee(s), "
              << s.additionalFees << " additional fee(s), ";
  }
  std::cout << "gross total " << std::fixed << std::setprecision(2) << s.grossTotal << std::defaultfloat << "\n";
}

// The exports, looked up once the library is loaded, before any call.
struct Exports {
  explicit Exports(const hostkit::HostLibrary& library)
      : init(library.init()), execute(library.execute()), refund(library.refund()) {}

  decltype(&hrECInit) init;
  decltype(&hrECExecute) execute;
  decltype(&hrECRefund) refund;
};

std::filesystem::path libraryPathOf(const Options& options) {
  return options.library.empty() ? hostkit::HostLibrary::besideProgram() : std::filesystem::absolute(options.library);
}

// The version is read from the file, not asked of the library, so that it
// also names a library that would not load.
int printVersion(const Options& options) {
  std::filesystem::path libraryPath = libraryPathOf(options);
  std::string version = libraryVersion(libraryPath);
  std::cout << "QelConnect " << version << " (" << libraryPath.string() << ")\n";
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
  const bool printed = printTrace(options.traceQuery, std::cout, complaint);
  std::cerr << complaint.str() << std::flush;
  return printed ? kExitRan : kExitFailed;
}

// The records of the order file; a field it cannot use is an input error.
HostRecordImage orderImage(const std::string& orderFile) {
  const nlohmann::json document = readOrderFile(orderFile);
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

// The exit code of a sale or refund whose export returned `code`.
int exitCodeOf(std::int32_t code, bool possiblyBooked) {
  if (code == QEL_OK) return kExitRan;
  return possiblyBooked ? kExitInDoubt : kExitFailed;
}

int run(const Options& options) {
  // Everything named relative to where qelhost was started is resolved
  // before the working folder changes.
  HostRecordImage image = orderImage(options.orderFile);
  std::filesystem::path libraryPath = libraryPathOf(options);
  enterWorkdir(options.workdir);

  printSummary(image, options.orderFile);
  hostkit::HostLibrary library(libraryPath);
  Exports exports(library);
  DialogAnswerer answerer(options.answers, std::cin, standardInputIsTerminal(), std::cout, options.hold);
  // The error box of a failure in doubt says so; the return code cannot.
  bool possiblyBooked = false;
  hostkit::DialogAnswerer boxes(library, [&answerer, &possiblyBooked](const hostkit::ShownDialog& box) {
    possiblyBooked = possiblyBooked || saysPossiblyBooked(box.text);
    const bool hasCancel = std::find(box.buttons.begin(), box.buttons.end(), hostkit::kIdCancel) != box.buttons.end();
    const bool ok = answerer.answer(platform::wideToUtf8(box.caption), platform::wideToUtf8(box.text),
                                    hasCancel ? DialogButtons::OkCancel : DialogButtons::Ok);
    return ok ? hostkit::kIdOk : hostkit::kIdCancel;
  });

  if (options.init) {
    std::uint32_t moduleHandle = 0;
    std::int32_t code = exports.init(nullptr, &moduleHandle);
    std::cout << "hrECInit returned " << describeResult(code) << ", module handle " << hex32(moduleHandle) << "\n";
    if (code != QEL_OK) return kExitFailed;
  }

  if (image.isRefund()) {
    std::cout << "Calling hrECRefund\n" << std::flush;
    std::int32_t code = exports.refund(nullptr, nullptr, image.refund());
    std::cout << "hrECRefund returned " << describeResult(code) << "\n";
    return exitCodeOf(code, possiblyBooked);
  }

  hostkit::LowMemory result(kPaymentResultSize);
  std::fill(result.data(), result.data() + kPaymentResultSize, options.prefill);
  std::cout << "Calling hrECExecute\n" << std::flush;
  std::int32_t code = exports.execute(nullptr, nullptr, image.hostOrder(), image.paymentType(), nullptr, result.data());
  std::cout << "hrECExecute returned " << describeResult(code) << "\n";
  printPaymentResult(result.data(), options.prefill, std::cout);
  return exitCodeOf(code, possiblyBooked);
}

}  // namespace
}  // namespace qel::qelhost

int main(int argc, char** argv) {
  using namespace qel::qelhost;
  try {
    if (argc > 1 && std::string(argv[1]) == "protect-password")
      return runProtectPassword(argc - 1, argv + 1, std::cout);
    std::optional<Options> options = parseArguments(argc, argv);
    if (!options) return kExitRan;
    if (options->version) return printVersion(*options);
    if (options->check) return check(*options);
    if (options->trace) return trace(*options);
    return run(*options);
  } catch (const UsageError& e) {
    printError(e.what());
    std::cerr << "\n" << kUsage;
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
