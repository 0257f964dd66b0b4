// Whole computations of the two models, and the fine ballistics flight beside
// Boost.Odeint with the same stepper recording the same positions, through
// integrate_const and through a plain do_step loop. The models print progress lines on stdout, so
// stdout goes to /dev/null and the benchmark table to stderr.

#include <benchmark/benchmark.h>

#include <array>
#include <boost/numeric/odeint.hpp>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "ballisticssetup.h"
#include "ballisticssim.h"
#include "schemes.h"
#include "springmasssim.h"

namespace {

namespace odeint = boost::numeric::odeint;

std::string schemeTitle(int scheme) { return std::string(schemeInfo(scheme)->title); }

// The shot installed at start: azimuth -10°, elevation 45°, mass 1000.
BallisticsSim startUpShot(int scheme, float timeStep) {
  BallisticsSim sim;
  sim.params = startUpBallisticsParams();
  sim.params.timeStep = timeStep;
  sim.setScheme(scheme);
  return sim;
}

// Whole flights of one scheme. With `fresh` every flight starts from an empty
// trajectory, as the first flight at a finer time step does; otherwise the
// trajectory keeps the capacity of the flight before, as the panel's later
// recomputations do.
void flights(benchmark::State& st, float timeStep, bool fresh = false) {
  const int scheme = static_cast<int>(st.range(0));
  BallisticsSim sim = startUpShot(scheme, timeStep);
  for (auto _ : st) {
    if (fresh) std::vector<Vector3f>().swap(sim.trajectory);
    sim.simulate();
    benchmark::DoNotOptimize(sim.trajectory.data());
  }
  st.SetLabel(schemeTitle(scheme) + (fresh ? ", fresh" : ""));
  st.counters["steps"] = static_cast<double>(sim.trajectory.size() - 1);
  st.counters["bytes/point"] =
      static_cast<double>(sim.trajectory.capacity() * sizeof(Vector3f)) / sim.trajectory.size();
}

void BM_StartUpFlight(benchmark::State& st) { flights(st, 0.1f); }
BENCHMARK(BM_StartUpFlight)->DenseRange(Euler, RK4);

// Arguments: scheme, and 1 for a fresh trajectory.
void BM_FineFlight(benchmark::State& st) { flights(st, 1e-5f, st.range(1) != 0); }
BENCHMARK(BM_FineFlight)
    ->ArgsProduct({{Euler, Midpoint, RK4}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// The same flight for Odeint: position and velocity in one float array, the
// model's equations of motion in float.
using Flat = std::array<float, 6>;

// Odeint's flight with the same start and the same number of steps as ours,
// through integrate_const with an observer, or through the plain loop a user
// writes: do_step, then push the position.
template <class Stepper>
void odeintFlight(benchmark::State& st, Stepper stepper, int scheme) {
  const bool plainLoop = st.range(1) != 0, fresh = st.range(2) != 0;
  BallisticsSim sim = startUpShot(scheme, 1e-5f);
  const int steps = sim.fly().steps;
  const FlightEquations<float> system(sim.params);
  const float dt = 1e-5f;
  std::vector<Vector3f> trajectory;
  for (auto _ : st) {
    if (fresh) std::vector<Vector3f>().swap(trajectory);
    trajectory.clear();
    Flat x = FlightEquations<float>::launchState(sim.params);
    if (plainLoop) {
      trajectory.push_back(Vector3f(x[0], x[1], x[2]));
      double t = 0.0;
      for (int i = 0; i < steps; ++i) {
        stepper.do_step(system, x, t, dt);
        t += dt;
        trajectory.push_back(Vector3f(x[0], x[1], x[2]));
      }
    } else {
      odeint::integrate_const(
          stepper, system, x, 0.0, steps * 1e-5, 1e-5,
          [&](const Flat& s, double) { trajectory.push_back(Vector3f(s[0], s[1], s[2])); });
    }
    benchmark::DoNotOptimize(trajectory.data());
  }
  st.SetLabel(schemeTitle(scheme) + (plainLoop ? ", do_step loop" : ", integrate_const") +
              (fresh ? ", fresh" : ""));
  st.counters["steps"] = static_cast<double>(trajectory.size() - 1);
}

// Arguments: scheme, 1 for the plain do_step loop (0: integrate_const), 1 for
// a fresh trajectory.
void BM_OdeintFineFlight(benchmark::State& st) {
  switch (st.range(0)) {
    case Euler:
      odeintFlight(st, odeint::euler<Flat, float, Flat, double>(), Euler);
      break;
    case Midpoint: {
      // Explicit midpoint: k2 = f(x + h/2·k1, t + h/2), x += h·k2.
      using Midpoint2 = odeint::explicit_generic_rk<2, 2, Flat, float, Flat, double>;
      const boost::array<float, 1> a1 = {{0.5f}};
      const Midpoint2::coef_b_type b = {{0.0f, 1.0f}};
      const Midpoint2::coef_c_type c = {{0.0f, 0.5f}};
      odeintFlight(st, Midpoint2(boost::fusion::make_vector(a1), b, c), Midpoint);
      break;
    }
    default:
      odeintFlight(st, odeint::runge_kutta4<Flat, float, Flat, double>(), RK4);
      break;
  }
}
BENCHMARK(BM_OdeintFineFlight)
    ->Args({Euler, 0, 0})
    ->Args({Midpoint, 0, 0})
    ->Args({RK4, 0, 0})
    ->ArgsProduct({{Euler, Midpoint, RK4}, {1}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// The longest spring-mass run: undamped, so it runs to the 15000-sample limit.
void BM_SpringMassUndamped(benchmark::State& st) {
  SpringMassSim sim;
  sim.params.springs[0].kd = 0.0f;
  sim.setScheme(RK4);
  for (auto _ : st) {
    sim.simulate();
    benchmark::DoNotOptimize(sim.trajectory.data());
  }
  st.counters["samples"] = static_cast<double>(sim.trajectory.size());
  st.counters["bytes/sample"] =
      static_cast<double>(sim.trajectory.capacity() * sizeof(float)) / sim.trajectory.size();
}
BENCHMARK(BM_SpringMassUndamped)->Unit(benchmark::kMicrosecond);

// A flight that never lands (no gravity, no drag, level shot) runs to the step limit.
void BM_RunawayFlight(benchmark::State& st) {
  BallisticsSim sim = startUpShot(RK4, 0.1f);
  sim.params.gravity = 0.0f;
  sim.params.airFriction = 0.0f;
  sim.params.elevation = 0.0f;
  for (auto _ : st) {
    sim.simulate();
    benchmark::DoNotOptimize(sim.trajectory.data());
  }
  st.counters["steps"] = static_cast<double>(sim.trajectory.size() - 1);
  st.counters["MiB"] = static_cast<double>(sim.trajectory.capacity() * sizeof(Vector3f)) / 1048576;
}
BENCHMARK(BM_RunawayFlight)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (!std::freopen("/dev/null", "w", stdout)) return 1;
  benchmark::ConsoleReporter reporter;
  reporter.SetOutputStream(&std::cerr);
  reporter.SetErrorStream(&std::cerr);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
