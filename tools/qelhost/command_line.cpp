// qelhost's options and commands as one CLI11 table. Which option goes with
// which command is declared beside the option, so that CLI11 refuses the rest
// in its own words.
#include "tools/qelhost/command_line.h"

#include <chrono>
#include <limits>

#include <CLI/CLI.hpp>

#include "tools/cli/decimal.h"
#include "tools/cli/help_formatter.h"
#include "tools/qelhost/dialog_answerer.h"
#include "tools/qelhost/local_time.h"

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
    "QelConnect.trace.1) as a table, newest last, one row per transaction,\n"
    "each time in UTC and in this computer's local time; --since and --until\n"
    "take local time; with --json as JSON Lines, one object per transaction.";

constexpr char kPendingDescription[] =
    "lists the sales and refunds that the journal of the working folder\n"
    "(QelConnect.journal) holds open, oldest first: in doubt (the cash register\n"
    "may have booked them), interrupted during the transfer, or booked with\n"
    "the tickets not printed; each with its receipt, kind, amount, local time\n"
    "and state. Compare them with the cash register at the end of the day;\n"
    "selling one again asks whether it is booked. With --json as JSON Lines.";

constexpr char kVerifyDescription[] =
    "loads the library (--library, or the one beside qelhost) as the box office\n"
    "does, reads its version and finds its thirteen exports; calls none of\n"
    "them and sends nothing. Exit code 3 when it cannot be loaded.";

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
    "  0  the sale or refund was done, also without a transfer when the operator\n"
    "     confirmed that the cash register had booked an earlier attempt (check:\n"
    "     every step passed; verify: the library loads; pending: the list was\n"
    "     printed)\n"
    "  1  it was not completed, and the cash register holds nothing of it:\n"
    "     cancelled, refused, or failed before the whole order went out\n"
    "     (check: a step failed; trace, pending: no trace or journal in the folder)\n"
    "  2  wrong command line, or an order file or working folder that cannot be used\n"
    "  3  the library cannot be loaded\n"
    "  4  it failed in doubt: the cash register may have booked it; check the\n"
    "     receipt there before selling it again (also: Cancel at the question\n"
    "     about such a receipt, which stays open)\n"
    "  5  the sale was booked and its tickets were not printed (Cancel at\n"
    "     \"Tickets drucken?\", or at the question about such a sale): do not\n"
    "     sell it again\n";

// The values that need more than CLI11's conversion, turned into Options
// once CLI11 has accepted the line.
struct RawValues {
  std::string answers;
  unsigned prefill = 0;
  std::uint32_t receipt = 0;
  std::string since;
  std::string until;
};

constexpr char kLocalTimeForms[] =
    " is no local time: write 2026-12-07 14:32, 2026-12-07 14:32:05, 2026-12-07 or 14:32";

// --since and --until into the query: from the start of the first span to
// the end of the second.
void readTimeBounds(const RawValues& raw, TraceQuery& query) {
  const std::int64_t now =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
          .count();
  if (!raw.since.empty()) {
    const std::optional<LocalSpan> span = parseLocalTime(raw.since, now);
    if (!span) throw UsageError("--since: " + raw.since + kLocalTimeForms);
    query.sinceMs = span->first;
  }
  if (!raw.until.empty()) {
    const std::optional<LocalSpan> span = parseLocalTime(raw.until, now);
    if (!span) throw UsageError("--until: " + raw.until + kLocalTimeForms);
    query.untilMs = span->last;
  }
}

void excludeAll(CLI::App* command, const std::vector<CLI::Option*>& options) {
  for (CLI::Option* option : options) command->excludes(option);
}

// A path that is empty would mean the current folder, or nothing at all.
CLI::Validator notEmpty() {
  return CLI::Validator([](const std::string& text) { return text.empty() ? std::string("must not be empty") : ""; },
                        "", "not empty");
}

// "--workdir=" with nothing after it: CLI11 would take the next argument as
// its value.
void refuseEmptyAssignments(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    if (argument.size() > 3 && argument.rfind("--", 0) == 0 && argument.back() == '=' &&
        argument.find('=') == argument.size() - 1) {
      throw UsageError(argument.substr(0, argument.size() - 1) + ": must not be empty");
    }
  }
}

}  // namespace

