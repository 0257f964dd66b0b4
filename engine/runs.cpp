#include "runs.h"

#include <chrono>
#include <climits>
#include <cmath>
#include <stdexcept>

#include "ballisticssim.h"
#include "springmasssim.h"

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// How often a run looks at its cancel flag.
constexpr int kCancelEvery = 4096;

void checkScheme(const RunScheme& scheme, Precision precision) {
  if (const std::string p = scheme.problem(precision); !p.empty()) throw std::invalid_argument(p);
}

template <class T>
void push(FlightPoints<T>& p, T x, T y, T z, T vx, T vy, T vz) {
  p.x.push_back(x);
  p.y.push_back(y);
  p.z.push_back(z);
  p.vx.push_back(vx);
  p.vy.push_back(vy);
  p.vz.push_back(vz);
}

template <class T>
void reserve(FlightPoints<T>& p, std::size_t n) {
  for (auto* c : {&p.x, &p.y, &p.z, &p.vx, &p.vy, &p.vz}) c->reserve(n);
}

// The derivative a user's step sees, counting its calls.
template <class Equations>
CustomScheme::Derivative countedDerivative(const Equations& equations, long long& calls) {
  return [&equations, &calls](double t, const double* x, double* dxdt) {
    ++calls;
    typename Equations::State s, d;
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = x[i];
    equations(s, d, t);
    for (std::size_t i = 0; i < d.size(); ++i) dxdt[i] = d[i];
  };
}

// A double twin set up for the scheme; a user's step gets the derivative f.
template <class Sim, class Params>
void setUpTwin(Sim& sim, const Params& params, const RunScheme& scheme,
               const CustomScheme::Derivative& f) {
  sim.params = params;
  sim.scheme = scheme.builtin ? scheme.builtin->scheme : Euler;
  sim.tableau = scheme.tableau.get();
  if (scheme.custom)
    sim.custom = [&scheme, &f](typename Sim::State& s, double t, double step) {
      scheme.custom->step(f, t, s.data(), s.size(), step);
    };
}

}  // namespace

const char* stopName(FlightEnd stop) {
  switch (stop) {
    case FlightEnd::Landed:
      return "landed";
    case FlightEnd::StepLimit:
      return "step_limit";
    case FlightEnd::Stuck:
      return "stuck";
  }
  return "";
}

const char* stopName(SpringStop stop) {
  switch (stop) {
    case SpringStop::AtRest:
      return "at_rest";
    case SpringStop::SampleLimit:
      return "sample_limit";
    case SpringStop::Until:
      return "until";
    case SpringStop::NotRun:
      return "not_run";
  }
  return "";
}

