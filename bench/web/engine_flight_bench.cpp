// The native engine's fine flight (time step 1e-5), run after run in one
// process as the page's worker runs it: the figure bench/web/page_bench.mjs
// sets the WebAssembly flight against. The counter wall_ms is the best
// run's own wall time (FlightRun::wallMs, the model's loop), the figure the
// page reports too.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "ballisticssetup.h"
#include "runs.h"

namespace {

void BM_EngineFineFlight(benchmark::State& st) {
  BallisticsPanelValues v;
  v.timeStep = 1e-5;
  const FlightCase c(ballisticsParamsFromPanel(v));
  const SchemeInfo* scheme = &kSchemes[st.range(0)];
  double best = 1e300;
  for (auto _ : st) {
    const FlightRun r = runFlight(c, scheme);
    best = std::min(best, r.wallMs);
    benchmark::DoNotOptimize(r.steps);
  }
  st.counters["wall_ms"] = best;
  st.SetLabel(std::string(scheme->name));
}
BENCHMARK(BM_EngineFineFlight)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
