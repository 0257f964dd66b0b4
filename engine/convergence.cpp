#include "convergence.h"

#include <algorithm>
#include <boost/numeric/odeint.hpp>
#include <cfloat>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <stdexcept>
#include <tuple>

#include "ballisticssim.h"
#include "embedded.h"
#include "runs.h"
#include "schemes.h"
#include "springmasssim.h"

namespace {

namespace odeint = boost::numeric::odeint;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The wall time of work(), in ms, into `ms`.
template <class Work>
auto timed(double& ms, Work&& work) {
  const auto start = std::chrono::steady_clock::now();
  auto result = work();
  ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return result;
}

std::string fmt(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

// Boost.Odeint's steppers for pbsim's three schemes, in double (or long double).
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
State stepMany(Stepper stepper, const System& system, State x, T h, long long n,
               const CancelFlag* cancel) {
  for (long long i = 0; i < n; ++i) {
    if ((i & 0xffff) == 0) checkCancel(cancel);
    stepper.do_step(system, x, static_cast<T>(i) * h, h);
  }
  return x;
}

// Boost.Odeint's stepper for a row of the scheme table, where Odeint has
// one: the double rows of pbsim's three schemes are checked against an
// integrator no one here wrote. Other rows step with their own wide step.
template <class Row>
struct OdeintStepper {
  static constexpr bool exists = false;
};
template <>
struct OdeintStepper<schemerows::EulerRow> {
  static constexpr bool exists = true;
  template <class State, class T>
  static auto make() {
    return odeint::euler<State, T, State, T>();
  }
};
template <>
struct OdeintStepper<schemerows::MidpointRow> {
  static constexpr bool exists = true;
  template <class State, class T>
  static auto make() {
    return midpointStepper<State, T>();
  }
};
template <>
struct OdeintStepper<schemerows::RK4Row> {
  static constexpr bool exists = true;
  template <class State, class T>
  static auto make() {
    return odeint::runge_kutta4<State, T, State, T>();
  }
};

// n steps of h of the scheme in a wide type from x: Odeint where it has the
// row's stepper, the row's wide step otherwise, or the tableau's.
template <class System, class State, class T = typename State::value_type>
State stepWideMany(const RunScheme& scheme, const System& system, const State& x, T h, long long n,
                   const CancelFlag* cancel) {
  State y = x;
  auto loop = [&](auto&& step) {
    for (long long i = 0; i < n; ++i) {
      if ((i & 0xffff) == 0) checkCancel(cancel);
      step(static_cast<T>(i) * h);
    }
  };
  if (scheme.tableau) {
    loop([&](T t) { widesteps::tableau(*scheme.tableau, system, y, t, h); });
    return y;
  }
  const int value = scheme.builtin ? scheme.builtin->scheme : -1;
  if (!Schemes::visit(value, [&](auto row) {
        using Row = decltype(row);
        if constexpr (OdeintStepper<Row>::exists)
          y = stepMany(OdeintStepper<Row>::template make<State, T>(), system, x, h, n, cancel);
        else
          loop([&](T t) { Row::wide(system, y, t, h); });
      }))
    throw std::invalid_argument("no scheme given");
  return y;
}

// The error at T of the model (single precision) and of the same scheme in
// double, and how far each lies from the same scheme one precision wider:
// that distance is rounding, not the scheme.
struct LevelResult {
  // doubleRounding needs a run in long double: only made for the double rows.
  double singleError, doubleError, singleRounding, doubleRounding;
  double size;  // of the exact value, whose own rounding is about DBL_EPSILON·size
  double singleMs = 0.0, doubleMs = 0.0;  // wall time of the model's run and of the double one
};

// The model itself, n steps of h from its start.
template <class Sim>
void stepModel(Sim& sim, const RunScheme& scheme, long long n, const CancelFlag* cancel) {
  sim.setScheme(scheme.builtin ? scheme.builtin->scheme : Euler);
  for (long long i = 0; i < n; ++i) {
    if ((i & 0xffff) == 0) checkCancel(cancel);
    if (scheme.tableau)
      sim.stepTableau(*scheme.tableau);
    else
      sim.stepAnyScheme();
  }
}

LevelResult flightLevel(const FlightCase& c, const RunScheme& scheme, float h, long long n,
                        bool withDouble, const CancelFlag* cancel) {
  BallisticsSim sim;
  sim.params = c.params;
  sim.params.timeStep = h;
  sim.state = BallisticsSim::launchState(c.params);
  double singleMs = 0.0, doubleMs = 0.0;
  const bool single = scheme.hasSingle();
  if (single)
    timed(singleMs, [&] {
      stepModel(sim, scheme, n, cancel);
      return 0;
    });
  const Vector3f& p = sim.state[0];
  const FlightEquations<double> system(c.params);
  const auto d = timed(doubleMs, [&] {
    return stepWideMany(scheme, system, FlightEquations<double>::launchState(c.params),
                        static_cast<double>(h), n, cancel);
  });
  const Vec3d e = c.position(static_cast<double>(n) * h);
  double doubleRounding = kNaN;
  if (withDouble) {
    const FlightEquations<long double> wide(c.params);
    const auto w = stepWideMany(scheme, wide, FlightEquations<long double>::launchState(c.params),
                                static_cast<long double>(h), n, cancel);
    doubleRounding = static_cast<double>(std::hypot(w[0] - d[0], w[1] - d[1], w[2] - d[2]));
  }
  return {single ? std::hypot(p.x - e.x, p.y - e.y, p.z - e.z) : kNaN,
          std::hypot(d[0] - e.x, d[1] - e.y, d[2] - e.z),
          single ? std::hypot(p.x - d[0], p.y - d[1], p.z - d[2]) : kNaN,
          doubleRounding,
          std::hypot(e.x, e.y, e.z),
          singleMs,
          doubleMs};
}

LevelResult springLevel(const SpringCase& c, const RunScheme& scheme, float h, long long n,
                        bool withDouble, const CancelFlag* cancel) {
  SpringMassSim sim;
  sim.params = c.params;
  sim.params.timeStep = h;
  sim.state = SpringMassSim::startState(c.params);
  double singleMs = 0.0, doubleMs = 0.0;
  const bool single = scheme.hasSingle();
  if (single)
    timed(singleMs, [&] {
      stepModel(sim, scheme, n, cancel);
      return 0;
    });
  const double y = sim.state[0].y;
  const SpringEquations<double> system(c.params);
  const double d = timed(doubleMs, [&] {
    return stepWideMany(scheme, system, SpringEquations<double>::startState(c.params),
                        static_cast<double>(h), n, cancel)[0];
  });
  const double e = c.exact.height(static_cast<double>(n) * h);
  double doubleRounding = kNaN;
  if (withDouble) {
    const SpringEquations<long double> wide(c.params);
    doubleRounding = static_cast<double>(
        std::fabs(stepWideMany(scheme, wide, SpringEquations<long double>::startState(c.params),
                               static_cast<long double>(h), n, cancel)[0] -
                  d));
  }
  return {single ? std::fabs(y - e) : kNaN,
          std::fabs(d - e),
          single ? std::fabs(y - d) : kNaN,
          doubleRounding,
          std::fabs(e),
          singleMs,
          doubleMs};
}

// The landing's miss at a step of h: a whole run of the model (and of its
// double twin), the ground point placed by the scheme's landing rule. The
// single rows' floor is their distance from the double run's landing; the
// double rows' is only the resolution.
LevelResult landingLevel(const FlightCase& c, const RunScheme& scheme, float h, long long& steps,
                         long long& evaluations, bool withDouble, const CancelFlag* cancel) {
  FlightCase level = c;
  level.params.timeStep = h;
  const bool single = scheme.hasSingle();
  LevelResult r{kNaN, kNaN, kNaN, kNaN, 0.0, 0.0, 0.0};
  FlightRun wide = runFlight(level, scheme, Precision::Double, cancel);
  r.doubleMs = wide.wallMs;
  r.doubleError = wide.landingMiss;
  steps = wide.steps;
  evaluations = wide.evaluations;
  if (single) {
    const FlightRun model = runFlight(level, scheme, Precision::Single, cancel);
    r.singleMs = model.wallMs;
    r.singleError = model.landingMiss;
    r.singleRounding = std::hypot(model.landingX - wide.landingX, model.landingZ - wide.landingZ);
    steps = model.steps;
    evaluations = model.evaluations;
  }
  (void)withDouble;
  if (const auto t = c.landingTime()) {
    const Vec3d e = c.position(*t);
    r.size = std::hypot(e.x, e.y, e.z);
  }
  return r;
}

// v rounded to 12 significant decimal digits.
double decimal(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.12g", v);
  return std::strtod(buf, nullptr);
}

// The state of an adaptive integration from the model's start to T.
template <class Equations>
typename Equations::State adaptiveTo(const RunScheme& scheme, const Tolerances& tol,
                                     const Equations& system,
                                     const typename Equations::State& start, double at,
                                     long long& steps, long long& rejected, long long& evaluations,
                                     const CancelFlag* cancel) {
  AdaptiveIntegrator<double, std::tuple_size<typename Equations::State>::value, Equations> in(
      *scheme.pair(), tol, system, start, 0.0);
  while (in.time() < at) {
    if (!in.step(at))
      throw std::runtime_error(
          scheme.name() + ": the step fell below what the time resolves at t = " + fmt(in.time()) +
          " s (rtol " + fmt(tol.rtol) + ")");
    if ((in.accepted() & 0xfff) == 0) checkCancel(cancel);
  }
  steps = in.accepted();
  rejected = in.rejected();
  evaluations = in.evaluations();
  return in.state();
}

struct AdaptiveLevel {
  double error, size, ms;
  long long steps, rejected, evaluations;
};

AdaptiveLevel adaptiveLevel(const FlightCase& c, const RunScheme& s, double at,
                            ConvergenceQuantity q, const CancelFlag* cancel) {
  AdaptiveLevel r{};
  if (q == ConvergenceQuantity::Landing) {
    const FlightRun run = runFlight(c, s, Precision::Double, cancel);
    r = {run.landingMiss, 0.0, run.wallMs, run.steps, run.rejected, run.evaluations};
    if (const auto t = c.landingTime()) {
      const Vec3d e = c.position(*t);
      r.size = std::hypot(e.x, e.y, e.z);
    }
    return r;
  }
  const FlightEquations<double> system(c.params);
  const auto d = timed(r.ms, [&] {
    return adaptiveTo(s, s.tolerances, system, FlightEquations<double>::launchState(c.params), at,
                      r.steps, r.rejected, r.evaluations, cancel);
  });
  const Vec3d e = c.position(at);
  r.error = std::hypot(d[0] - e.x, d[1] - e.y, d[2] - e.z);
  r.size = std::hypot(e.x, e.y, e.z);
  return r;
}

AdaptiveLevel adaptiveLevel(const SpringCase& c, const RunScheme& s, double at, ConvergenceQuantity,
                            const CancelFlag* cancel) {
  AdaptiveLevel r{};
  const SpringEquations<double> system(c.params);
  const auto d = timed(r.ms, [&] {
    return adaptiveTo(s, s.tolerances, system, SpringEquations<double>::startState(c.params), at,
                      r.steps, r.rejected, r.evaluations, cancel);
  });
  const double e = c.exact.height(at);
  r.error = std::fabs(d[0] - e);
  r.size = std::fabs(e);
  return r;
}

template <class Case>
LevelResult landingOrNot(const Case&, const RunScheme&, float, long long&, long long&, bool,
                         const CancelFlag*) {
  throw std::invalid_argument("the landing is the flight's: a spring's study measures at T");
}
template <>
LevelResult landingOrNot<FlightCase>(const FlightCase& c, const RunScheme& s, float h,
                                     long long& steps, long long& evaluations, bool withDouble,
                                     const CancelFlag* cancel) {
  return landingLevel(c, s, h, steps, evaluations, withDouble, cancel);
}

// How far what the errors are measured against may itself be off.
double judgeError(const FlightCase& c) { return c.judgeError(); }
double judgeError(const SpringCase&) { return 0.0; }

// T as a whole number of steps, and the levels that fit.
std::optional<Problem> checkSteps(float dt, ConvergenceSettings& settings) {
  const double h = dt;
  const double n0 = std::round(settings.at / h);
  if (n0 < 1.0 || std::fabs(n0 * h - settings.at) > 1e-6 * settings.at)
    return Problem{"at", "must be a whole number of time steps of " + fmt(h) + " s, not " +
                             fmt(settings.at) + " s"};
  settings.at = n0 * h;
  const int most = maxConvergenceLevels(dt, settings.at);
  if (settings.levels < 1 || settings.levels > most)
    return Problem{"levels", "must lie between 1 and " + std::to_string(most) +
                                 " for this time step and time T"};
  return std::nullopt;
}

template <class Case, class Level>
ConvergenceStudy study(const Case& c, const std::vector<RunScheme>& schemes,
                       const ConvergenceSettings& settings, const Progress& progress,
                       const CancelFlag* cancel, Level level) {
  for (const RunScheme& s : schemes) {
    if (s.custom)
      throw std::invalid_argument(
          "a convergence study runs the built-in schemes and tableaus only");
    if (const std::string p = s.problem(Precision::Double); !p.empty())
      throw std::invalid_argument(p);
    if (s.adaptive() && settings.sweep == ConvergenceSweep::Step)
      throw std::invalid_argument(s.name() +
                                  " is adaptive: it chooses its own steps, so its study sweeps "
                                  "rtol, not dt");
    if (!s.adaptive() && settings.sweep == ConvergenceSweep::Tolerance)
      throw std::invalid_argument(s.name() + " steps with a fixed dt: it has no rtol to sweep");
  }
  ConvergenceStudy result;
  result.at = settings.at;
  result.quantity = settings.quantity;
  const bool landing = settings.quantity == ConvergenceQuantity::Landing;
  const float dt = c.params.timeStep;
  const long long n0 = std::llround(settings.at / dt);
  for (const RunScheme& s : schemes) {
    const std::string name = s.name();
    if (s.adaptive()) {
      // Levels of rtol, atol in the scheme's own proportion to it.
      std::vector<ConvergenceRow> rows;
      const double ratio = s.tolerances.atol / s.tolerances.rtol;
      for (int lv = 0; lv < settings.rtolLevels; ++lv) {
        if (progress)
          progress(name + ", level " + std::to_string(lv + 1) + " of " +
                   std::to_string(settings.rtolLevels));
        RunScheme at = s;
        at.tolerances.rtol = levelRtol(settings, lv);
        at.tolerances.atol = decimal(at.tolerances.rtol * ratio);
        const AdaptiveLevel r = adaptiveLevel(c, at, settings.at, settings.quantity, cancel);
        const double resolution = std::fmax(64 * DBL_EPSILON * r.size, 10 * judgeError(c));
        ConvergenceRow row{name,
                           s.builtin,
                           Precision::Double,
                           kNaN,
                           r.steps,
                           r.evaluations,
                           r.error,
                           kNaN,
                           r.error < resolution,
                           r.ms,
                           at.tolerances.rtol,
                           r.rejected,
                           s.algebraicOrder()};
        if (!rows.empty())
          row.order =
              std::log(rows.back().error / row.error) / std::log(rows.back().rtol / row.rtol);
        rows.push_back(row);
      }
      result.rows.insert(result.rows.end(), rows.begin(), rows.end());
      continue;
    }
    const bool single = s.hasSingle();
    const bool withDouble = settings.withDouble || !single;
    std::vector<ConvergenceRow> singleRows, doubleRows;
    const std::optional<int> algebraic = s.algebraicOrder();
    for (int lv = 0; lv < settings.levels; ++lv) {
      if (progress)
        progress(name + ", level " + std::to_string(lv + 1) + " of " +
                 std::to_string(settings.levels));
      const float h = std::ldexp(dt, -lv);
      long long n = n0 << lv;
      long long evaluations = n * s.evaluationsPerStep();
      const LevelResult r = landing ? landingOrNot(c, s, h, n, evaluations, withDouble, cancel)
                                    : level(c, s, h, n, withDouble, cancel);
      // Errors within a few dozen roundings of the exact value itself say
      // nothing about the scheme either.
      // Nor do errors within a few times the reference's own error, where a
      // reference stands in for the closed form.
      const double resolution = std::fmax(64 * DBL_EPSILON * r.size, 10 * judgeError(c));
      // A level's row, its order against the level before, and whether
      // rounding hides the scheme there.
      auto add = [&](std::vector<ConvergenceRow>& rows, Precision precision, double error,
                     double rounding, double ms) {
        const double scale = landing && precision == Precision::Double ? 0.0 : r.doubleError;
        ConvergenceRow row{name,     s.builtin, precision,
                           h,        n,         evaluations,
                           error,    kNaN,      rounding > 0.05 * scale || error < resolution,
                           ms,       NAN,       0,
                           algebraic};
        if (landing && precision == Precision::Double) row.atFloor = error < resolution;
        if (!rows.empty()) row.order = observedOrder(rows.back().error, row.error);
        rows.push_back(row);
      };
      if (single) add(singleRows, Precision::Single, r.singleError, r.singleRounding, r.singleMs);
      if (withDouble)
        add(doubleRows, Precision::Double, r.doubleError, r.doubleRounding, r.doubleMs);
    }
    result.rows.insert(result.rows.end(), singleRows.begin(), singleRows.end());
    result.rows.insert(result.rows.end(), doubleRows.begin(), doubleRows.end());
  }
  return result;
}

}  // namespace

const char* quantityName(ConvergenceQuantity q) {
  return q == ConvergenceQuantity::AtTime ? "at_time" : "landing";
}
const char* sweepName(ConvergenceSweep s) {
  switch (s) {
    case ConvergenceSweep::Auto:
      return "auto";
    case ConvergenceSweep::Step:
      return "dt";
    case ConvergenceSweep::Tolerance:
      return "rtol";
  }
  return "";
}
std::optional<ConvergenceQuantity> quantityNamed(const std::string& name) {
  for (ConvergenceQuantity q : {ConvergenceQuantity::AtTime, ConvergenceQuantity::Landing})
    if (name == quantityName(q)) return q;
  return std::nullopt;
}
std::optional<ConvergenceSweep> sweepNamed(const std::string& name) {
  for (ConvergenceSweep s :
       {ConvergenceSweep::Auto, ConvergenceSweep::Step, ConvergenceSweep::Tolerance})
    if (name == sweepName(s)) return s;
  return std::nullopt;
}

double levelRtol(const ConvergenceSettings& settings, int level) {
  return decimal(settings.rtolStart / std::pow(10.0, level));
}

Tolerances coarsestTolerances(const ConvergenceSettings& settings) {
  const Tolerances scheme;
  return {settings.rtolStart, settings.rtolStart * scheme.atol / scheme.rtol};
}

std::string finestRtolWarning(const ConvergenceSettings& settings) {
  return rtolWarning(levelRtol(settings, settings.rtolLevels - 1));
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

std::optional<Problem> prepareConvergence(const FlightCase& c, ConvergenceSettings& settings) {
  const double h = c.params.timeStep;
  const std::optional<double> landing = c.landingTime();
  if (settings.quantity == ConvergenceQuantity::Landing && !landing)
    return Problem{"", "the " + std::string(c.judge()) +
                           " flight never comes down, so it has no landing to measure"};
  if (settings.at <= 0.0) {
    // Three quarters of the way to the exact landing, on a whole step.
    const double n0 = landing ? std::floor(0.75 * *landing / h) : 10.0;
    if (n0 < 1.0)
      return Problem{"dt", "must be shorter: the flight lands after " + fmt(*landing) +
                               " s, within the first time step"};
    settings.at = n0 * h;
  }
  if (auto p = checkSteps(c.params.timeStep, settings)) return p;
  if (landing && settings.at >= *landing)
    return Problem{"at", "must be before the exact landing at " + fmt(*landing) + " s, not " +
                             fmt(settings.at) + " s"};
  return std::nullopt;
}

std::optional<Problem> prepareConvergence(const SpringCase& c, ConvergenceSettings& settings) {
  if (settings.quantity == ConvergenceQuantity::Landing)
    return Problem{"quantity", "landing is the flight's: a spring's study measures at a time T"};
  if (c.exact.regime() == ExactSpring::NoClosedForm)
    return Problem{"",
                   "the spring has no closed-form solution for these values (it needs mass > 0 "
                   "and ks > 0), so there is nothing to measure the error against"};
  if (settings.at <= 0.0) settings.at = 4.0;
  if (auto p = checkSteps(c.params.timeStep, settings)) return p;
  if (!c.exact.holdsAt(settings.at))
    return Problem{"at", "must be before " + fmt(c.exact.validUntil()) +
                             " s, where the body reaches the anchor and the closed form no "
                             "longer holds, not " +
                             fmt(settings.at) + " s"};
  return std::nullopt;
}

ConvergenceStudy studyConvergence(const FlightCase& c, const std::vector<RunScheme>& schemes,
                                  const ConvergenceSettings& settings, const Progress& progress,
                                  const CancelFlag* cancel) {
  return study(c, schemes, settings, progress, cancel, flightLevel);
}

ConvergenceStudy studyConvergence(const SpringCase& c, const std::vector<RunScheme>& schemes,
                                  const ConvergenceSettings& settings, const Progress& progress,
                                  const CancelFlag* cancel) {
  return study(c, schemes, settings, progress, cancel, springLevel);
}

std::vector<ReferenceSlope> referenceSlopes(const ConvergenceStudy& study) {
  double hMin = std::numeric_limits<double>::infinity();
  double eMin = std::numeric_limits<double>::infinity();
  for (const ConvergenceRow& r : study.rows) {
    hMin = std::min(hMin, r.h);
    if (r.error > 0.0) eMin = std::min(eMin, r.error);
  }
  std::vector<int> orders;  // the first scheme of each order draws it, or no one does
  std::vector<ReferenceSlope> out;
  for (const ConvergenceRow& r : study.rows) {
    if (!r.info || r.precision == Precision::Double || !(r.error > 0.0)) continue;
    const int p = r.info->order;
    if (std::find(orders.begin(), orders.end(), p) != orders.end()) continue;
    orders.push_back(p);
    const double e0 = r.error / 4.0;
    // e(h) = e0·(h/h0)^p, down to the smallest error shown.
    const double hEnd = std::max(hMin, r.h * std::pow(std::min(1.0, eMin / e0), 1.0 / p));
    if (hEnd < r.h) out.push_back({p, r.h, e0, hEnd, e0 * std::pow(hEnd / r.h, p)});
  }
  return out;
}
