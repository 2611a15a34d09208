// qelhost's options and commands as one CLI11 table. Which option goes with
// which command is declared beside the option, so that CLI11 refuses the rest
// in its own words.
#include "tools/qelhost/command_line.h"

#include <limits>

#include <CLI/CLI.hpp>

#include "tools/cli/help_formatter.h"
#include "tools/qelhost/dialog_answerer.h"

namespace qel::qelhost {
namespace {

constexpr char kDescription[] =
    "Runs one sale (\"order\") or refund (\"refund\") of ORDER.json through the\n"
    "payment-system library: hrECInit, then hrECExecute or hrECRefund.\n"
    "The keys of ORDER.json are the field names of the host's records, with\n"
    "\"positions\", \"tickets\", \"event\" and \"additionalFees\" for the lists;\n"
    "see examples/sale.json and examples/refund.json.";

constexpr char kCheckDescription[] =
    "reads QelConnect.xml and Sales.ini in the working folder as the library\n"
    "does, shows their values (the password masked) and warns of mistakes in\n"
    "them, then resolves the cash register's host, connects and completes the\n"
    "TLS handshake, without sending an order; last, one GET of the url with the\n"
    "credentials fails only on 401 or 403. It runs qelhost's own copy of the\n"
    "library's code, so not with --library. Warnings leave the exit code alone.";

constexpr char kTraceDescription[] =
    "prints the transaction trace of the working folder (QelConnect.trace and\n"
    "QelConnect.trace.1) as a table, newest last, one row per transaction;\n"
    "with --json as JSON Lines, one object per transaction.";

constexpr char kProtectDescription[] =
    "reads the cash register's password (typed without echo, or from standard\n"
    "input when that is not a console), encrypts it with the Windows Data\n"
    "Protection API and prints the element endpoint/protectedPassword, which\n"
    "replaces endpoint/password in QelConnect.xml. It can be decrypted only on\n"
    "this computer: by every user of it (the default), or with --user-scope by\n"
    "the Windows user who runs this command alone.";

// One line per exit code, the same for every command.
constexpr char kExitCodes[] =
    "\nexit codes:\n"
    "  0  the sale or refund was done (check: every step passed)\n"
    "  1  it was not completed, and the cash register holds nothing of it:\n"
    "     cancelled, refused, or failed before the whole order went out\n"
    "     (check: a step failed; trace: no trace in the folder)\n"
    "  2  wrong command line, or an order file or working folder that cannot be used\n"
    "  3  the library cannot be loaded\n"
    "  4  it failed in doubt: the cash register may have booked it; check the\n"
    "     receipt there before selling it again\n"
    "  5  the sale was booked and its tickets were not printed (Cancel at\n"
    "     \"Tickets drucken?\"): do not sell it again\n";

// The values that need more than CLI11's conversion, turned into Options
// once CLI11 has accepted the line.
struct RawValues {
  std::string answers;
  unsigned prefill = 0;
};

void excludeAll(CLI::App* command, const std::vector<CLI::Option*>& options) {
  for (CLI::Option* option : options) command->excludes(option);
}

}  // namespace

std::optional<Options> parseCommandLine(const std::vector<std::string>& arguments, std::ostream& out) {
  Options options;
  RawValues raw;
  CLI::App app{kDescription, "qelhost"};
  cli::useHelpFormatter(app);
  app.footer(kExitCodes);
  // Options of the sale may stand after a command's name as well.
  app.fallthrough();

  CLI::Option* order = app.add_option("ORDER.json", options.orderFile, "the sale or refund to run")->type_name("");
  CLI::Option* answers = app.add_option("--answers", raw.answers,
                                        "answers to the OK/Cancel questions in order, e.g. ok,cancel;\n"
                                        "further questions are asked on standard input")
                             ->type_name("LIST");
  CLI::Option* library =
      app.add_option("--library", options.library, "the library to load (default: the one beside qelhost)")
          ->type_name("PATH");
  CLI::Option* workdir = app.add_option("--workdir", options.workdir,
                                        "the library's working folder (QelConnect.xml, Sales.ini,\n"
                                        "QelConnect.log); default: the current folder")
                             ->type_name("DIR");
  CLI::Option* noInit = app.add_flag("--no-init", "skip hrECInit, so that QelConnect.log keeps its entries");
  CLI::Option* prefill =
      app.add_option("--prefill", raw.prefill, "fill the result record with BYTE (0-255) before the call")
          ->type_name("BYTE")
          ->check(CLI::Range(0, 255).description(""));
  CLI::Option* hold = app.add_flag("--hold", options.hold,
                                   "keep each dialog on screen until a line is read from standard\n"
                                   "input, then answer it (to look at the box)");
  CLI::Option* version = app.add_flag("--version",
                                      "print the library's version, read from its file, and the\n"
                                      "components built into qelhost");
  CLI::Option* json = app.add_flag("--json", options.json,
                                   "print one JSON object with the outcome on standard output\n"
                                   "(trace: one per transaction); the dialogs and the result\n"
                                   "record go to standard error")
                          ->type_name("");
  const std::vector<CLI::Option*> saleOnly{answers, noInit, prefill, hold};
  for (CLI::Option* option : saleOnly) version->excludes(option);
  version->excludes(order)->excludes(workdir)->excludes(json);

  CLI::App* check = app.add_subcommand("check", kCheckDescription);
  excludeAll(check, saleOnly);
  excludeAll(check, {order, library, version, json});

  CLI::App* trace = app.add_subcommand("trace", kTraceDescription);
  trace->add_option("--last", options.traceQuery.last, "only the last N entries")
      ->type_name("N")
      ->check(CLI::Range(std::size_t{1}, std::numeric_limits<std::size_t>::max()).description(""));
  trace->add_flag("--in-doubt", options.traceQuery.inDoubtOnly,
                  "only the sales and refunds that the cash register may have\n"
                  "booked although the box office shows them as failed");
  excludeAll(trace, saleOnly);
  excludeAll(trace, {order, library, version});

  CLI::App* protect = app.add_subcommand("protect-password", kProtectDescription);
  protect->fallthrough(false);
  protect->add_flag("--user-scope", options.userScope, "only the Windows user who runs this command can decrypt it");
  excludeAll(protect, saleOnly);
  excludeAll(protect, {order, library, workdir, version, json});
  app.require_subcommand(0, 1);

  std::vector<const char*> argv{"qelhost"};
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
    if (check->parsed()) options.command = Command::Check;
    if (trace->parsed()) options.command = Command::Trace;
    if (protect->parsed()) options.command = Command::ProtectPassword;
    if (version->count() > 0) options.command = Command::Version;
    if (options.command == Command::Sale && order->count() == 0) throw CLI::RequiredError("ORDER.json");
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return std::nullopt;
  } catch (const CLI::ParseError& e) {
    throw UsageError(e.what());
  }
  try {
    options.answers = parseAnswers(raw.answers);
  } catch (const std::invalid_argument& e) {
    throw UsageError(std::string("--answers: ") + e.what());
  }
  options.prefill = static_cast<std::uint8_t>(raw.prefill);
  if (noInit->count() > 0) options.init = false;
  return options;
}

}  // namespace qel::qelhost
