#include "studies.h"

#include <array>
#include <boost/numeric/odeint.hpp>
#include <cfloat>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

namespace {

namespace odeint = boost::numeric::odeint;
using Clock = std::chrono::steady_clock;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

double distance(const Vector3f& p, const Vec3d& q) {
  return std::hypot(p.x - q.x, p.y - q.y, p.z - q.z);
}

// Sets the model up for one scheme and times `go(sim)`, its whole run.
template <class Sim, class Params, class Go>
auto timedRun(Sim& sim, const Params& params, const SchemeInfo& scheme, SchemeRun& run, Go go) {
  run.scheme = &scheme;
  run.timeStep = params.timeStep;
  sim.params = params;
  sim.setScheme(scheme.scheme);
  const Clock::time_point start = Clock::now();
  const auto result = go(sim);
  run.wallSeconds = seconds(start);
  run.evaluations = static_cast<long long>(result.steps) * scheme.evaluations;
  return result;
}

FlightRun runFlight(const BallisticsParams& params, const SchemeInfo& scheme,
                    const ExactFlight& exact) {
  FlightRun run;
  BallisticsSim sim;
  Vector3f last;
  run.result = timedRun(sim, params, scheme, run, [&last](BallisticsSim& s) {
    return s.fly([&last](int, const StateList& state) { last = state[0]; });
  });
  run.trajectory = std::move(sim.trajectory);

  const bool landed = run.result.end == FlightEnd::Landed;
  const std::size_t n = run.trajectory.size() - 1;
  run.flightTime = kNaN;
  if (landed) {
    const double above = run.trajectory[n - 1].y;
    run.flightTime = (static_cast<double>(n - 1) + above / (above - last.y)) * params.timeStep;
  }
  run.landingMiss = kNaN;
  if (landed && exact.landingTime())
    run.landingMiss = distance(run.trajectory[n], exact.position(*exact.landingTime()));
  run.maxError = 0.0;
  for (std::size_t k = 0; k < (landed ? n : n + 1); ++k)
    run.maxError =
        std::fmax(run.maxError, distance(run.trajectory[k], exact.position(run.timeAt(k))));
  return run;
}

SpringRun runSpring(const SpringMassParams& params, const SchemeInfo& scheme,
                    const ExactSpring& exact) {
  SpringRun run;
  SpringMassSim sim;
  run.speeds.reserve(SpringMassSim::kMaxSamples);
  std::vector<float>& speeds = run.speeds;
  run.result = timedRun(sim, params, scheme, run, [&speeds](SpringMassSim& s) {
    return s.run([&speeds](int, const StateList& state) { speeds.push_back(state[1].y); });
  });
  run.heights = std::move(sim.trajectory);

  const double h = params.timeStep;
  bool any = false;
  run.maxError = 0.0;
  for (std::size_t k = 0; k < run.heights.size(); ++k) {
    if (!exact.holdsAt(k * h)) break;
    any = true;
    run.maxError = std::fmax(run.maxError, std::fabs(run.heights[k] - exact.height(k * h)));
  }
  if (!any) run.maxError = kNaN;
  const std::size_t last = run.heights.size() - 1;
  const double end = last * h;
  run.energyDrift = exact.holdsAt(end) ? exact.energy(run.heights[last], run.speeds[last]) -
                                             exact.energy(exact.height(end), exact.velocity(end))
                                       : kNaN;
  return run;
}

// Boost.Odeint's steppers for the three schemes, in double (or long double).
template <class State, class T>
using MidpointStepper = odeint::explicit_generic_rk<2, 2, State, T, State, T>;

template <class State, class T>
MidpointStepper<State, T> midpointStepper() {
  // k2 = f(x + h/2·k1, t + h/2), x += h·k2
  const boost::array<T, 1> a1 = {{0.5}};
  const typename MidpointStepper<State, T>::coef_b_type b = {{0.0, 1.0}};
  const typename MidpointStepper<State, T>::coef_c_type c = {{0.0, 0.5}};
  return MidpointStepper<State, T>(boost::fusion::make_vector(a1), b, c);
}

template <class Stepper, class System, class State, class T>
State stepMany(Stepper stepper, const System& system, State x, T h, long long n) {
  for (long long i = 0; i < n; ++i) stepper.do_step(system, x, static_cast<T>(i) * h, h);
  return x;
}

template <class System, class State, class T = typename State::value_type>
State stepWide(int scheme, const System& system, const State& x, T h, long long n) {
  switch (scheme) {
    case Euler:
      return stepMany(odeint::euler<State, T, State, T>(), system, x, h, n);
    case Midpoint:
      return stepMany(midpointStepper<State, T>(), system, x, h, n);
    default:
      return stepMany(odeint::runge_kutta4<State, T, State, T>(), system, x, h, n);
  }
}

// The flight's equations: dp/dt = v, dv/dt = -k·v + (0, g, 0).
template <class T>
struct FlightSystem {
  using State = std::array<T, 6>;
  T k, g;
  void operator()(const State& x, State& dxdt, T) const {
    for (int i = 0; i < 3; ++i) dxdt[i] = x[3 + i];
    for (int i = 3; i < 6; ++i) dxdt[i] = -k * x[i];
    dxdt[4] += g;
  }
};

// The spring's equations, with the model's whole force law.
template <class T>
struct SpringSystem {
  using State = std::array<T, 2>;
  T mass, ks, kd, length, gravity;
  void operator()(const State& x, State& dxdt, T) const {
    const T side = x[0] >= 0 ? 1 : -1;
    dxdt[0] = x[1];
    dxdt[1] = ((std::fabs(x[0]) - length) * -ks * side - kd * x[1] + gravity) / mass;
  }
};

// The error at T of the model (single precision) and of the same scheme in
// double, and how far each lies from the same scheme one precision wider:
// that distance is rounding, not the scheme.
struct LevelResult {
  // doubleRounding needs a run in long double: only made for the double rows.
  double singleError, doubleError, singleRounding, doubleRounding;
  double size;  // of the exact value, whose own rounding is about DBL_EPSILON·size
};

template <class T>
std::array<T, 6> wideFlight(const BallisticsParams& params, const Vector3f& v0, int scheme, float h,
                            long long n) {
  const FlightSystem<T> system{static_cast<T>(params.airFriction) / params.projectileMass,
                               params.gravity};
  const std::array<T, 6> x0{0, kLaunchHeight, 0, v0.x, v0.y, v0.z};
  return stepWide(scheme, system, x0, static_cast<T>(h), n);
}

template <class T>
std::array<T, 2> wideSpring(const SpringMassParams& params, int scheme, float h, long long n) {
  const SpringParams& s = params.springs[0];
  const SpringSystem<T> system{params.mass, s.ks, s.kd, s.restLength, params.gravity};
  return stepWide(scheme, system, std::array<T, 2>{-s.restLength, 0}, static_cast<T>(h), n);
}

LevelResult flightLevel(const BallisticsParams& params, const ExactFlight& exact, int scheme,
                        float h, long long n, bool withDouble) {
  BallisticsSim sim;
  sim.params = params;
  sim.params.timeStep = h;
  sim.setScheme(scheme);
  const Vector3f v0 = muzzleVelocity(params);
  sim.state = StateList{Vector3f(0.0f, kLaunchHeight, 0.0f), v0};
  for (long long i = 0; i < n; ++i) sim.step();
  const Vector3f& p = sim.state[0];
  const auto d = wideFlight<double>(params, v0, scheme, h, n);
  const Vec3d e = exact.position(static_cast<double>(n) * h);
  const Vec3d q{d[0], d[1], d[2]};
  double doubleRounding = kNaN;
  if (withDouble) {
    const auto w = wideFlight<long double>(params, v0, scheme, h, n);
    doubleRounding = static_cast<double>(std::hypot(w[0] - d[0], w[1] - d[1], w[2] - d[2]));
  }
  return {distance(p, e), std::hypot(q.x - e.x, q.y - e.y, q.z - e.z), distance(p, q),
          doubleRounding, std::hypot(e.x, e.y, e.z)};
}

LevelResult springLevel(const SpringMassParams& params, const ExactSpring& exact, int scheme,
                        float h, long long n, bool withDouble) {
  SpringMassSim sim;
  sim.params = params;
  sim.params.timeStep = h;
  sim.setScheme(scheme);
  sim.state = StateList{Vector3f(0.0f, -params.springs[0].restLength, 0.0f), Vector3f()};
  for (long long i = 0; i < n; ++i) sim.step();
  const double y = sim.state[0].y;
  const double d = wideSpring<double>(params, scheme, h, n)[0];
  const double e = exact.height(static_cast<double>(n) * h);
  const double doubleRounding =
      withDouble
          ? static_cast<double>(std::fabs(wideSpring<long double>(params, scheme, h, n)[0] - d))
          : kNaN;
  return {std::fabs(y - e), std::fabs(d - e), std::fabs(y - d), doubleRounding, std::fabs(e)};
}

}  // namespace

