// One search pass by each engine: the step-by-step reference and the fast
// search, over the same numbers, with and without reordering; the fast one
// also with exact arithmetic.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "generator/answer.h"
#include "generator/fast_search.h"
#include "generator/reference_search.h"
#include "generator/tables.h"

namespace {

const std::vector<int32_t> kNumbers = {3, 7, 9, 12, 5, 8, 4};

// The case's numbers and settings: arguments parameter count, reordering.
struct Case {
  explicit Case(const benchmark::State& state)
      : n(static_cast<int32_t>(state.range(0))), parameters(kNumbers.begin(), kNumbers.begin() + n),
        tables(generator::buildTables(n)) {
    settings.orderSwap = state.range(1) != 0;
  }
  int32_t n;
  std::vector<int32_t> parameters;
  generator::Settings settings;
  generator::Tables tables;
  generator::SearchMonitor monitor;  // shows nothing, never stops
};

void searchPass(benchmark::State& state, generator::SearchEngine engine,
                generator::Arithmetic arithmetic = generator::Arithmetic::Float) {
  Case c(state);
  generator::AnswerCollector collector(c.settings);
  for (auto _ : state) {
    engine(c.parameters, {c.settings, c.tables, c.monitor, 1, arithmetic}, collector);
    benchmark::DoNotOptimize(collector.collectedCount());
  }
  state.counters["collected"] = static_cast<double>(collector.collectedCount());
}

// One pass of the fast engine in a process of its own, as arithsolve --count
// and the game make it: its time, and the process's peak resident memory.
void PeakMemory(benchmark::State& state) {
  for (auto _ : state) {
    const pid_t child = fork();
    if (child == 0) {
      Case c(state);
      generator::AnswerCollector collector(c.settings);
      generator::runSearchPass(c.parameters, {c.settings, c.tables, c.monitor}, collector);
      _exit(collector.collectedCount() > 0 ? 0 : 1);
    }
    int status = 0;
    struct rusage usage {};
    wait4(child, &status, 0, &usage);
    state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024;
  }
}

void Reference(benchmark::State& state) { searchPass(state, generator::runSearchPassReference); }
void Fast(benchmark::State& state) { searchPass(state, generator::runSearchPass); }
void FastExact(benchmark::State& state) {
  searchPass(state, generator::runSearchPass, generator::Arithmetic::Exact);
}

// Arguments: parameter count, reordering. The reference only where one
// pass takes less than a minute.
#define SEARCH_CASES ->Args({4, 0})->Args({4, 1})->Args({5, 0})->Args({5, 1})->Args({6, 0})
BENCHMARK(Reference) SEARCH_CASES->Unit(benchmark::kMillisecond);
BENCHMARK(Fast) SEARCH_CASES->Unit(benchmark::kMillisecond);
BENCHMARK(Reference)->Args({6, 1})->Args({7, 0})->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Fast)->Args({6, 1})->Args({7, 0})->Unit(benchmark::kMillisecond);
BENCHMARK(Fast)->Args({7, 1})->Iterations(1)->Unit(benchmark::kMillisecond);
// Exact arithmetic beside the doubles above.
BENCHMARK(FastExact)->Args({6, 0})->Args({6, 1})->Args({7, 0})->Unit(benchmark::kMillisecond);
BENCHMARK(FastExact)->Args({7, 1})->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(PeakMemory)->Args({6, 0})->Args({6, 1})->Args({7, 0})->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(PeakMemory)->Args({7, 1})->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
