// The engine's adaptive flight to the ground beside Boost.Odeint's
// Dormand-Prince stepper on the same equations, and the implicit steps of
// the spring beside an RK4 step.
//
// Each benchmark measures its sides alternately, one call of each per
// iteration (the order swapped every iteration, so that neither side always
// runs in the other's wake), and reports the medians of the calls' times,
// their interquartile ranges and the ratio of the medians as counters; run
// with --benchmark_repetitions=N for the spread between repetitions too.
//
//   BM_Dopri5Flight/<odeint>   runFlight with dopri5 (double, rtol 1e-10,
//       atol 1e-12, landing interpolated) on the start-up shot against
//       Odeint's runge_kutta_dopri5 at the same tolerances, stopping at the
//       ground. <odeint> is how Odeint's side is written:
//         0  integrate_adaptive with the dense-output stepper, an observer that
//            records each step and ends the integration at the ground (by an
//            exception, the one way out of integrate_adaptive), the landing
//            found on the dense output;
//         1  the dense-output stepper's do_step loop until the ground, the
//            landing found on its dense output;
//         2  the adaptive time range with std::find_if until the ground, the
//            landing found on the dense output;
//         3  the plainest loop: the controlled stepper's try_step until the
//            ground, the landing on the straight line through the last step.
//       Both sides record every accepted step's time and state into a new
//       result of each call (runFlight's FlightRun; Odeint's side returns
//       its points as a function a user writes would), and both landings
//       are measured against the closed form (ExactFlight), as counters
//       engine_miss and odeint_miss. runFlight does more than Odeint's side:
//       it also evaluates the closed form and the path error at every point.
//   BM_ImplicitStep/<scheme>   an implicit step of the spring (the engine's
//       own wide step of backward-euler or implicit-midpoint, with the
//       model's Jacobian, as runs call it) against an RK4 step, per step.
//   BM_ImplicitSpringRun/<scheme>   whole double-precision spring runs of the
//       same schemes through runSpring (to the sample limit, undamped), per
//       step.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <boost/math/tools/roots.hpp>
#include <boost/numeric/odeint.hpp>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "ballisticssetup.h"
#include "runs.h"
#include "springmasssetup.h"

namespace {

namespace odeint = boost::numeric::odeint;
using Clock = std::chrono::steady_clock;
using State = std::array<double, 6>;

constexpr double kRtol = 1e-10, kAtol = 1e-12;

// ---- alternate measurement ----------------------------------------------

double quantile(std::vector<double> v, double q) {
  if (v.empty()) return NAN;
  std::sort(v.begin(), v.end());
  const double at = q * static_cast<double>(v.size() - 1);
  const std::size_t lo = static_cast<std::size_t>(at);
  const std::size_t hi = std::min(lo + 1, v.size() - 1);
  return v[lo] + (v[hi] - v[lo]) * (at - static_cast<double>(lo));
}

// Times (in µs) of calls of two sides measured in alternation.
struct Pair {
  std::vector<double> a, b;

  template <class A, class B>
  void measure(std::size_t iteration, A&& sideA, B&& sideB) {
    auto time = [](auto&& side) {
      const Clock::time_point start = Clock::now();
      side();
      return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    };
    if (iteration % 2 == 0) {
      a.push_back(time(sideA));
      b.push_back(time(sideB));
    } else {
      b.push_back(time(sideB));
      a.push_back(time(sideA));
    }
  }

