// soak: runs thousands of sales and refunds in one process through the
// library's exports against kasse-sim answering with a mix of outcomes, and
// checks that the library holds steady: every call ends as the answer
// demands, memory does not grow between the 1,000th and the last sale, and
// no file descriptor (Windows: handle) is left open.
// The working folder receives QelConnect.xml and QelConnect.log. Receipt
// numbers count from --first (default 1), which picks the answers; --library
// names the library to load (default: the one beside soak).
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>

#include <CLI/CLI.hpp>

#include "boxoffice/box_answerer.h"
#include "boxoffice/host_library.h"
#include "boxoffice/host_sale.h"
#include "boxoffice/payment_records.h"
#include "harness/soak/process_stats.h"
#include "host/qelconnect.h"
#include "tools/cli/help_formatter.h"

namespace qel::soak {
namespace {

constexpr std::size_t kMiB = 1024 * 1024;
// Memory is compared from this sale on: by then every cache of the process
// (allocator arenas, libcurl's and the C library's own) has settled.
constexpr int kSettledSale = 1000;
constexpr double kMaxGrowthBytes = 1.0 * kMiB;
constexpr int kProgressEvery = 500;

constexpr std::size_t kSaleBelegnr = 12;
constexpr std::size_t kSaleId = 8;

struct Options {
  std::string url;
  int accepted = 0, refused = 0, failed = 0, silent = 0;
  int sales = 10000;
  int refunds = 1000;
  int first = 1;
  std::string library;
};

constexpr char kDescription[] =
    "soak: runs thousands of sales and refunds in one process through the library's exports against\n"
    "kasse-sim answering with the same --mix, and checks that every call ends as its answer demands, that\n"
    "memory does not grow between the 1,000th and the last sale and that no descriptor is left open.";

// The command line into `o`; an exit code when the program should end at
// once (help, or a wrong command line).
std::optional<int> parse(int argc, char** argv, Options& o) {
  CLI::App app{kDescription, "soak"};
  cli::useHelpFormatter(app);
  std::string mix;
  app.add_option("--url", o.url, "the cash register's url")->required();
  app.add_option("--mix", mix,
                 "kasse-sim's mix of answers per receipt, A:R:E:T (accepted, refused, status 500, silent)")
      ->required()
      ->check([&o](const std::string& text) -> std::string {
        char end = 0;
        const bool read =
            std::sscanf(text.c_str(), "%d:%d:%d:%d%c", &o.accepted, &o.refused, &o.failed, &o.silent, &end) == 4;
        if (!read || o.accepted < 0 || o.refused < 0 || o.failed < 0 || o.silent < 0 ||
            o.accepted + o.refused + o.failed + o.silent <= 0) {
          return "a mix is four counts A:R:E:T, not all 0";
        }
        return "";
      });
  app.add_option("--sales", o.sales, "sales to run")->capture_default_str()->check(CLI::Range(0, 10000000));
  app.add_option("--refunds", o.refunds, "refunds to run")->capture_default_str()->check(CLI::Range(0, 10000000));
  app.add_option("--first", o.first, "receipt of the first sale")
      ->capture_default_str()
      ->check(CLI::Range(0, 2000000000));
  app.add_option("--library", o.library, "the library to load (default: the one beside soak)");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  return std::nullopt;
}

// What kasse-sim answers for a receipt number under the same mix.
enum class Answer { Accepted, Refused, Failed, Silent };

Answer answerFor(const Options& o, int belegnr) {
  const int slot = belegnr % (o.accepted + o.refused + o.failed + o.silent);
  if (slot < o.accepted) return Answer::Accepted;
  if (slot < o.accepted + o.refused) return Answer::Refused;
  if (slot < o.accepted + o.refused + o.failed) return Answer::Failed;
  return Answer::Silent;
}

struct Tally {
  int count[4] = {};
  int wrong = 0;
  double seconds = 0;
  double silentSeconds = 0;
};

// One call with every box answered OK, timed and checked against the answer
// it must have met. Each call has an answerer of its own, so that the record
// of answered boxes does not grow over the run.
template <typename Call>
void run(const boxoffice::HostLibrary& library, Tally& tally, Answer answer, int expectedBoxes,
         std::int32_t expectedCode, const char* what, int number, Call call) {
  boxoffice::BoxAnswerer answerer(library, [](const boxoffice::ShownDialog&) { return boxoffice::kIdOk; });
  const auto start = std::chrono::steady_clock::now();
  const std::int32_t code = call();
  const int boxes = static_cast<int>(answerer.dialogs().size());
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  tally.seconds += seconds;
  if (answer == Answer::Silent) tally.silentSeconds += seconds;
  ++tally.count[static_cast<int>(answer)];
  if (code != expectedCode || boxes != expectedBoxes) {
    ++tally.wrong;
    std::fprintf(stderr, "soak: %s %d returned 0x%08X with %d boxes, expected 0x%08X with %d\n", what, number,
                 static_cast<unsigned>(code), boxes, static_cast<unsigned>(expectedCode), expectedBoxes);
  }
}

void printStats(const char* when, const ProcessStats& s) {
  std::printf("  %-22s RSS %7zu KiB  peak RSS %7zu KiB  %s %9zu B  %s %zu\n", when, s.residentKiB, s.peakResidentKiB,
              kHeapName, s.heapInUseBytes, kDescriptorName, s.openDescriptors);
}

void printTally(const char* what, int n, const Tally& t) {
  const double busy = t.seconds - t.silentSeconds;
  const int answered = n - t.count[static_cast<int>(Answer::Silent)];
  std::printf(
      "%s: %d in %.1f s (accepted %d, refused %d, status 500 %d, time-outs %d); %.0f per second "
      "without the time-outs (%.2f ms each)\n",
      what, n, t.seconds, t.count[0], t.count[1], t.count[2], t.count[3], answered > 0 ? answered / busy : 0.0,
      answered > 0 ? 1000.0 * busy / answered : 0.0);
}

int soak(const Options& o) {
  std::ofstream("QelConnect.xml", std::ios::binary)
      << "<endpoint><username>kasse</username><password>geheim</password><url>" << o.url
      << "</url></endpoint><compatibility><oldkasse>0</oldkasse><oldkasseprefix>0</oldkasseprefix></compatibility>";
  const boxoffice::HostLibrary library(o.library.empty() ? boxoffice::HostLibrary::besideProgram()
                                                         : std::filesystem::path(o.library));
  std::uint32_t module = 0;
  library.init()(nullptr, &module);

  boxoffice::SaleBytes bytes;
  bytes.bruttogesamtpreis = 42.5;
  bytes.poolId = 77;
  boxoffice::PositionBytes position;
  position.id = 1;
  position.gesamtpreis = 42.5;
  position.event = {9, 123, 5, 1700000000, 1700007200, "Sommernachtstraum"};
  position.tickets = {{501, 1.5, 1.0, 20.0}, {502, 1.5, 1.0, 22.5}};
  bytes.positions = {position, position};
  boxoffice::HostSale sale(bytes);
  std::uint8_t paymentType[8] = {};
  std::uint8_t result[boxoffice::kResultRecordSize];

  const ProcessStats start = currentStats();
  ProcessStats settled = start;
  Tally sales;
  for (int i = 1; i <= o.sales; ++i) {
    const int belegnr = o.first + i - 1;
    boxoffice::HostSale::put<std::int32_t>(sale.header(), kSaleBelegnr, belegnr);
    boxoffice::HostSale::put<std::int32_t>(sale.header(), kSaleId, 100000 + i);
    const Answer answer = answerFor(o, belegnr);
    const std::int32_t expected = answer == Answer::Accepted ? 0 : QEL_NOT_COMPLETED;
    const auto execute = library.execute();
    run(library, sales, answer, 2, expected, "sale", belegnr,
        [&] { return execute(nullptr, nullptr, sale.record(), paymentType, nullptr, result); });
    if (i == kSettledSale) settled = currentStats();
    if (i % kProgressEvery == 0) {
      const ProcessStats now = currentStats();
      std::printf("  sale %5d: %.1f s, RSS %zu KiB, %s %zu B, %s %zu\n", i, sales.seconds, now.residentKiB, kHeapName,
                  now.heapInUseBytes, kDescriptorName, now.openDescriptors);
      std::fflush(stdout);
    }
  }
  const ProcessStats afterSales = currentStats();

  Tally refunds;
  for (int i = 1; i <= o.refunds; ++i) {
    const int belegnr = o.first + i - 1;
    const boxoffice::RefundRecord refund = boxoffice::hostRefund({belegnr, -42.5, "EUR", 200000 + i});
    const Answer answer = answerFor(o, belegnr);
    const bool accepted = answer == Answer::Accepted;
    const auto refundCall = library.refund();
    run(library, refunds, answer, accepted ? 0 : 1, accepted ? 0 : QEL_NOT_COMPLETED, "refund", belegnr,
        [&] { return refundCall(nullptr, nullptr, refund.data()); });
  }
  std::uint32_t out = 0;
  library.deinit()(&out);
  const ProcessStats end = currentStats();

  std::printf("\n");
  printTally("sales", o.sales, sales);
  printTally("refunds", o.refunds, refunds);
  printStats("before the first sale", start);
  if (o.sales > kSettledSale) printStats("after sale 1,000", settled);
  printStats("after the last sale", afterSales);
  printStats("at the end", end);

  bool ok = sales.wrong == 0 && refunds.wrong == 0;
  if (!ok) std::printf("FAIL: %d calls ended otherwise than their answer demands\n", sales.wrong + refunds.wrong);
  if (o.sales > kSettledSale) {
    const double heapGrowth = static_cast<double>(afterSales.heapInUseBytes) - settled.heapInUseBytes;
    const double rssGrowth = (static_cast<double>(afterSales.residentKiB) - settled.residentKiB) * 1024.0;
    std::printf("growth from sale 1,000 to sale %d: %s %+.0f B, RSS %+.0f KiB (limit 1 MiB each)\n", o.sales, kHeapName,
                heapGrowth, rssGrowth / 1024.0);
    if (heapGrowth >= kMaxGrowthBytes || rssGrowth >= kMaxGrowthBytes) {
      std::printf("FAIL: memory grew by 1 MiB or more\n");
      ok = false;
    }
  }
  // Like memory, descriptors are compared from the 1,000th sale on: the first
  // transfers open what the process keeps for its life (Winsock's and the
  // window system's handles under Windows, for one).
  const ProcessStats& baseline = o.sales > kSettledSale ? settled : start;
  if (o.sales > kSettledSale) {
    std::printf("%s: %zu before the first sale, %zu after sale %d, %zu at the end\n", kDescriptorName,
                start.openDescriptors, settled.openDescriptors, kSettledSale, end.openDescriptors);
  } else {
    std::printf("%s: %zu before, %zu after\n", kDescriptorName, start.openDescriptors, end.openDescriptors);
  }
  if (end.openDescriptors > baseline.openDescriptors) {
    std::printf("FAIL: %s were left open\n", kDescriptorName);
    ok = false;
  }
  std::printf("%s\n", ok ? "soak: PASS" : "soak: FAIL");
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace qel::soak

int main(int argc, char** argv) {
  qel::soak::Options options;
  if (const auto code = qel::soak::parse(argc, argv, options)) return *code;
  return qel::soak::soak(options);
}
