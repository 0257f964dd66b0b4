#include "runs.h"

#include <chrono>
#include <climits>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "ballisticssim.h"
#include "embedded.h"
#include "roots.h"
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

// The equations a run's implicit step sees: the model's, counting calls,
// with the model's Jacobian.
template <class Equations>
struct Counted {
  const Equations& equations;
  long long& calls;
  void operator()(const typename Equations::State& x, typename Equations::State& d,
                  double t) const {
    ++calls;
    equations(x, d, t);
  }
  template <class J>
  void jacobian(const typename Equations::State& x, J& jac, double t) const {
    equations.jacobian(x, jac, t);
  }
};

// An implicit row's step as a twin's own step, on counted equations.
template <class Sim, class Equations>
void setUpImplicit(Sim& sim, const SchemeInfo& info, const Counted<Equations>& f) {
  Schemes::visit(info.scheme, [&sim, &f](auto row) {
    using Row = decltype(row);
    sim.custom = [f](typename Sim::State& s, double t, double h) { Row::wide(f, s, t, h); };
  });
}

// The cubic Hermite through (p0, v0) at θ = 0 and (p1, v1) at θ = 1 over a
// step of h, at θ.
double hermite(double p0, double v0, double p1, double v1, double h, double theta) {
  const double u = 1 - theta;
  return (1 + 2 * theta) * u * u * p0 + theta * u * u * h * v0 +
         theta * theta * (3 - 2 * theta) * p1 - theta * theta * u * h * v1;
}

// Where height(θ), above 0 at θ = 0 and not above at θ = 1, crosses 0.
template <class Height>
double crossing(Height&& height) {
  if (!(height(1.0) < 0.0)) return 1.0;
  const auto [lo, hi] = roots::refineRoot(height, 0.0, 1.0);
  return (lo + hi) / 2;
}

// The work ∫ kd·v² dt from the start to each sample, on each step's cubic
// through its ends' speeds and accelerations (three-point Gauss-Legendre,
// exact for it).
std::vector<double> dampingWork(const SpringRun& run, const SpringEquations<double>& eq) {
  const std::size_t n = run.size();
  std::vector<double> w(n, 0.0);
  static constexpr double nodes[3] = {0.1127016653792583, 0.5, 0.8872983346207417};
  static constexpr double weights[3] = {5.0 / 18, 8.0 / 18, 5.0 / 18};
  for (std::size_t k = 1; k < n; ++k) {
    const double h = run.t[k] - run.t[k - 1];
    const double v0 = run.speed(k - 1), v1 = run.speed(k);
    const double a0 = eq.acceleration(run.height(k - 1), v0),
                 a1 = eq.acceleration(run.height(k), v1);
    double sum = 0.0;
    for (int i = 0; i < 3; ++i) {
      const double v = hermite(v0, a0, v1, a1, h, nodes[i]);
      sum += weights[i] * v * v;
    }
    w[k] = w[k - 1] + eq.kd * h * sum;
  }
  return w;
}

}  // namespace

const char* failureName(RunFailure failure) {
  switch (failure) {
    case RunFailure::None:
      return "";
    case RunFailure::StepTooSmall:
      return "step_too_small";
    case RunFailure::NewtonFailed:
      return "newton_failed";
  }
  return "";
}

const char* stopName(const FlightRun& run) {
  return run.failure != RunFailure::None ? failureName(run.failure) : stopName(run.stop);
}
const char* stopName(const SpringRun& run) {
  return run.failure != RunFailure::None ? failureName(run.failure) : stopName(run.stop);
}

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

