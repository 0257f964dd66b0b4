#pragma once

// What every front end hands the engine: one model's parameters with its
// closed-form solution, built once, and how a run integrates (a scheme of
// schemes.h, a user's Butcher tableau, or a user's own step in double
// precision).

#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "ballisticsexact.h"
#include "ballisticsparams.h"
#include "orderconditions.h"
#include "reference.h"
#include "schemes.h"
#include "springmassexact.h"
#include "springmassparams.h"
#include "tableau.h"

// A flight and what its errors are measured against: the closed form for
// linear drag, a reference integration for quadratic drag (which has none).
struct FlightCase {
  BallisticsParams params;
  ExactFlight exact;  // linear drag's closed form; for quadratic drag only an estimate of size
  std::shared_ptr<const ReferenceFlight> reference;  // set for quadratic drag

  explicit FlightCase(const BallisticsParams& p)
      : params(p),
        exact(p),
        reference(p.drag == DragLaw::Quadratic
                      ? std::make_shared<const ReferenceFlight>(
                            p, static_cast<double>(kMaxFlightSteps) * p.timeStep)
                      : nullptr) {}

  Vec3d position(double t) const { return reference ? reference->position(t) : exact.position(t); }
  Vec3d velocity(double t) const { return reference ? reference->velocity(t) : exact.velocity(t); }
  std::optional<double> landingTime() const {
    return reference ? reference->landingTime() : exact.landingTime();
  }
  // What the errors are measured against, as front ends name it: "exact" or
  // "reference", and how far that itself may be off (0 for the closed form).
  const char* judge() const { return reference ? "reference" : "exact"; }
  double judgeError() const { return reference ? reference->errorEstimate() : 0.0; }
};

struct SpringCase {
  SpringMassParams params;
  ExactSpring exact;
  explicit SpringCase(const SpringMassParams& p) : params(p), exact(p) {}
};

// Why values cannot be run: the parameter at fault, as the Python module and
// the page name it, and what is wrong with it. text() puts the parameter
// first, with a front end's prefix ("--" on the command line).
struct Problem {
  std::string parameter;  // may be empty when no one parameter is at fault
  std::string message;
  std::string text(const std::string& prefix = "") const {
    return parameter.empty() ? message : prefix + parameter + " " + message;
  }
};

enum class Precision { Single, Double };
inline const char* precisionName(Precision p) {
  return p == Precision::Single ? "single" : "double";
}
// The precision called `name`, or nothing.
inline std::optional<Precision> precisionNamed(const std::string& name) {
  if (name == precisionName(Precision::Single)) return Precision::Single;
  if (name == precisionName(Precision::Double)) return Precision::Double;
  return std::nullopt;
}

// A step written by the user, in double precision: f(t, x, dxdt) is the
// model's derivative; step(f, t, state, n, h) advances the n-entry state
// from time t by h in place.
struct CustomScheme {
  using Derivative = std::function<void(double t, const double* x, double* dxdt)>;
  std::string name;
  std::function<void(const Derivative& f, double t, double* state, std::size_t n, double h)> step;
};

// Where a landed flight's ground point is placed within its last step:
// on the straight line between the step's ends (pbsim's rule, the default),
// or where an interpolant of the scheme's own order crosses the ground (the
// cubic Hermite through both ends' positions and velocities for a
// fixed-step scheme, the pair's dense output for an adaptive one).
enum class Landing { Linear, Interpolated };
inline const char* landingName(Landing l) {
  return l == Landing::Linear ? "linear" : "interpolated";
}
inline std::optional<Landing> landingNamed(const std::string& name) {
  if (name == landingName(Landing::Linear)) return Landing::Linear;
  if (name == landingName(Landing::Interpolated)) return Landing::Interpolated;
  return std::nullopt;
}

// Why an adaptive scheme cannot run with these tolerances, or nothing: each
// must be a finite number above 0.
inline std::optional<Problem> toleranceProblem(const Tolerances& t) {
  if (!(std::isfinite(t.rtol) && t.rtol > 0))
    return Problem{"rtol", "must be a finite number above 0"};
  if (!(std::isfinite(t.atol) && t.atol > 0))
    return Problem{"atol", "must be a finite number above 0"};
  return std::nullopt;
}

// An rtol below this is finer than double precision resolves.
constexpr double kSmallestRtol = 100 * 2.220446049250313e-16;

// The warning about an rtol finer than double precision resolves, or an
// empty string.
inline std::string rtolWarning(double rtol) {
  if (!(rtol < kSmallestRtol)) return "";
  char shown[32];
  std::snprintf(shown, sizeof shown, "%g", rtol);
  return "rtol " + std::string(shown) +
         " is below what double precision can hold (about 2.2e-14): the steps shrink until "
         "rounding, not the tolerance, limits the error";
}

