// Rendering time of the request against the size of the order, to show that
// it grows linearly, with the bytes written per second and the heap that the
// rendering needs at its peak. What is measured is what a transfer does
// before it posts: the order document rendered into the envelope, as the
// UTF-8 bytes that are sent.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/bench_orders.h"
#include "bench/heap_counter.h"
#include "order/host_records.h"
#include "order/order.h"
#include "transport/kasse_exchange.h"

namespace {

constexpr int kTicketsPerPosition = 10;
constexpr int kAdditionalFees = 100;

// A sale of `positions` positions with ten tickets each, the four fixed fees
// and a hundred additional fees, decoded from the host's bytes.
qel::Order makeOrder(int positions) {
  const qel::boxoffice::HostSale sale(qel::bench::makeSale({positions, kTicketsPerPosition, true, kAdditionalFees}));
  qel::Order order;
  order.setTerminalId(L"12");
  order.fillFromHostOrder(qel::HostOrderRecord(sale.record()));
  return order;
}

void BM_RenderOrder(benchmark::State& state) {
  const qel::Order order = makeOrder(static_cast<int>(state.range(0)));
  std::size_t wireBytes = 0;
  std::size_t peak = 0;
  {
    const qel::bench::HeapPeak heap;
    wireBytes = qel::buildEnvelope(order).size();
    peak = heap.peak();
  }
  for (auto _ : state) {
    qel::TextBuffer envelope = qel::buildEnvelope(order);
    benchmark::DoNotOptimize(envelope.data());
  }
  const auto tickets = static_cast<double>(state.range(0) * kTicketsPerPosition);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * wireBytes));
  state.counters["wire_bytes"] = static_cast<double>(wireBytes);
  state.counters["tickets"] = tickets;
  state.counters["peak_heap_bytes"] = static_cast<double>(peak);
  state.counters["peak_per_wire_byte"] = static_cast<double>(peak) / static_cast<double>(wireBytes);
  state.counters["per_ticket"] =
      benchmark::Counter(tickets, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RenderOrder)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
