// What pbsim-study's work costs: the default convergence studies of both
// models, with and without the double-precision rows, the figures, and the
// price of watching a flight (the observer the study records with) beside
// the model's own silent flight.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <string>

#include "ballisticssetup.h"
#include "ballisticssim.h"
#include "convergencestudy.h"
#include "figures.h"
#include "springmasssetup.h"
#include "studies.h"

namespace {

std::vector<RunScheme> allSchemes() { return {&kSchemes[0], &kSchemes[1], &kSchemes[2]}; }

// pbsim-study convergence flight|spring [--double], with its defaults.
template <class Case>
ConvergenceSettings defaultSettings(const Case& c, bool withDouble) {
  ConvergenceSettings settings;
  settings.withDouble = withDouble;
  if (prepareConvergence(c, settings)) std::abort();
  return settings;
}

FlightConvergence flightConvergence(bool withDouble) {
  const FlightCase c(startUpBallisticsParams());
  return runConvergence(c, allSchemes(), defaultSettings(c, withDouble));
}

SpringConvergence springConvergence(bool withDouble) {
  const SpringCase c(startUpSpringParams());
  return runConvergence(c, allSchemes(), defaultSettings(c, withDouble));
}

void BM_Convergence(benchmark::State& st) {
  const bool flight = st.range(0) == 0;
  const bool withDouble = st.range(1) != 0;
  for (auto _ : st)
    benchmark::DoNotOptimize(
        (flight ? flightConvergence(withDouble).rows : springConvergence(withDouble).rows).data());
  st.SetLabel(std::string(flight ? "flight" : "spring") + (withDouble ? " --double" : ""));
}
BENCHMARK(BM_Convergence)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Rendering only: the study is made once, the figure drawn into a scratch file.
void BM_Figure(benchmark::State& st) {
  static const char* const kinds[] = {"flight", "spring", "convergence"};
  static const char* const files[] = {"figure.svg", "figure.png", "figure.pdf"};
  const int kind = static_cast<int>(st.range(0)), format = static_cast<int>(st.range(1));
  std::vector<Chart> charts;
  if (kind == 0) charts = ::charts(runStudy(FlightCase(startUpBallisticsParams()), allSchemes()));
  if (kind == 1) charts = ::charts(runStudy(SpringCase(startUpSpringParams()), allSchemes()));
  if (kind == 2) charts = ::charts(flightConvergence(true));
  char dir[] = "/tmp/pbsim-study-bench-XXXXXX";
  if (!mkdtemp(dir)) std::abort();
  const std::string path = std::string(dir) + "/" + files[format];
  for (auto _ : st) {
    const std::string error = renderCharts(path, plotDevice(path), charts);
    if (!error.empty()) st.SkipWithError(error.c_str());
  }
  unlink(path.c_str());
  rmdir(dir);
  st.SetLabel(std::string(kinds[kind]) + " " + files[format]);
}
BENCHMARK(BM_Figure)
    ->ArgsProduct({{0, 1, 2}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A long flight (1e-5 s steps, 142 thousand of them) flown silently by the
// model, and flown as the study flies it: an observer that keeps the last
// position. The difference is the study's cost per step.
void fineFlight(benchmark::State& st, bool observed) {
  BallisticsSim sim;
  sim.params = startUpBallisticsParams();
  sim.params.timeStep = 1e-5f;
  sim.setScheme(static_cast<int>(st.range(0)));
  Vector3f last;
  FlightResult result;
  for (auto _ : st) {
    result = observed ? sim.fly([&last](int, const StateList& s) { last = s[0]; }) : sim.fly();
    benchmark::DoNotOptimize(last);
    benchmark::DoNotOptimize(sim.trajectory.data());
  }
  st.SetLabel(std::string(schemeInfo(sim.scheme)->title) + (observed ? " observed" : " silent"));
  st.counters["steps"] = result.steps;
}
void BM_FineFlightSilent(benchmark::State& st) { fineFlight(st, false); }
void BM_FineFlightObserved(benchmark::State& st) { fineFlight(st, true); }
BENCHMARK(BM_FineFlightSilent)->DenseRange(Euler, RK4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FineFlightObserved)->DenseRange(Euler, RK4)->Unit(benchmark::kMillisecond);

// The whole `pbsim-study flight --dt 1e-5`: three flights plus the errors
// against the exact solution at every point.
void BM_FineFlightStudy(benchmark::State& st) {
  BallisticsParams params = startUpBallisticsParams();
  params.timeStep = 1e-5f;
  const FlightCase c(params);
  for (auto _ : st) benchmark::DoNotOptimize(runStudy(c, allSchemes()).runs.data());
}
BENCHMARK(BM_FineFlightStudy)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