double FlightRun::timeAt(std::size_t k) const {
  if (result.end == FlightEnd::Landed && k + 1 == trajectory.size()) return flightTime;
  return static_cast<double>(k) * timeStep;
}

FlightStudy studyFlight(const BallisticsParams& params,
                        const std::vector<const SchemeInfo*>& schemes, const Progress& progress) {
  FlightStudy study{params, ExactFlight(params), {}};
  for (const SchemeInfo* s : schemes) {
    if (progress) progress("flight, " + std::string(s->name));
    study.runs.push_back(runFlight(params, *s, study.exact));
  }
  return study;
}

SpringStudy studySpring(const SpringMassParams& params,
                        const std::vector<const SchemeInfo*>& schemes, const Progress& progress) {
  SpringStudy study{params, ExactSpring(params), {}};
  for (const SchemeInfo* s : schemes) {
    if (progress) progress("spring, " + std::string(s->name));
    study.runs.push_back(runSpring(params, *s, study.exact));
  }
  return study;
}

int maxConvergenceLevels(float dt, double at) {
  // The finest level must keep a normal single-precision step and count its
  // steps in an int, as the models do.
  const double n0 = std::round(at / dt);
  int levels = 1;
  while (levels < 64 && n0 * std::ldexp(1.0, levels) <= INT_MAX &&
         std::ldexp(static_cast<double>(dt), -levels) >= FLT_MIN)
    ++levels;
  return levels;
}

