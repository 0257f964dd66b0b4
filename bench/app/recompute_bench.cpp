// "Recompute" in both panels at the start-up settings and at a time step of
// 1e-5, timed around the whole callback; the counter TimeTaken is what the
// panel's "Time Taken" output shows (the span of runSimulation only).
// And what a user waits for after typing a digit into the ballistics panel's
// "Elevation" at a fine "Time Step": the keystroke as the toolkit delivers
// it, the three flights, and the viewer's repaint (its trajectories
// simplified anew and drawn), in real time; its CPU time is the whole
// process's (the GL driver draws on threads of its own).
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/dev/bench/app/app_bench
// bench/app/alternate.sh runs this binary of two builds in turn.

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Value_Input.H>
#include <FL/Fl_Value_Output.H>
#include <FL/x.H>
#include <GL/freeglut.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "ballisticsapp.h"
#include "springmassapp.h"

namespace {

// Minor page faults of the process so far (each costs the kernel a page of
// zeroed memory).
long minorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

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

// A keystroke into the focused "Elevation": the field shows "4", the digit
// typed after it makes 44 or 45 degrees, in turn, so every keystroke gives
// a new flight and a new picture. Returns once the viewer has repainted and
// the display has the picture. Not inlined, so that a profiler can count
// from its call to its return (valgrind --toggle-collect).
[[gnu::noinline]] void typeElevationDigit(char digit) {
  static char text[2];
  text[0] = digit;
  Fl::e_text = text;
  Fl::e_length = 1;
  Fl::e_keysym = static_cast<unsigned char>(digit);
  Fl::e_state = 0;
  quietly([] { Fl::handle(FL_KEYBOARD, ballisticspanel::window); });
  Fl::flush();
  XSync(fl_display, False);
}

void keystrokeBallistics(benchmark::State& state, double timeStep) {
  using namespace ballisticspanel;
  timeStepInput->value(timeStep);
  Fl::focus(&elevationInput->input);
  const long drawnBefore = ballisticsApp.view.simplifications();
  // Counted across the benchmark's runs: each run's first digit differs from
  // the last one typed before it.
  static long keystrokes = 0;
  long faults = 0;
  for (auto _ : state) {
    state.PauseTiming();
    elevationInput->input.value("4");
    elevationInput->input.position(1);
    Fl::flush();
    state.ResumeTiming();
    const char digit = keystrokes % 2 == 0 ? '4' : '5';
    const long drawn = ballisticsApp.view.simplifications();
    const long faultsBefore = minorFaults();
    typeElevationDigit(digit);
    faults += minorFaults() - faultsBefore;
    ++keystrokes;
    state.PauseTiming();
    if (elevationInput->value() != (digit == '4' ? 44.0 : 45.0) ||
        ballisticsApp.view.simplifications() != drawn + 3) {
      std::fprintf(stderr, "the keystroke did not reach \"Elevation\" or the view\n");
      std::exit(1);
    }
    state.ResumeTiming();
  }
  // Each repaint simplifies the three new trajectories anew.
  state.counters["repaints"] =
      static_cast<double>(ballisticsApp.view.simplifications() - drawnBefore) / 3.0;
  state.counters["points"] = static_cast<double>(ballisticsApp.view.eulerTrajectory.size() +
                                                 ballisticsApp.view.midpointTrajectory.size() +
                                                 ballisticsApp.view.rk4Trajectory.size());
  state.counters["TimeTaken"] = timeTakenOutput->value();
  state.counters["faults"] =
      benchmark::Counter(static_cast<double>(faults), benchmark::Counter::kAvgIterations);
}
// The names are the time steps as typed (clang-format would space them).
// clang-format off
BENCHMARK_CAPTURE(keystrokeBallistics, step1e-6, 1e-6)
    ->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(keystrokeBallistics, step1e-5, 1e-5)
    ->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kMillisecond);
// clang-format on

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
  // Until the windows are on the display and the ballistics view has drawn
  // its first picture, as they are long before a user types.
  for (int i = 0; i < 250 && ballisticsApp.view.simplifications() == 0; ++i) Fl::wait(0.02);
  Fl::wait(0.1);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