  // Medians, interquartile ranges and the ratio of the medians, as counters
  // named <nameA>_us, <nameA>_iqr_us, ..., ratio.
  void report(benchmark::State& st, const std::string& nameA, const std::string& nameB) const {
    const double ma = quantile(a, 0.5), mb = quantile(b, 0.5);
    st.counters[nameA + "_us"] = ma;
    st.counters[nameA + "_iqr_us"] = quantile(a, 0.75) - quantile(a, 0.25);
    st.counters[nameB + "_us"] = mb;
    st.counters[nameB + "_iqr_us"] = quantile(b, 0.75) - quantile(b, 0.25);
    st.counters["ratio"] = ma / mb;
  }
};

// ---- the flight ---------------------------------------------------------

const FlightCase& startUpCase() {
  static const FlightCase c(startUpBallisticsParams());
  return c;
}

RunScheme dopri5() {
  RunScheme s(schemeNamed("dopri5"));
  s.tolerances = {kRtol, kAtol};
  s.landing = Landing::Interpolated;
  return s;
}

// The flight's equations for Odeint, counting evaluations.
struct Counted {
  FlightEquations<double> equations;
  long long* calls;
  void operator()(const State& x, State& dxdt, double t) const {
    ++*calls;
    equations(x, dxdt, t);
  }
};

// What Odeint's side records and finds: every accepted step's time and
// state, and the landing.
struct OdeintFlight {
  std::vector<double> t;
  std::vector<State> x;
  double landingT = NAN, landingX = NAN, landingZ = NAN;
  long long evaluations = 0;

