// The fixed work of every transaction, step by step: what a small sale
// costs besides its POST. Run in a working folder with QelConnect.xml and
// Sales.ini, as the host leaves it; the log written goes there too.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <string>

#include "bench/bench_orders.h"
#include "config/connector_config.h"
#include "host/payment_result.h"
#include "host/terminal_id_reader.h"
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
  const qel::hostkit::HostSale sale(qel::bench::makeSale({1, 2, false, 0}));
  for (auto _ : state) {
    qel::Order order;
    order.fillFromHostOrder(qel::HostOrderRecord(sale.record()));
    benchmark::DoNotOptimize(&order);
  }
}
BENCHMARK(BM_DecodeSmallSale);

void BM_BuildSmallEnvelope(benchmark::State& state) {
  const qel::hostkit::HostSale sale(qel::bench::makeSale({1, 2, false, 0}));
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

}  // namespace

int main(int argc, char** argv) {
  prepareWorkingFolder();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
