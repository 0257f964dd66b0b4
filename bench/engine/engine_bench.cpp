// The engine's whole runs as every front end calls them: the case built from
// the panel's values (closed form and landing time included), the run with
// its columns, exact positions and errors. bench/python/bench.py makes the
// same calls from Python and sets its times beside these.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "ballisticssetup.h"
#include "runs.h"

namespace {

// The start-up shot at a time step of 1e-5 s: 142 thousand steps.
BallisticsPanelValues fineShot() {
  BallisticsPanelValues v;
  v.timeStep = 1e-5;
  return v;
}

std::shared_ptr<const ButcherTableau> rk4Tableau() {
  auto t = std::make_shared<ButcherTableau>();
  t->name = "rk4-tableau";
  t->a = {{}, {0.5}, {0.0, 0.5}, {0.0, 0.0, 1.0}};
  t->b = {1.0 / 6, 1.0 / 3, 1.0 / 3, 1.0 / 6};
  t->c = {0.0, 0.5, 0.5, 1.0};
  return t;
}

// range(0): a scheme of kSchemes, or -1 for RK4 as a tableau; range(1): precision.
void BM_FineFlight(benchmark::State& st) {
  const RunScheme scheme = st.range(0) < 0 ? RunScheme() : RunScheme(&kSchemes[st.range(0)]);
  RunScheme run = scheme;
  if (st.range(0) < 0) run.tableau = rk4Tableau();
  const Precision precision = st.range(1) == 0 ? Precision::Single : Precision::Double;
  long long steps = 0;
  for (auto _ : st) {
    const FlightCase c(ballisticsParamsFromPanel(fineShot()));
    const FlightRun r = runFlight(c, run, precision);
    steps = r.steps;
    benchmark::DoNotOptimize(r.pathError.data());
  }
  st.SetLabel(run.name() + " " + precisionName(precision));
  st.counters["steps"] = static_cast<double>(steps);
}
BENCHMARK(BM_FineFlight)
    ->ArgsProduct({{-1, 0, 1, 2, 4}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
