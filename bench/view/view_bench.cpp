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

#include <boost/geometry.hpp>
#include <boost/geometry/geometries/register/linestring.hpp>
#include <boost/geometry/geometries/register/point.hpp>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "ballisticssetup.h"
#include "ballisticssim.h"
#include "ballisticsview.h"
#include "playback.h"
#include "polyline.h"
#include "springmassview.h"

BOOST_GEOMETRY_REGISTER_POINT_3D(Vector3f, float, boost::geometry::cs::cartesian, x, y, z)
BOOST_GEOMETRY_REGISTER_LINESTRING(std::vector<Vector3f>)

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

// The start-up shot's three flights at a time step of 1e-5 (142,614 points
// each) or 1e-6 (1,427,698 points each), computed once.
const std::vector<Vector3f>& fineFlight(int scheme, int fineness) {
  static std::vector<Vector3f> flights[2][3];
  std::vector<Vector3f>& f = flights[fineness][scheme];
  if (f.empty()) {
    BallisticsSim sim;
    sim.params = startUpBallisticsParams();
    sim.params.timeStep = fineness == 0 ? 1e-5f : 1e-6f;
    sim.setScheme(scheme);
    sim.fly();
    f = std::move(sim.trajectory);
  }
  return f;
}

struct BenchView : TimedBallisticsView {
  void drawEveryPoint(bool on) { simplifies = !on; }
};

// A window around a view that shows one or three fine flights.
struct Scene {
  std::unique_ptr<Fl_Double_Window> window{new Fl_Double_Window(329, 329, "bench")};
  BenchView* view = new BenchView;
  Scene(int fineness, int schemes) {
    view->position(0, 0);
    window->end();
    view->rk4Trajectory = fineFlight(RK4, fineness);
    if (schemes == 3) {
      view->eulerTrajectory = fineFlight(Euler, fineness);
      view->midpointTrajectory = fineFlight(Midpoint, fineness);
    }
    view->target = Vector3f(0, 0, 10);
  }
  void show() {
    window->show();
    while (view->draws == 0) Fl::wait(0.05);
  }
  void repaint() {
    view->redraw();
    Fl::flush();
  }
};

// Repaints while the view is turned one degree a frame through every
// rotation, as a drag on the "H Rotation" roller does, with "V Rot" at 20.
// Arguments: fineness (0: time step 1e-5, 1: 1e-6), flights (1: RK4, 3: all),
// zoom times 100, and 1 to draw every point (the drawing before
// simplification) or 0 to draw the simplified copies. The counter
// "simplifications" is the number of copies built during the timed turns.
void BM_BallisticsRepaint(benchmark::State& state) {
  Scene scene(int(state.range(0)), int(state.range(1)));
  scene.view->zoomFactor = double(state.range(2)) / 100;
  scene.view->drawEveryPoint(state.range(3) != 0);
  scene.view->setVRotAngle(20);
  scene.show();
  const long before = scene.view->simplifications();
  int angle = 0;
  for (auto _ : state) {
    scene.view->setHRotAngle(float(angle++ % 360 - 180));
    scene.repaint();
  }
  state.counters["fps"] =
      benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["simplifications"] = double(scene.view->simplifications() - before);
  state.SetLabel(state.range(3) ? "every point" : "simplified");
}
BENCHMARK(BM_BallisticsRepaint)
    ->ArgNames({"fine", "flights", "zoom%", "all"})
    ->ArgsProduct({{0, 1}, {1, 3}, {1000, 100, 10}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Zooming: the "Zoom" slider dragged in its steps of 0.01 from 10 down
// towards 1 over the three flights at 1e-6. With one copy for every zoom
// (argument 0) nothing is rebuilt; the design that rebuilds a copy per zoom
// level at a quarter pixel of this view (argument 1) simplifies the three
// flights at every step.
void BM_ZoomDrag(benchmark::State& state) {
  const bool perZoom = state.range(0) != 0;
  Scene scene(1, 3);
  scene.view->setVRotAngle(20);
  scene.view->setHRotAngle(-60);
  scene.view->drawEveryPoint(perZoom);
  scene.show();
  const long before = scene.view->simplifications();
  int step = 0;
  long rebuilt = 0;
  for (auto _ : state) {
    const double zoom = 10.0 - 0.01 * (step++ % 900);
    scene.view->zoomFactor = zoom;
    if (perZoom) {
      const double tolerance = 0.25 * 20.0 / (329 * zoom);
      scene.view->eulerTrajectory = simplifyPolyline(fineFlight(Euler, 1), tolerance);
      scene.view->midpointTrajectory = simplifyPolyline(fineFlight(Midpoint, 1), tolerance);
      scene.view->rk4Trajectory = simplifyPolyline(fineFlight(RK4, 1), tolerance);
      rebuilt += 3;
    }
    scene.repaint();
  }
  state.counters["fps"] =
      benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["simplifications"] =
      double(perZoom ? rebuilt : scene.view->simplifications() - before);
  state.SetLabel(perZoom ? "a copy per zoom" : "one copy");
}
BENCHMARK(BM_ZoomDrag)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Simplifying one flight (RK4, 1e-5 or 1e-6) for the view: at the tolerance
// the view uses at every zoom (argument 0), or, for the design with a copy
// per zoom, at a quarter pixel of this view at zoom 10, 1 and 0.1.
void BM_SimplifyFlight(benchmark::State& state) {
  const std::vector<Vector3f>& flight = fineFlight(RK4, int(state.range(0)));
  const double zoom = double(state.range(1)) / 100;
  const double tolerance =
      zoom == 0 ? BallisticsView::simplificationTolerance(329, 10) : 0.25 * 20.0 / (329 * zoom);
  std::size_t kept = 0;
  for (auto _ : state) kept = simplifyPolyline(flight, tolerance).size();
  state.counters["points"] = double(flight.size());
  state.counters["kept"] = double(kept);
}
BENCHMARK(BM_SimplifyFlight)
    ->ArgNames({"fine", "zoom%"})
    ->ArgsProduct({{0, 1}, {0, 1000, 100, 10}})
    ->Unit(benchmark::kMillisecond);

// The same with Boost.Geometry's simplify (Douglas-Peucker over the whole
// flight) at the view's tolerance.
void BM_BoostSimplifyFlight(benchmark::State& state) {
  const std::vector<Vector3f>& flight = fineFlight(RK4, int(state.range(0)));
  const double tolerance = BallisticsView::simplificationTolerance(329, 10);
  std::vector<Vector3f> kept;
  for (auto _ : state) {
    kept.clear();
    boost::geometry::simplify(flight, kept, tolerance);
  }
  state.counters["points"] = double(flight.size());
  state.counters["kept"] = double(kept.size());
}
BENCHMARK(BM_BoostSimplifyFlight)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

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