std::string prepareConvergence(StudyModel model, const BallisticsParams& flight,
                               const SpringMassParams& spring, float dt, int levels, double& at) {
  const auto fmt = [](double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return std::string(buf);
  };
  const double h = dt;
  std::optional<double> landing;
  std::optional<ExactSpring> exact;
  if (model == StudyModel::Flight) {
    landing = ExactFlight(flight).landingTime();
    if (at <= 0.0) {
      // Three quarters of the way to the exact landing, on a whole step.
      const double n0 = landing ? std::floor(0.75 * *landing / h) : 10.0;
      if (n0 < 1.0)
        return "the flight lands after " + fmt(*landing) +
               " s, within the first time step: choose a smaller --dt";
      at = n0 * h;
    }
  } else {
    exact.emplace(spring);
    if (exact->regime() == ExactSpring::NoClosedForm)
      return "the spring has no closed-form solution for these values (it needs mass > 0 and "
             "ks > 0), so there is nothing to measure the error against";
    if (at <= 0.0) at = 4.0;
  }
  const double n0 = std::round(at / h);
  if (n0 < 1.0 || std::fabs(n0 * h - at) > 1e-6 * at)
    return "the time " + fmt(at) + " s (--at) is not a whole number of time steps of " + fmt(h) +
           " s";
  at = n0 * h;
  if (levels < 1 || levels > maxConvergenceLevels(dt, at))
    return "--levels must lie between 1 and " + std::to_string(maxConvergenceLevels(dt, at)) +
           " for this --dt and --at";
  if (model == StudyModel::Flight) {
    if (landing && at >= *landing)
      return "the time " + fmt(at) + " s (--at) is not before the exact landing at " +
             fmt(*landing) + " s";
  } else if (!exact->holdsAt(at)) {
    return "the closed form holds only until the body reaches the anchor at " +
           fmt(exact->validUntil()) + " s, before the time " + fmt(at) + " s (--at)";
  }
  return "";
}

ConvergenceStudy studyConvergence(StudyModel model, const BallisticsParams& flight,
                                  const SpringMassParams& spring,
                                  const std::vector<const SchemeInfo*>& schemes, float dt,
                                  int levels, double at, bool withDouble,
                                  const Progress& progress) {
  ConvergenceStudy study;
  study.at = at;
  const long long n0 = std::llround(at / dt);
  // Only the studied model's closed form: the spring's can take a while.
  std::optional<ExactFlight> exactFlight;
  std::optional<ExactSpring> exactSpring;
  if (model == StudyModel::Flight)
    exactFlight.emplace(flight);
  else
    exactSpring.emplace(spring);
  for (const SchemeInfo* s : schemes) {
    std::vector<ConvergenceRow> single, dbl;
    for (int level = 0; level < levels; ++level) {
      if (progress)
        progress(std::string(s->name) + ", level " + std::to_string(level + 1) + " of " +
                 std::to_string(levels));
      const float h = std::ldexp(dt, -level);
      const long long n = n0 << level;
      const LevelResult r = model == StudyModel::Flight
                                ? flightLevel(flight, *exactFlight, s->scheme, h, n, withDouble)
                                : springLevel(spring, *exactSpring, s->scheme, h, n, withDouble);
      // Errors within a few dozen roundings of the exact value itself say
      // nothing about the scheme either.
      const double resolution = 64 * DBL_EPSILON * r.size;
      // A level's row, its order against the level before, and whether
      // rounding hides the scheme there.
      auto add = [&](std::vector<ConvergenceRow>& rows, bool wide, double error, double rounding) {
        ConvergenceRow row{s,
                           wide,
                           h,
                           n,
                           n * s->evaluations,
                           error,
                           kNaN,
                           rounding > 0.05 * r.doubleError || error < resolution};
        if (!rows.empty()) row.order = observedOrder(rows.back().error, row.error);
        rows.push_back(row);
      };
      add(single, false, r.singleError, r.singleRounding);
      if (withDouble) add(dbl, true, r.doubleError, r.doubleRounding);
    }
    study.rows.insert(study.rows.end(), single.begin(), single.end());
    if (withDouble) study.rows.insert(study.rows.end(), dbl.begin(), dbl.end());
  }
  return study;
}