  void record(const State& s, double time) {
    x.push_back(s);
    t.push_back(time);
  }
  long long steps() const { return static_cast<long long>(t.size()) - 1; }
};

// The time within [t0, t1] at which the dense output's height crosses 0
// (Boost's TOMS 748 to full precision), and the landing point there.
template <class Dense>
void landOnDenseOutput(const Dense& stepper, OdeintFlight& flight) {
  State s;
  auto height = [&stepper, &s](double t) {
    stepper.calc_state(t, s);
    return s[1];
  };
  std::uintmax_t iterations = 200;
  const auto [lo, hi] =
      boost::math::tools::toms748_solve(height, stepper.previous_time(), stepper.current_time(),
                                        boost::math::tools::eps_tolerance<double>(50), iterations);
  flight.landingT = (lo + hi) / 2;
  stepper.calc_state(flight.landingT, s);
  flight.landingX = s[0];
  flight.landingZ = s[2];
}

// Odeint's starting step: a user's guess; the controller corrects it.
constexpr double kFirstStep = 1e-3;
// Later than any landing of the shot: integrate_adaptive needs an end.
constexpr double kLongAfter = 1e4;

auto denseDopri5() {
  return odeint::make_dense_output(kAtol, kRtol, odeint::runge_kutta_dopri5<State>());
}

struct Ground {};

OdeintFlight odeintIntegrateAdaptive(const BallisticsParams& p) {
  OdeintFlight flight;
  const Counted f{FlightEquations<double>(p), &flight.evaluations};
  State x = FlightEquations<double>::launchState(p);
  auto stepper = denseDopri5();
  try {
    odeint::integrate_adaptive(boost::ref(stepper), f, x, 0.0, kLongAfter, kFirstStep,
                               [&flight](const State& s, double t) {
                                 flight.record(s, t);
                                 if (!(s[1] > 0)) throw Ground();
                               });
  } catch (const Ground&) {
    landOnDenseOutput(stepper, flight);
  }
  return flight;
}

OdeintFlight odeintDenseLoop(const BallisticsParams& p) {
  OdeintFlight flight;
  const Counted f{FlightEquations<double>(p), &flight.evaluations};
  auto stepper = denseDopri5();
  stepper.initialize(FlightEquations<double>::launchState(p), 0.0, kFirstStep);
  flight.record(stepper.current_state(), 0.0);
  while (stepper.current_state()[1] > 0) {
    stepper.do_step(f);
    flight.record(stepper.current_state(), stepper.current_time());
  }
  landOnDenseOutput(stepper, flight);
  return flight;
}

OdeintFlight odeintTimeRange(const BallisticsParams& p) {
  OdeintFlight flight;
  const Counted f{FlightEquations<double>(p), &flight.evaluations};
  State x = FlightEquations<double>::launchState(p);
  auto stepper = denseDopri5();
  auto range =
      odeint::make_adaptive_time_range(boost::ref(stepper), f, x, 0.0, kLongAfter, kFirstStep);
  std::find_if(range.first, range.second,
               [&flight](const std::pair<const State&, const double&>& s) {
                 flight.record(s.first, s.second);
                 return !(s.first[1] > 0);
               });
  landOnDenseOutput(stepper, flight);
  return flight;
}

OdeintFlight odeintControlledLoop(const BallisticsParams& p) {
  OdeintFlight flight;
  const Counted f{FlightEquations<double>(p), &flight.evaluations};
  auto stepper = odeint::make_controlled(kAtol, kRtol, odeint::runge_kutta_dopri5<State>());
  State x = FlightEquations<double>::launchState(p);
  double t = 0.0, dt = kFirstStep;
  flight.record(x, t);
  while (x[1] > 0) {
    if (stepper.try_step(f, x, t, dt) == odeint::success) flight.record(x, t);
  }
  const std::size_t n = flight.t.size();
  const State &above = flight.x[n - 2], &below = flight.x[n - 1];
  const double theta = above[1] / (above[1] - below[1]);
  flight.landingT = flight.t[n - 2] + theta * (flight.t[n - 1] - flight.t[n - 2]);
  flight.landingX = above[0] + theta * (below[0] - above[0]);
  flight.landingZ = above[2] + theta * (below[2] - above[2]);
  return flight;
}

// The distance from (x, 0, z) to the closed form's landing point.
double landingMiss(const FlightCase& c, double x, double z) {
  const Vec3d e = c.position(*c.landingTime());
  return std::hypot(x - e.x, 0.0 - e.y, z - e.z);
}

void BM_Dopri5Flight(benchmark::State& st) {
  static OdeintFlight (*const odeintSides[])(const BallisticsParams&) = {
      odeintIntegrateAdaptive, odeintDenseLoop, odeintTimeRange, odeintControlledLoop};
  static const char* const labels[] = {"integrate_adaptive, dense output",
                                       "dense output do_step loop", "adaptive time range, find_if",
                                       "controlled try_step loop, linear landing"};
  const auto odeintSide = odeintSides[st.range(0)];
  const FlightCase& c = startUpCase();
  const RunScheme scheme = dopri5();
  FlightRun run;
  OdeintFlight flight;
  Pair pair;
  std::size_t iteration = 0;
  for (auto _ : st) {
    pair.measure(
        iteration++,
        [&] {
          run = runFlight(c, scheme, Precision::Double);
          benchmark::DoNotOptimize(run.pathError.data());
        },
        [&] {
          flight = odeintSide(c.params);
          benchmark::DoNotOptimize(flight.x.data());
        });
  }
  pair.report(st, "engine", "odeint");
  st.SetLabel(labels[st.range(0)]);
  st.counters["engine_steps"] = static_cast<double>(run.steps);
  st.counters["engine_rejected"] = static_cast<double>(run.rejected);
  st.counters["engine_evals"] = static_cast<double>(run.evaluations);
  st.counters["odeint_steps"] = static_cast<double>(flight.steps());
  st.counters["odeint_evals"] = static_cast<double>(flight.evaluations);
  st.counters["engine_miss"] = run.landingMiss;
  st.counters["odeint_miss"] = landingMiss(c, flight.landingX, flight.landingZ);
}
BENCHMARK(BM_Dopri5Flight)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

// The case built for each flight too (the closed form and its landing time),
// as a front end does for each call: the engine's whole call against the
// fastest Odeint side above (the dense-output loop).
void BM_Dopri5FlightWithCase(benchmark::State& st) {
  const BallisticsParams p = startUpBallisticsParams();
  const RunScheme scheme = dopri5();
  FlightRun run;
  OdeintFlight flight;
  Pair pair;
  std::size_t iteration = 0;
  for (auto _ : st) {
    pair.measure(
        iteration++,
        [&] {
          const FlightCase c(p);
          run = runFlight(c, scheme, Precision::Double);
          benchmark::DoNotOptimize(run.pathError.data());
        },
        [&] {
          flight = odeintDenseLoop(p);
          benchmark::DoNotOptimize(flight.x.data());
        });
  }
  pair.report(st, "engine", "odeint");
  st.SetLabel("case and run against the dense output do_step loop");
}
BENCHMARK(BM_Dopri5FlightWithCase)->Unit(benchmark::kMicrosecond);

// ---- the implicit steps -------------------------------------------------

SpringMassParams springParams(float kd) {
  SpringPanelValues v;
  v.kd = kd;
  return springParamsFromPanel(v);
}

// kSteps wide steps of a scheme row from the spring's start, as runs step
// (the row's wide step on the model's double-precision equations).
constexpr int kSteps = 1000;

template <class Row>
void springSteps(const SpringEquations<double>& f, const SpringMassParams& p) {
  auto x = SpringEquations<double>::startState(p);
  const double h = p.timeStep;
  for (int k = 0; k < kSteps; ++k) {
    Row::wide(f, x, k * h, h);
    benchmark::DoNotOptimize(x);
  }
}

// range(0): the implicit scheme's place in kSchemes.
void BM_ImplicitStep(benchmark::State& st) {
  const SchemeInfo& implicit = kSchemes[st.range(0)];
  const SpringMassParams p = springParams(1.0f);
  const SpringEquations<double> f(p);
  Pair pair;
  std::size_t iteration = 0;
  for (auto _ : st) {
    pair.measure(
        iteration++,
        [&] {
          Schemes::visit(implicit.scheme, [&](auto row) {
            if constexpr (decltype(row)::info.kind == SchemeKind::Implicit)
              springSteps<decltype(row)>(f, p);
          });
        },
        [&] { springSteps<schemerows::RK4Row>(f, p); });
  }
  // Per step, in ns.
  const double perStep = 1e3 / kSteps;
  st.counters["implicit_ns"] = quantile(pair.a, 0.5) * perStep;
  st.counters["implicit_iqr_ns"] = (quantile(pair.a, 0.75) - quantile(pair.a, 0.25)) * perStep;
  st.counters["rk4_ns"] = quantile(pair.b, 0.5) * perStep;
  st.counters["rk4_iqr_ns"] = (quantile(pair.b, 0.75) - quantile(pair.b, 0.25)) * perStep;
  st.counters["ratio"] = quantile(pair.a, 0.5) / quantile(pair.b, 0.5);
  st.SetLabel(std::string(implicit.name) + " step against rk4 step, " + std::to_string(kSteps) +
              " steps a call");
}
BENCHMARK(BM_ImplicitStep)
    ->Arg(schemeNamed("backward-euler")->scheme)
    ->Arg(schemeNamed("implicit-midpoint")->scheme)
    ->Unit(benchmark::kMicrosecond);

// Whole runs through runSpring in double precision, undamped so that every
// scheme runs to the sample limit (the same number of steps).
void BM_ImplicitSpringRun(benchmark::State& st) {
  const SchemeInfo& implicit = kSchemes[st.range(0)];
  const SpringCase c(springParams(0.0f));
  SpringRun a, b;
  Pair pair;
  std::size_t iteration = 0;
  for (auto _ : st) {
    pair.measure(
        iteration++,
        [&] {
          a = runSpring(c, RunScheme(&implicit), Precision::Double);
          benchmark::DoNotOptimize(a.yWide.data());
        },
        [&] {
          b = runSpring(c, RunScheme(schemeNamed("rk4")), Precision::Double);
          benchmark::DoNotOptimize(b.yWide.data());
        });
  }
  const double perStepA = 1e3 / static_cast<double>(a.steps),
               perStepB = 1e3 / static_cast<double>(b.steps);
  st.counters["implicit_ns"] = quantile(pair.a, 0.5) * perStepA;
  st.counters["implicit_iqr_ns"] = (quantile(pair.a, 0.75) - quantile(pair.a, 0.25)) * perStepA;
  st.counters["rk4_ns"] = quantile(pair.b, 0.5) * perStepB;
  st.counters["rk4_iqr_ns"] = (quantile(pair.b, 0.75) - quantile(pair.b, 0.25)) * perStepB;
  st.counters["ratio"] = (quantile(pair.a, 0.5) * perStepA) / (quantile(pair.b, 0.5) * perStepB);
  st.counters["implicit_steps"] = static_cast<double>(a.steps);
  st.counters["rk4_steps"] = static_cast<double>(b.steps);
  st.SetLabel(std::string(implicit.name) + " run against rk4 run, per step");
}
BENCHMARK(BM_ImplicitSpringRun)
    ->Arg(schemeNamed("backward-euler")->scheme)
    ->Arg(schemeNamed("implicit-midpoint")->scheme)
    ->Unit(benchmark::kMillisecond);

}  // namespace