FlightRun runFlight(const FlightCase& c, const RunScheme& scheme, Precision precision,
                    const CancelFlag* cancel) {
  checkScheme(scheme, precision);
  FlightRun run;
  run.scheme = scheme.name();
  run.info = scheme.builtin;
  run.precision = precision;
  run.params = c.params;
  const double h = c.params.timeStep;

  // Room for the points the closed form expects, as the model takes it.
  std::size_t expected = 64;
  if (const auto points = c.exact.expectedPoints(c.params.timeStep))
    expected = static_cast<std::size_t>(std::fmin(*points, kMaxFlightSteps + 1.0));

  FlightResult result;
  long long customCalls = 0;
  double below = 0.0;  // a landed flight's height after its last step
  const Clock::time_point start = Clock::now();
  if (precision == Precision::Single) {
    reserve(run.single, expected);
    BallisticsSim sim;
    sim.params = c.params;
    sim.setScheme(scheme.builtin ? scheme.builtin->scheme : Euler);
    auto observe = [&run, cancel](int step, const StateList& s) {
      push(run.single, s[0].x, s[0].y, s[0].z, s[1].x, s[1].y, s[1].z);
      if (step % kCancelEvery == 0) checkCancel(cancel);
    };
    result = sim.flyAnyScheme(observe, scheme.tableau.get());
    run.wallMs = millisecondsSince(start);
    if (result.end == FlightEnd::Landed) {
      below = run.single.y.back();
      const Vector3f& g = sim.trajectory.back();
      run.single.x.back() = g.x;
      run.single.y.back() = g.y;
      run.single.z.back() = g.z;
    }
  } else {
    reserve(run.wide, expected);
    BallisticsSimDouble sim;
    const FlightEquations<double> equations(c.params);
    const CustomScheme::Derivative f = countedDerivative(equations, customCalls);
    setUpTwin(sim, c.params, scheme, f);
    auto observe = [&run, cancel](int step, const BallisticsSimDouble::State& s) {
      push(run.wide, s[0], s[1], s[2], s[3], s[4], s[5]);
      if (step % kCancelEvery == 0) checkCancel(cancel);
    };
    result = sim.fly(observe);
    run.wallMs = millisecondsSince(start);
    if (result.end == FlightEnd::Landed) {
      below = run.wide.y.back();
      const auto& g = sim.groundPoint();
      run.wide.x.back() = g[0];
      run.wide.y.back() = g[1];
      run.wide.z.back() = g[2];
    }
  }

  run.stop = result.end;
  run.steps = result.steps;
  run.evaluations = scheme.custom ? customCalls : run.steps * scheme.evaluationsPerStep();
  const std::size_t n = precision == Precision::Single ? run.single.x.size() : run.wide.x.size();
  run.t.resize(n);
  for (std::size_t k = 0; k < n; ++k) run.t[k] = static_cast<double>(k) * h;
  const bool landed = run.landed();
  if (landed) {
    // The ground point's time, within the last step, where the height of
    // the step's end (before it was moved onto the ground) crosses 0.
    run.flightTime = (static_cast<double>(n - 2) + groundFraction(run.y(n - 2), below)) * h;
    run.t[n - 1] = run.flightTime;
    run.landingX = run.x(n - 1);
    run.landingZ = run.z(n - 1);
  }

  run.exactX.resize(n);
  run.exactY.resize(n);
  run.exactZ.resize(n);
  run.pathError.resize(n);
  run.maxPathError = 0.0;
  for (std::size_t k = 0; k < n; ++k) {
    const Vec3d e = c.position(run.t[k]);
    run.exactX[k] = e.x;
    run.exactY[k] = e.y;
    run.exactZ[k] = e.z;
    if (!run.diverged() &&
        !(std::isfinite(run.x(k)) && std::isfinite(run.y(k)) && std::isfinite(run.z(k)) &&
          std::isfinite(run.vx(k)) && std::isfinite(run.vy(k)) && std::isfinite(run.vz(k))))
      run.divergedAt = static_cast<long long>(k);
    if (landed && k + 1 == n) {
      run.pathError[k] = NAN;  // the ground point: see landingMiss
    } else {
      run.pathError[k] = std::hypot(run.x(k) - e.x, run.y(k) - e.y, run.z(k) - e.z);
      run.maxPathError = std::fmax(run.maxPathError, run.pathError[k]);
    }
  }
  if (landed && c.landingTime()) {
    const Vec3d e = c.position(*c.landingTime());
    run.landingMiss = std::hypot(run.x(n - 1) - e.x, run.y(n - 1) - e.y, run.z(n - 1) - e.z);
  }
  // A landed flight of one step measured its path nowhere but at the launch
  // point, where every scheme is exact; a run that diverged measured nothing.
  if ((landed && n <= 2) || run.diverged()) run.maxPathError = NAN;
  return run;
}