// A user's embedded pair of `tableau` and the second weight row `bHat`; when
// it has no problem(), both rows' orders by the order conditions (the step
// control's exponent takes the lower).
inline std::shared_ptr<EmbeddedPair> userPair(const ButcherTableau& tableau,
                                              std::vector<double> bHat) {
  auto pair = std::make_shared<EmbeddedPair>();
  pair->tableau = tableau;
  pair->bHat = std::move(bHat);
  if (!pair->problem().empty()) return pair;
  ButcherTableau second = tableau;
  second.b = pair->bHat;
  pair->order = ::algebraicOrder(tableau);
  pair->embeddedOrder = ::algebraicOrder(second);
  return pair;
}

// How a run integrates: exactly one of builtin, tableau, embedded and
// custom is set; an adaptive scheme (a built-in pair or a user's) is
// controlled by `tolerances`; `landing` places a flight's ground point.
struct RunScheme {
  const SchemeInfo* builtin = nullptr;
  std::shared_ptr<const ButcherTableau> tableau;
  std::shared_ptr<const EmbeddedPair> embedded;  // a user's own pair
  std::shared_ptr<const CustomScheme> custom;
  Tolerances tolerances;
  Landing landing = Landing::Linear;

  RunScheme() = default;
  RunScheme(const SchemeInfo* s) : builtin(s) {}  // NOLINT: a scheme of schemes.h is a RunScheme

  std::string name() const {
    if (builtin) return std::string(builtin->name);
    if (tableau) return tableau->name;
    if (embedded) return embedded->tableau.name;
    return custom ? custom->name : std::string();
  }
  // The embedded pair of an adaptive scheme, or nullptr.
  const EmbeddedPair* pair() const {
    if (embedded) return embedded.get();
    return builtin ? schemePair(builtin->scheme) : nullptr;
  }
  bool adaptive() const { return pair() != nullptr; }
  bool implicit() const { return builtin && builtin->kind == SchemeKind::Implicit; }
  // Whether it has pbsim's single-precision arithmetic: the explicit
  // built-in schemes and tableaus do; the others run in double only.
  bool hasSingle() const { return tableau || (builtin && hasSingleStep(*builtin)); }
  // The precision a run takes when none is asked for: single where the
  // scheme has it, double otherwise.
  Precision defaultPrecision() const { return hasSingle() ? Precision::Single : Precision::Double; }
  // Why it cannot run in `precision`, or an empty string: a tableau or pair
  // with a problem(), tolerances that are not finite and above 0, a scheme
  // that runs in double only asked for single precision, nothing set.
  std::string problem(Precision precision) const {
    if (tableau) return tableau->problem();
    if (embedded)
      if (std::string p = embedded->problem(); !p.empty()) return p;
    if (custom && !custom->step) return "no scheme given";
    if (!builtin && !embedded && !custom) return "no scheme given";
    if (adaptive())
      if (auto p = toleranceProblem(tolerances)) return p->text();
    if (precision == Precision::Single && !hasSingle())
      return custom ? "a scheme of your own runs in double precision only"
                    : name() + " runs in double precision only";
    return "";
  }
  // A warning about settings that run but cannot do what they ask, or an
  // empty string: an rtol finer than double precision resolves.
  std::string warning() const { return adaptive() ? rtolWarning(tolerances.rtol) : ""; }
  // A tableau's algebraic order by the order conditions (orderconditions.h),
  // or nothing: a built-in scheme's order is its table's, a user's step has
  // none to read. The tableau must have no problem().
  std::optional<int> algebraicOrder() const {
    if (tableau) return ::algebraicOrder(*tableau);
    if (embedded) return ::algebraicOrder(embedded->tableau);
    return std::nullopt;
  }
  // Derivative evaluations per step; 0 where only counting tells (a user's
  // step, a user's pair).
  int evaluationsPerStep() const {
    if (builtin) return builtin->evaluations;
    if (tableau) return static_cast<int>(tableau->stages());
    return 0;
  }
};

// Set by another thread (a signal handler, a notebook's interrupt, a page's
// next keystroke) to stop a long computation. Runs look at it every few
// thousand steps and then throw Cancelled.
using CancelFlag = std::atomic<bool>;

struct Cancelled : std::runtime_error {
  Cancelled() : std::runtime_error("the computation was cancelled") {}
};

inline void checkCancel(const CancelFlag* cancel) {
  if (cancel && cancel->load(std::memory_order_relaxed)) throw Cancelled();
}
