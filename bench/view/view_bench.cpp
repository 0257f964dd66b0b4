// How long the ballistics view takes to repaint long trajectories, and how
// many frames a default-speed spring-mass playback paints per second.
// Run under a display: xvfb-run -a -s "-screen 0 1280x1024x24" view_bench

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Slider.H>
#include <FL/Fl_Value_Input.H>
#include <FL/gl.h>
#include <GL/freeglut.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "ballisticsview.h"
#include "playback.h"
#include "springmassview.h"

namespace {

// Waits for the rendering to finish so that a repaint is timed whole.
struct TimedBallisticsView : BallisticsView {
  long draws = 0;
  void draw() override {
    BallisticsView::draw();
    glFinish();
    ++draws;
  }
};

struct CountingSpringMassView : SpringMassView {
  long draws = 0;
  void draw() override {
    SpringMassView::draw();
    ++draws;
  }
};

// A flight shaped like the start-up shot: from the gun to about
// (-1.8, 0, 10.2), 1.5 high at the top; `points` samples.
std::vector<Vector3f> flight(int points, float spread) {
  std::vector<Vector3f> out(points);
  for (int i = 0; i < points; ++i) {
    const double s = double(i) / (points - 1);
    out[i] = Vector3f(float(-1.8 * s * spread), float(6 * s * (1 - s) + 0.0001),
                      float(10.23 * s * spread));
  }
  return out;
}

// Repaints of the view around the whole shot (zoom 0.5) holding one or three
// trajectories of the given length (145,000 points is a time step of 1e-5,
// 1,450,000 one of 1e-6).
void BM_BallisticsRepaint(benchmark::State& state) {
  const int points = int(state.range(0));
  const int schemes = int(state.range(1));
  std::unique_ptr<Fl_Double_Window> window(new Fl_Double_Window(329, 329, "bench"));
  auto* view = new TimedBallisticsView;
  view->position(0, 0);
  window->end();
  view->eulerTrajectory = flight(points, 1.0f);
  if (schemes == 3) {
    view->midpointTrajectory = flight(points, 0.94f);
    view->rk4Trajectory = flight(points, 0.94f);
  }
  view->target = Vector3f(0, 0, 10);
  view->zoomFactor = 0.5;
  view->setHRotAngle(-60);
  window->show();
  while (view->draws == 0) Fl::wait(0.05);
  for (auto _ : state) {
    view->redraw();
    Fl::flush();
  }
}
BENCHMARK(BM_BallisticsRepaint)
    ->Args({145000, 1})
    ->Args({145000, 3})
    ->Args({1450000, 1})
    ->Args({1450000, 3})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A playback at the default speed 0.0001 over 1000 frames (the last tenth of
// the slider), on a trajectory of 10,000 samples.
void BM_DefaultSpeedPlayback(benchmark::State& state) {
  std::unique_ptr<Fl_Double_Window> window(new Fl_Double_Window(329, 329, "bench"));
  auto* view = new CountingSpringMassView;
  view->position(0, 0);
  window->end();
  for (int i = 0; i < 10000; ++i) view->trajectory.push_back(-1.65f + 0.65f * std::cos(i * 0.01f));
  std::unique_ptr<Fl_Slider> slider(new Fl_Slider(0, 0, 100, 20));
  std::unique_ptr<Fl_Value_Input> speed(new Fl_Value_Input(0, 0, 100, 20));
  speed->step(0.00001);
  speed->value(0.0001);
  playbackSlider = slider.get();
  speedInput = speed.get();
  playbackView = view;
  window->show();
  while (view->draws == 0) Fl::wait(0.05);
  long draws = 0;
  for (auto _ : state) {
    slider->value(0.9);
    const long before = view->draws;
    playCallback(nullptr, nullptr);
    draws += view->draws - before;
  }
  state.counters["painted_frames_per_s"] =
      benchmark::Counter(double(draws), benchmark::Counter::kIsRate);
  state.counters["playback_frames_per_s"] =
      benchmark::Counter(double(state.iterations()) * 1000, benchmark::Counter::kIsRate);
  playbackSlider = nullptr;
  speedInput = nullptr;
  playbackView = nullptr;
}
BENCHMARK(BM_DefaultSpeedPlayback)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("DISPLAY") == nullptr) {
    std::fprintf(stderr, "view_bench needs an X display: run it under xvfb-run -a.\n");
    return 1;
  }
  int glutArgc = 1;
  char name[] = "view_bench";
  char* glutArgv[] = {name, nullptr};
  glutInit(&glutArgc, glutArgv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
