// "Recompute" in both panels at the start-up settings and at a time step of
// 1e-5, timed around the whole callback; the counter TimeTaken is what the
// panel's "Time Taken" output shows (the span of runSimulation only).
//   xvfb-run -a build/dev/bench/app/app_bench

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Value_Input.H>
#include <FL/Fl_Value_Output.H>
#include <GL/freeglut.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "ballisticsapp.h"
#include "springmassapp.h"

namespace {

// The console lines of every recomputation go to /dev/null while it runs.
template <class Action>
void quietly(Action action) {
  fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, STDOUT_FILENO);
  action();
  fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(null);
  close(saved);
}

void recomputeBallistics(benchmark::State& state) {
  ballisticspanel::timeStepInput->value(state.range(0) == 0 ? 0.1 : 1e-5);
  double taken = 0.0;
  for (auto _ : state) {
    quietly([] { ballisticspanel::recomputeCallback(nullptr, nullptr); });
    taken += ballisticspanel::timeTakenOutput->value();
  }
  state.counters["TimeTaken"] = taken / static_cast<double>(state.iterations());
  state.counters["points"] = static_cast<double>(ballisticsApp.view.eulerTrajectory.size() +
                                                 ballisticsApp.view.midpointTrajectory.size() +
                                                 ballisticsApp.view.rk4Trajectory.size());
  Fl::check();  // let the view repaint between runs
}
BENCHMARK(recomputeBallistics)->Arg(0)->Arg(1)->ArgName("step1e-5")->Unit(benchmark::kMillisecond);

void recomputeSpringMass(benchmark::State& state) {
  springmasspanel::timeStepInput->value(state.range(0) == 0 ? 0.1 : 1e-5);
  double taken = 0.0;
  for (auto _ : state) {
    quietly([] { springmasspanel::recomputeCallback(nullptr, nullptr); });
    taken += springmasspanel::timeTakenOutput->value();
  }
  state.counters["TimeTaken"] = taken / static_cast<double>(state.iterations());
  state.counters["samples"] = static_cast<double>(springMassApp.view.trajectory.size());
  Fl::check();
}
BENCHMARK(recomputeSpringMass)->Arg(0)->Arg(1)->ArgName("step1e-5")->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  int glutArgc = 1;
  glutInit(&glutArgc, argv);
  quietly([&] {
    setUpBallistics(1, argv);
    makeBallisticsPanel()->show();
    setUpSpringMass(1, argv);
    makeSpringMassPanel()->show();
  });
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