namespace {

// Room for an adaptive flight's points at first: a smooth flight takes tens
// of steps even at tolerances near what double precision resolves.
constexpr std::size_t kAdaptivePoints = 64;

// An adaptive flight to the ground, in double precision: the accepted
// steps as points, the ground point placed on the last step by `landing`.
void flyAdaptive(FlightRun& run, const FlightCase& c, const RunScheme& scheme,
                 const CancelFlag* cancel) {
  const FlightEquations<double> equations(c.params);
  AdaptiveIntegrator<double, 6, FlightEquations<double>> in(
      *scheme.pair(), scheme.tolerances, equations, FlightEquations<double>::launchState(c.params),
      0.0);
  reserve(run.wide, kAdaptivePoints);
  run.t.reserve(kAdaptivePoints);
  run.stepSize.reserve(kAdaptivePoints);
  auto record = [&run, &in] {
    const auto& s = in.state();
    push(run.wide, s[0], s[1], s[2], s[3], s[4], s[5]);
    run.t.push_back(in.time());
    run.stepSize.push_back(run.t.size() == 1 ? NAN : in.stepLength());
  };
  record();
  run.stop = FlightEnd::Landed;
  while (in.state()[1] > 0) {
    if (in.accepted() == kMaxFlightSteps) {
      run.stop = FlightEnd::StepLimit;
      break;
    }
    const auto before = in.state();
    if (!in.step()) {
      run.failure = RunFailure::StepTooSmall;
      run.failureText =
          "the step fell below what the time resolves at t = " + std::to_string(in.time()) + " s";
      break;
    }
    record();
    if (in.state() == before) {
      // As the fixed-step flights: a step that leaves position and velocity
      // as they were would be followed by the same again.
      run.stop = FlightEnd::Stuck;
      break;
    }
    if (in.accepted() % kCancelEvery == 0) checkCancel(cancel);
  }
  run.steps = in.accepted();
  run.rejected = in.rejected();
  if (run.landed()) {
    const std::size_t n = run.size();
    const double h = in.stepLength(), t0 = in.stepStart();
    double theta = 0.0;
    if (n < 2) {
      theta = 1.0;  // launched at or below the ground: no step was taken
    } else if (scheme.landing == Landing::Linear) {
      theta = groundFraction(run.wide.y[n - 2], run.wide.y[n - 1]);
    } else {
      theta = crossing([&in](double th) { return in.dense(th, 1); });
    }
    if (n >= 2) {
      double gx, gz;
      if (scheme.landing == Landing::Linear) {
        gx = run.wide.x[n - 2] + (run.wide.x[n - 1] - run.wide.x[n - 2]) * theta;
        gz = run.wide.z[n - 2] + (run.wide.z[n - 1] - run.wide.z[n - 2]) * theta;
      } else {
        const auto g = in.dense(theta);
        gx = g[0];
        gz = g[2];
      }
      run.wide.x.back() = gx;
      run.wide.y.back() = 0.0;
      run.wide.z.back() = gz;
      run.t.back() = t0 + theta * h;
    }
  }
  run.evaluations = in.evaluations();
}

}  // namespace

