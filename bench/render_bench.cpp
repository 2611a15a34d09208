// Rendering time of the order document against the number of positions, to
// show that it grows linearly with the order.
#include <benchmark/benchmark.h>

#include <string>

#include "order/host_records.h"
#include "order/order.h"
#include "platform/platform.h"
#include "render/order_document.h"
#include "tests/support/host_sale.h"

namespace {

constexpr int kTicketsPerPosition = 10;
constexpr int kAdditionalFees = 100;

// A sale of `positions` positions with ten tickets each, four fixed fees and
// a hundred additional fees, decoded from the host's bytes.
qel::Order makeOrder(int positions) {
  qel::test::SaleBytes bytes;
  bytes.id = 4711;
  bytes.belegnummer = 815;
  bytes.bruttogesamtpreis = 12345.67;
  bytes.poolId = 7;
  for (int i = 0; i < positions; ++i) {
    qel::test::PositionBytes position;
    position.id = i;
    position.gesamtpreis = 10.0 * i + 0.355;
    position.event = {i, 100 + i, i % 7, 1700000000 + i, 1700003600 + i, "Konzert & Lesung <Saal " + std::to_string(i) + ">"};
    for (int k = 0; k < kTicketsPerPosition; ++k) position.tickets.push_back({i * 100 + k, 1.5, 0.25, 35.125});
    bytes.positions.push_back(std::move(position));
  }
  bytes.versandkosten = {1, "EUR", 5.95, 19.0};
  bytes.auftragsgebuehr = {1, "EUR", 2.0, 19.0};
  bytes.ticketversicherung = {1, "EUR", 3.0, 19.0};
  bytes.vorverkaufsgebuehr = {1, "EUR", 119.0, 19.0};
  for (int j = 0; j < kAdditionalFees; ++j) bytes.zusatzgebuehren.push_back({"Gebuehr " + std::to_string(j), "EUR", 1.005 * j, 7.0});
  const qel::test::HostSale sale(bytes);
  qel::Order order;
  order.setTerminalId(L"12");
  order.fillFromHostOrder(qel::HostOrderRecord(sale.record()));
  return order;
}

void BM_RenderOrder(benchmark::State& state) {
  const qel::Order order = makeOrder(static_cast<int>(state.range(0)));
  const std::size_t wireBytes = qel::platform::wideToUtf8(qel::renderOrder(order)).size();
  for (auto _ : state) {
    std::wstring document = qel::renderOrder(order);
    benchmark::DoNotOptimize(document.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * wireBytes));
  state.counters["doc_bytes"] = static_cast<double>(wireBytes);
}
BENCHMARK(BM_RenderOrder)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
