// Judging the most expensive answers and reading the most expensive
// configuration files that are accepted, all within the size limits.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include "base/xml_parse.h"
#include "bench/hostile_xml.h"
#include "config/connector_config.h"
#include "transport/http_client.h"
#include "transport/kasse_exchange.h"

namespace {

constexpr std::size_t kLimit = qel::HttpClient::kMaxResponseBytes;

void judge(benchmark::State& state, const std::string& answer) {
  state.counters["bytes"] = static_cast<double>(answer.size());
  for (auto _ : state) {
    qel::KasseResponse response;
    qel::evaluateResponseBytes(answer, response);
    benchmark::DoNotOptimize(response.rect);
  }
}

void BM_JudgeOneElementAllAttributes(benchmark::State& state) {
  judge(state,
        qel::bench::answerOfSize(kLimit, [](std::size_t n) { return qel::bench::elementsWithAttributes(n, 0); }));
}
BENCHMARK(BM_JudgeOneElementAllAttributes)->Unit(benchmark::kMillisecond);

// Attributes that parseXml lets through cost tinyxml2 the most here.
void BM_JudgeElementsWithMostKeptAttributes(benchmark::State& state) {
  judge(state, qel::bench::answerOfSize(kLimit, [](std::size_t n) {
          return qel::bench::elementsWithAttributes(n, qel::kMaxParsedAttributes);
        }));
}
BENCHMARK(BM_JudgeElementsWithMostKeptAttributes)->Unit(benchmark::kMillisecond);

void BM_JudgeElementsWithOneAttributeTooMany(benchmark::State& state) {
  judge(state, qel::bench::answerOfSize(kLimit, [](std::size_t n) {
          return qel::bench::elementsWithAttributes(n, qel::kMaxParsedAttributes + 1);
        }));
}
BENCHMARK(BM_JudgeElementsWithOneAttributeTooMany)->Unit(benchmark::kMillisecond);

void BM_JudgeUnclosedReferences(benchmark::State& state) {
  judge(state, qel::bench::answerWithUnclosedReferences(kLimit));
}
BENCHMARK(BM_JudgeUnclosedReferences)->Unit(benchmark::kMillisecond);

// What tinyxml2 costs without attributes: the most elements that fit, side
// by side and at nearly the deepest nesting it accepts.
void BM_JudgeManyEmptyElements(benchmark::State& state) {
  const int depth = static_cast<int>(state.range(0));
  judge(state, qel::bench::answerOfSize(kLimit, [&](std::size_t n) { return qel::bench::emptyElements(n, depth); }));
}
BENCHMARK(BM_JudgeManyEmptyElements)->Arg(0)->Arg(90)->Unit(benchmark::kMillisecond);

// An 8 MiB configuration file; the file has no size limit of its own.
void BM_ReadConfigurationAllAttributes(benchmark::State& state) {
  std::ofstream("QelConnect-hostile.xml", std::ios::binary) << qel::bench::configWithAttributes(kLimit, 0);
  for (auto _ : state) {
    qel::ConnectorConfig config;
    config.loadFromFile("QelConnect-hostile.xml");
    benchmark::DoNotOptimize(config.url.data());
  }
  std::remove("QelConnect-hostile.xml");
}
BENCHMARK(BM_ReadConfigurationAllAttributes)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