FlightRun runFlight(const FlightCase& c, const RunScheme& scheme, Precision precision,
                    const CancelFlag* cancel) {
  checkScheme(scheme, precision);
  FlightRun run;
  run.scheme = scheme.name();
  run.info = scheme.builtin;
  run.precision = precision;
  run.params = c.params;
  run.landing = scheme.landing;
  run.warning = scheme.warning();
  const double h = c.params.timeStep;

  // Room for the points the closed form expects, as the model takes it.
  std::size_t expected = 64;
  if (const auto points = c.exact.expectedPoints(c.params.timeStep))
    expected = static_cast<std::size_t>(std::fmin(*points, kMaxFlightSteps + 1.0));

  FlightResult result;
  long long customCalls = 0;
  // A landed flight's state after its last step, before its position was
  // moved onto the ground.
  double belowX = 0.0, belowY = 0.0, belowZ = 0.0;
  const Clock::time_point start = Clock::now();
  if (scheme.adaptive()) {
    flyAdaptive(run, c, scheme, cancel);
    run.wallMs = millisecondsSince(start);
  } else if (precision == Precision::Single) {
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
      belowX = run.single.x.back();
      belowY = run.single.y.back();
      belowZ = run.single.z.back();
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
    const Counted<FlightEquations<double>> counted{equations, customCalls};
    if (scheme.implicit()) setUpImplicit(sim, *scheme.builtin, counted);
    auto observe = [&run, cancel](int step, const BallisticsSimDouble::State& s) {
      push(run.wide, s[0], s[1], s[2], s[3], s[4], s[5]);
      if (step % kCancelEvery == 0) checkCancel(cancel);
    };
    try {
      result = sim.fly(observe);
    } catch (const NewtonFailure& e) {
      run.failure = RunFailure::NewtonFailed;
      run.failureText = e.what();
      result.steps = static_cast<int>(run.wide.x.size()) - 1;
      result.end = FlightEnd::StepLimit;
    }
    run.wallMs = millisecondsSince(start);
    if (result.end == FlightEnd::Landed) {
      belowX = run.wide.x.back();
      belowY = run.wide.y.back();
      belowZ = run.wide.z.back();
      const auto& g = sim.groundPoint();
      run.wide.x.back() = g[0];
      run.wide.y.back() = g[1];
      run.wide.z.back() = g[2];
    }
  }

  const std::size_t n = precision == Precision::Single ? run.single.x.size() : run.wide.x.size();
  if (!scheme.adaptive()) {
    run.stop = result.end;
    run.steps = result.steps;
    run.evaluations =
        scheme.custom || scheme.implicit() ? customCalls : run.steps * scheme.evaluationsPerStep();
    run.t.resize(n);
    for (std::size_t k = 0; k < n; ++k) run.t[k] = static_cast<double>(k) * h;
  }
  const bool landed = run.landed();
  if (landed && scheme.adaptive()) {
    run.flightTime = run.t[n - 1];
    run.landingX = run.x(n - 1);
    run.landingZ = run.z(n - 1);
  } else if (landed && scheme.landing == Landing::Linear) {
    // The ground point's time, within the last step, where the height of
    // the step's end (before it was moved onto the ground) crosses 0.
    run.flightTime = (static_cast<double>(n - 2) + groundFraction(run.y(n - 2), belowY)) * h;
    run.t[n - 1] = run.flightTime;
    run.landingX = run.x(n - 1);
    run.landingZ = run.z(n - 1);
  } else if (landed) {
    // On the cubic through the last step's ends, positions and velocities
    // (the ground point keeps the last step's velocity).
    const std::size_t a = n - 2, b = n - 1;
    const double theta =
        crossing([&](double th) { return hermite(run.y(a), run.vy(a), belowY, run.vy(b), h, th); });
    run.flightTime = (static_cast<double>(a) + theta) * h;
    run.t[b] = run.flightTime;
    run.landingX = hermite(run.x(a), run.vx(a), belowX, run.vx(b), h, theta);
    run.landingZ = hermite(run.z(a), run.vz(a), belowZ, run.vz(b), h, theta);
    if (precision == Precision::Single) {
      run.single.x[b] = static_cast<float>(run.landingX);
      run.single.y[b] = 0.0f;
      run.single.z[b] = static_cast<float>(run.landingZ);
    } else {
      run.wide.x[b] = run.landingX;
      run.wide.y[b] = 0.0;
      run.wide.z[b] = run.landingZ;
    }
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
    run.landingMiss = std::hypot(run.landingX - e.x, run.y(n - 1) - e.y, run.landingZ - e.z);
  }
  // A landed flight of one step measured its path nowhere but at the launch
  // point, where every scheme is exact; a run that diverged measured nothing.
  if ((landed && n <= 2) || run.diverged()) run.maxPathError = NAN;
  return run;
}

namespace {

// An adaptive spring run in double precision: the accepted steps as
// samples, ending at rest (the derivative at a step's end, reused by the
// next step, and the speed judged by the model's rule), at `until`
// exactly, or at the sample limit.
void runAdaptive(SpringRun& run, const SpringCase& c, const RunScheme& scheme,
                 std::optional<double> until, const CancelFlag* cancel) {
  const SpringEquations<double> equations(c.params);
  AdaptiveIntegrator<double, 2, SpringEquations<double>> in(
      *scheme.pair(), scheme.tolerances, equations, SpringEquations<double>::startState(c.params),
      0.0);
  auto record = [&run, &in] {
    run.yWide.push_back(in.state()[0]);
    run.vWide.push_back(in.state()[1]);
    run.t.push_back(in.time());
    run.stepSize.push_back(run.t.size() == 1 ? NAN : in.stepLength());
  };
  record();
  if (c.params.mass == 0.0f) {
    run.stop = SpringStop::NotRun;
    run.evaluations = in.evaluations();
    return;
  }
  const double end = until ? *until : std::numeric_limits<double>::infinity();
  for (;;) {
    if (!in.step(end)) {
      run.failure = RunFailure::StepTooSmall;
      run.failureText =
          "the step fell below what the time resolves at t = " + std::to_string(in.time()) + " s";
      break;
    }
    record();
    if (in.accepted() % kCancelEvery == 0) checkCancel(cancel);
    const auto& d = in.derivative();
    const bool settled = std::fabs(d[0]) < kSettleThreshold && std::fabs(d[1]) < kSettleThreshold;
    if (settled && !(std::fabs(in.state()[1]) > kRestSpeed)) {
      run.stop = SpringStop::AtRest;
      break;
    }
    if (in.time() >= end) {
      run.stop = SpringStop::Until;
      break;
    }
    if (run.t.size() >= kMaxSpringSamples) {
      run.stop = SpringStop::SampleLimit;
      break;
    }
  }
  run.steps = in.accepted();
  run.rejected = in.rejected();
  run.evaluations = in.evaluations();
}

}  // namespace