std::optional<Options> parseCommandLine(const std::vector<std::string>& arguments, std::ostream& out) {
  Options options;
  RawValues raw;
  CLI::App app{kDescription, "qelhost"};
  cli::useHelpFormatter(app);
  app.footer(kExitCodes);
  // A Unix path (qelhost.exe under Wine, "/tmp/kasse") is a path, not a
  // Windows-style option, whatever the build.
  app.allow_windows_style_options(false);
  // Options of the sale may stand after a command's name as well.
  app.fallthrough();

  CLI::Option* order = app.add_option("ORDER.json", options.orderFile, "the sale or refund to run")->type_name("");
  CLI::Option* answers = app.add_option("--answers", raw.answers,
                                        "answers to the questions in the order they come: ok or\n"
                                        "cancel for OK/Cancel, yes, no or cancel for the question about\n"
                                        "a receipt that may be booked (a sale retried after doubt:\n"
                                        "ok,yes,ok); further questions are asked on standard input")
                             ->type_name("LIST");
  CLI::Option* library =
      app.add_option("--library", options.library, "the library to load (default: the one beside qelhost)")
          ->type_name("PATH")
          ->check(notEmpty());
  CLI::Option* workdir = app.add_option("--workdir", options.workdir,
                                        "the library's working folder (QelConnect.xml, Sales.ini,\n"
                                        "QelConnect.log); default: the current folder")
                             ->type_name("DIR")
                             ->check(notEmpty());
  CLI::Option* noInit = app.add_flag("--no-init", "skip hrECInit, so that QelConnect.log keeps its entries");
  CLI::Option* prefill =
      app.add_option("--prefill", raw.prefill, "fill the result record with BYTE (0-255) before the call")
          ->type_name("BYTE")
          ->transform(cli::decimalInteger())
          ->check(CLI::Range(0, 255).description(""));
  CLI::Option* receipt = app.add_option("--receipt", raw.receipt,
                                        "use receipt number N (Dwbelegnr) in place of the order file's,\n"
                                        "so that each workstation's test sale has a receipt of its own")
                             ->type_name("N")
                             ->transform(cli::decimalInteger())
                             ->check(CLI::Range(std::uint32_t{1}, std::uint32_t{2147483647}).description(""));
  CLI::Option* hold = app.add_flag("--hold", options.hold,
                                   "keep each dialog on screen until a line is read from standard\n"
                                   "input, then answer it (to look at the box)");
  CLI::Option* version = app.add_flag("--version",
                                      "print the library's version, read from its file; with\n"
                                      "--library also load it; then the components built into\n"
                                      "qelhost (QelConnect.spdx.json lists the library's)");
  CLI::Option* json = app.add_flag("--json", options.json,
                                   "print one JSON object with the outcome on standard output\n"
                                   "(trace: one per transaction); the dialogs and the result\n"
                                   "record go to standard error")
                          ->type_name("");
  const std::vector<CLI::Option*> saleOnly{answers, noInit, prefill, hold, receipt};
  for (CLI::Option* option : saleOnly) version->excludes(option);
  version->excludes(order)->excludes(workdir)->excludes(json);

  CLI::App* check = app.add_subcommand("check", kCheckDescription);
  excludeAll(check, saleOnly);
  excludeAll(check, {order, library, version, json});

  CLI::App* trace = app.add_subcommand("trace", kTraceDescription);
  trace->add_option("--last", options.traceQuery.last, "only the last N entries")
      ->type_name("N")
      ->transform(cli::decimalInteger())
      ->check(CLI::Range(std::size_t{1}, std::numeric_limits<std::size_t>::max()).description(""));
  trace->add_flag("--in-doubt", options.traceQuery.inDoubtOnly,
                  "only the sales and refunds that the cash register may have\n"
                  "booked although the box office shows them as failed");
  trace->add_option("--since", raw.since, "only the entries from this local time on (2026-12-07 14:32)")
      ->type_name("TIME")
      ->check(notEmpty());
  trace
      ->add_option("--until", raw.until,
                   "only the entries up to this local time, the last minute (or\nsecond, or day) given included")
      ->type_name("TIME")
      ->check(notEmpty());
  excludeAll(trace, saleOnly);
  excludeAll(trace, {order, library, version});

  CLI::App* pending = app.add_subcommand("pending", kPendingDescription);
  excludeAll(pending, saleOnly);
  excludeAll(pending, {order, library, version});

  CLI::App* verify = app.add_subcommand("verify", kVerifyDescription);
  excludeAll(verify, saleOnly);
  excludeAll(verify, {order, workdir, version});

  CLI::App* protect = app.add_subcommand("protect-password", kProtectDescription);
  protect->fallthrough(false);
  protect->add_flag("--user-scope", options.userScope, "only the Windows user who runs this command can decrypt it");
  excludeAll(protect, saleOnly);
  excludeAll(protect, {order, library, workdir, version, json});
  app.require_subcommand(0, 1);

  refuseEmptyAssignments(arguments);
  std::vector<const char*> argv{"qelhost"};
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
    if (check->parsed()) options.command = Command::Check;
    if (trace->parsed()) options.command = Command::Trace;
    if (pending->parsed()) options.command = Command::Pending;
    if (protect->parsed()) options.command = Command::ProtectPassword;
    if (verify->parsed()) options.command = Command::Verify;
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
  if (receipt->count() > 0) options.receipt = raw.receipt;
  readTimeBounds(raw, options.traceQuery);
  if (noInit->count() > 0) options.init = false;
  return options;
}

}  // namespace qel::qelhost