SpringRun runSpring(const SpringCase& c, const RunScheme& scheme, Precision precision,
                    std::optional<double> until, const CancelFlag* cancel) {
  checkScheme(scheme, precision);
  SpringRun run;
  run.scheme = scheme.name();
  run.info = scheme.builtin;
  run.precision = precision;
  run.params = c.params;
  const double h = c.params.timeStep;
  int untilSteps = INT_MAX;
  if (until) {
    const double n = std::ceil(*until / h);
    if (n < static_cast<double>(INT_MAX)) {
      untilSteps = std::max(1, static_cast<int>(n));
      // The first step at or after `until`, not one past it.
      if (untilSteps > 1 && (untilSteps - 1) * h >= *until) --untilSteps;
    }
  }

  SpringRunResult result;
  long long customCalls = 0;
  const Clock::time_point start = Clock::now();
  if (precision == Precision::Single) {
    run.y.reserve(kMaxSpringSamples);
    run.v.reserve(kMaxSpringSamples);
    SpringMassSim sim;
    sim.params = c.params;
    sim.setScheme(scheme.builtin ? scheme.builtin->scheme : Euler);
    auto observe = [&run, cancel](int step, const StateList& s) {
      run.y.push_back(s[0].y);
      run.v.push_back(s[1].y);
      if (step % kCancelEvery == 0) checkCancel(cancel);
    };
    result = sim.runAnyScheme(observe, scheme.tableau.get(), untilSteps);
  } else {
    run.yWide.reserve(kMaxSpringSamples);
    run.vWide.reserve(kMaxSpringSamples);
    SpringMassSimDouble sim;
    const SpringEquations<double> equations(c.params);
    const CustomScheme::Derivative f = countedDerivative(equations, customCalls);
    setUpTwin(sim, c.params, scheme, f);
    auto observe = [&run, cancel](int step, const SpringMassSimDouble::State& s) {
      run.yWide.push_back(s[0]);
      run.vWide.push_back(s[1]);
      if (step % kCancelEvery == 0) checkCancel(cancel);
    };
    result = sim.run(observe, untilSteps);
  }
  run.wallMs = millisecondsSince(start);

  run.steps = result.steps;
  run.evaluations = scheme.custom ? customCalls : run.steps * scheme.evaluationsPerStep();
  run.stop = !result.ran                  ? SpringStop::NotRun
             : result.settled             ? SpringStop::AtRest
             : result.steps >= untilSteps ? SpringStop::Until
                                          : SpringStop::SampleLimit;
  const std::size_t n = precision == Precision::Single ? run.y.size() : run.yWide.size();
  const ExactSpring& exact = c.exact;
  const bool closedForm = exact.regime() != ExactSpring::NoClosedForm;
  run.restingHeight = exact.restingHeight();
  if (result.ran) run.finalHeight = run.height(n - 1);
  run.t.resize(n);
  run.exactY.resize(n);
  run.heightError.resize(n);
  run.energy.resize(n);
  bool anyHolds = false;
  double maxError = 0.0;
  for (std::size_t k = 0; k < n; ++k) {
    const double t = static_cast<double>(k) * h;
    const double y = run.height(k);
    run.t[k] = t;
    const bool holds = exact.holdsAt(t);
    run.exactY[k] = holds ? exact.height(t) : NAN;
    run.heightError[k] = holds ? std::fabs(y - run.exactY[k]) : NAN;
    if (holds) {
      anyHolds = true;
      maxError = std::fmax(maxError, run.heightError[k]);
    }
    run.energy[k] = closedForm ? exact.energy(y, run.speed(k)) : NAN;
    if (!run.diverged() && !(std::isfinite(y) && std::isfinite(run.speed(k))))
      run.divergedAt = static_cast<long long>(k);
  }
  if (anyHolds) run.maxHeightError = maxError;
  const double e0 = run.energy[0];
  if (closedForm && std::isfinite(e0) && e0 > 0.0) {
    double drift = 0.0;
    for (double e : run.energy) drift = std::fmax(drift, std::fabs(e - e0) / e0);
    run.energyDrift = drift;
  }
  // A run whose state overflowed has no errors to report.
  if (run.diverged()) run.maxHeightError = run.energyDrift = NAN;
  return run;
}
