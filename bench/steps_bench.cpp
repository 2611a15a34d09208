// The fixed work of every transaction, step by step: what a small sale
// costs besides its POST. Run in a working folder with QelConnect.xml and
// Sales.ini, as the host leaves it; the log written goes there too.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "base/utc_time.h"
#include "bench/bench_orders.h"
#include "config/connector_config.h"
#include "host/payment_result.h"
#include "host/terminal_id_reader.h"
#include "host/trace_line.h"
#include "host/trace_schema.h"
#include "host/transaction_journal.h"
#include "host/transaction_trace.h"
#include "order/host_records.h"
#include "order/order.h"
#include "platform/platform.h"
#include "transport/kasse_exchange.h"

namespace {

const char kAnswer[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><env:Envelope xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\">"
    "<env:Header/><env:Body><n0:_-qel_-kasVubWsQuendalSalesResponse "
    "xmlns:n0=\"urn:sap-com:document:sap:soap:functions:mc-style\"><ExRect><Rect>0</Rect><Rectmsg>OK</Rectmsg>"
    "</ExRect></n0:_-qel_-kasVubWsQuendalSalesResponse></env:Body></env:Envelope>";

void prepareWorkingFolder() {
  std::ofstream("QelConnect.xml", std::ios::binary)
      << "<endpoint><username>kasse</username><password>geheim</password>"
         "<url>http://127.0.0.1:8080/sap/bc/srt/kasse</url></endpoint>"
         "<compatibility><oldkasse>0</oldkasse><oldkasseprefix>0</oldkasseprefix></compatibility>";
  std::ofstream("Sales.ini", std::ios::binary) << "[Kasse]\r\nTerminalID=12\r\n";
}

void BM_ReadConfiguration(benchmark::State& state) {
  for (auto _ : state) {
    qel::ConnectorConfig config;
    config.loadFromFile("QelConnect.xml");
    benchmark::DoNotOptimize(config.url.data());
  }
}
BENCHMARK(BM_ReadConfiguration);

void BM_ReadTerminalId(benchmark::State& state) {
  for (auto _ : state) {
    qel::TerminalIdReader reader;
    benchmark::DoNotOptimize(reader.terminalId().data());
  }
}
BENCHMARK(BM_ReadTerminalId);

void BM_DecodeSmallSale(benchmark::State& state) {
  const qel::boxoffice::HostSale sale(qel::bench::makeSale({1, 2, false, 0}));
  for (auto _ : state) {
    qel::Order order;
    order.fillFromHostOrder(qel::HostOrderRecord(sale.record()));
    benchmark::DoNotOptimize(&order);
  }
}
BENCHMARK(BM_DecodeSmallSale);

void BM_BuildSmallEnvelope(benchmark::State& state) {
  const qel::boxoffice::HostSale sale(qel::bench::makeSale({1, 2, false, 0}));
  qel::Order order;
  order.fillFromHostOrder(qel::HostOrderRecord(sale.record()));
  for (auto _ : state) {
    qel::TextBuffer envelope = qel::buildEnvelope(order);
    benchmark::DoNotOptimize(envelope.data());
  }
}
BENCHMARK(BM_BuildSmallEnvelope);

void BM_EvaluateAnswer(benchmark::State& state) {
  // The bytes as the transfer receives them.
  const std::string body = kAnswer;
  for (auto _ : state) {
    qel::KasseResponse response;
    qel::evaluateResponseBytes(body, response);
    benchmark::DoNotOptimize(response.rect);
  }
}
BENCHMARK(BM_EvaluateAnswer);

void BM_LogResult(benchmark::State& state) {
  std::array<std::uint8_t, 3338> record{};
  for (auto _ : state) qel::logPaymentResult(record.data(), 0);
}
BENCHMARK(BM_LogResult);

// One trace line of a small sale (about 400 bytes), rotation included once
// the file is full.
void BM_TraceLine(benchmark::State& state) {
  const std::string line = std::string(400, 'y') + "\n";
  for (auto _ : state)
    qel::platform::appendRecord("QelConnect.trace", line, std::uint64_t{10} << 20, "QelConnect.trace.1");
}
BENCHMARK(BM_TraceLine);

// A small sale's journal line as the transaction writes it.
std::string journalLine(const char* outcome, std::int32_t receipt = 100234) {
  qel::TraceEntry entry;
  entry.time = qel::isoUtc(qel::platform::utcMilliseconds());
  entry.id = qel::newTransactionId();
  entry.order = qel::TracedOrder{4711, receipt, 98.4, L"12"};
  entry.url = L"http://127.0.0.1:8080/sap/bc/srt/kasse";
  entry.outcome = outcome;
  return qel::formatTraceLine(entry, nullptr);
}

// The journal's two lines of a small sale formatted, as the transaction
// does it: the one written before the request goes out and the one of its
// outcome.
void BM_JournalTwoLines(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(journalLine(qel::trace::outcome::kSending));
    benchmark::DoNotOptimize(journalLine(qel::trace::outcome::kAccepted));
  }
}
BENCHMARK(BM_JournalTwoLines);

// The same two lines appended to the journal.
void BM_JournalTwoAppends(benchmark::State& state) {
  std::remove(qel::journal::kFileName);
  const std::string sending = journalLine(qel::trace::outcome::kSending);
  const std::string accepted = journalLine(qel::trace::outcome::kAccepted);
  qel::TransactionJournal journal;
  for (auto _ : state) {
    journal.append(sending);
    journal.append(accepted);
  }
  std::remove(qel::journal::kFileName);
}
BENCHMARK(BM_JournalTwoAppends);

// The look-up before the transfer, in a journal of one open transaction and
// closed ones up to the size at which it is compacted.
void BM_JournalLookUp(benchmark::State& state) {
  std::string journal = journalLine(qel::trace::outcome::kInDoubt, 100235);
  while (journal.size() < qel::kJournalCompactBytes - 512) journal += journalLine(qel::trace::outcome::kAccepted);
  std::ofstream(qel::journal::kFileName, std::ios::binary) << journal;
  qel::TransactionJournal lookUp;
  for (auto _ : state) benchmark::DoNotOptimize(lookUp.earlierAttempt(qel::TransactionKind::Sale, 100236));
  std::remove(qel::journal::kFileName);
}
BENCHMARK(BM_JournalLookUp);

}  // namespace

int main(int argc, char** argv) {
  prepareWorkingFolder();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