SpringRun runSpring(const SpringCase& c, const RunScheme& scheme, Precision precision,
                    std::optional<double> until, const CancelFlag* cancel) {
  checkScheme(scheme, precision);
  SpringRun run;
  run.scheme = scheme.name();
  run.info = scheme.builtin;
  run.precision = precision;
  run.params = c.params;
  run.warning = scheme.warning();
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
  const SpringEquations<double> equations(c.params);
  const Clock::time_point start = Clock::now();
  if (scheme.adaptive()) {
    runAdaptive(run, c, scheme, until, cancel);
  } else if (precision == Precision::Single) {
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
    const CustomScheme::Derivative f = countedDerivative(equations, customCalls);
    setUpTwin(sim, c.params, scheme, f);
    const Counted<SpringEquations<double>> counted{equations, customCalls};
    if (scheme.implicit()) setUpImplicit(sim, *scheme.builtin, counted);
    auto observe = [&run, cancel](int step, const SpringMassSimDouble::State& s) {
      run.yWide.push_back(s[0]);
      run.vWide.push_back(s[1]);
      if (step % kCancelEvery == 0) checkCancel(cancel);
    };
    try {
      result = sim.run(observe, untilSteps);
    } catch (const NewtonFailure& e) {
      run.failure = RunFailure::NewtonFailed;
      run.failureText = e.what();
      result.ran = true;
      result.steps = static_cast<int>(run.yWide.size()) - 1;
    }
  }
  run.wallMs = millisecondsSince(start);

  const std::size_t n = precision == Precision::Single ? run.y.size() : run.yWide.size();
  if (!scheme.adaptive()) {
    run.steps = result.steps;
    run.evaluations =
        scheme.custom || scheme.implicit() ? customCalls : run.steps * scheme.evaluationsPerStep();
    run.stop = !result.ran                  ? SpringStop::NotRun
               : result.settled             ? SpringStop::AtRest
               : result.steps >= untilSteps ? SpringStop::Until
                                            : SpringStop::SampleLimit;
    run.t.resize(n);
    for (std::size_t k = 0; k < n; ++k) run.t[k] = static_cast<double>(k) * h;
  }
  const ExactSpring& exact = c.exact;
  const bool closedForm = exact.regime() != ExactSpring::NoClosedForm;
  run.restingHeight = exact.restingHeight();
  if (run.stop != SpringStop::NotRun) run.finalHeight = run.height(n - 1);
  run.exactY.resize(n);
  run.heightError.resize(n);
  run.energy.resize(n);
  bool anyHolds = false;
  double maxError = 0.0;
  for (std::size_t k = 0; k < n; ++k) {
    const double t = run.t[k];
    const double y = run.height(k);
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
  if (closedForm)
    run.dampingWork = dampingWork(run, equations);
  else
    run.dampingWork.assign(n, NAN);
  const double e0 = run.energy[0];
  if (closedForm && std::isfinite(e0) && e0 > 0.0) {
    double drift = 0.0, balance = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
      drift = std::fmax(drift, std::fabs(run.energy[k] - e0) / e0);
      balance = std::fmax(balance, std::fabs(run.energy[k] + run.dampingWork[k] - e0) / e0);
    }
    run.energyDrift = drift;
    run.energyBalanceDrift = balance;
  }
  // A run whose state overflowed has no errors to report.
  if (run.diverged()) run.maxHeightError = run.energyDrift = run.energyBalanceDrift = NAN;
  return run;
}
