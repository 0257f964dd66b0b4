#pragma once

// Stability limits on the spring: for each scheme, the largest time step
// at which the spring's energy does not grow, measured by bisection on runs
// of the scheme's own double-precision step on the model's equations, beside
// the limit theory gives for that step.
//
// About its resting height the hanging body is the damped oscillator
// u'' = -k·u - c·u' with k = ks/m and c = kd/m (springmassexact.h), whose
// eigenvalues are λ = -a ± iω with a = kd/2m and ω² = ks/m - a² (real,
// -a ± sqrt(a² - ks/m), when it does not oscillate). A fixed-step scheme
// maps the state (u, u') by a 2×2 matrix M(h) per step; its motion stays
// bounded while the spectral radius of M(h) is at most 1:
//   Runge-Kutta schemes  M(h) = R(h·J), whose eigenvalues are R(hλ) for the
//                        scheme's stability function R: the bound is
//                        |R(hλ)| = 1 (for Euler, with complex λ,
//                        h < 2a/(a² + ω²));
//   symplectic Euler and velocity Verlet treat position and velocity apart:
//                        their M(h) comes from their update (stability.cpp),
//                        the bound is where its spectral radius reaches 1;
//   implicit schemes     backward Euler and the implicit midpoint rule are
//                        A-stable: no limit for kd >= 0;
//   adaptive schemes     choose their own steps: not applicable.

#include <array>
#include <complex>
#include <optional>
#include <string>
#include <vector>

#include "cases.h"
#include "convergence.h"

// How each trial run of the bisection judges a time step.
struct StabilitySettings {
  // Each trial spans this many natural periods 2π/sqrt(ks/m), in at least
  // minSteps and at most maxSteps steps.
  double periods = 1000.0;
  long long minSteps = 1000;
  long long maxSteps = 4000000;
  // A trial is unstable when the largest energy over the second half of
  // its span exceeds the largest over the first half by more than this
  // fraction, or stops being a finite number.
  double growth = 1e-3;
  // The bisection ends when its bracket [stable, unstable] is this narrow,
  // relative to its lower end.
  double resolution = 1e-6;
  // The search for a first bracket doubles or halves the step from
  // 1/64 of the natural period, at most this many times each way.
  int searchDoublings = 30;
};

// The spring's linear motion about its resting height.
struct SpringModes {
  double k = 0.0;                              // ks/m, 1/s²
  double c = 0.0;                              // kd/m, 1/s
  double a = 0.0;                              // kd/2m, the decay rate, 1/s
  double omega = 0.0;                          // sqrt(ks/m - a²) when it oscillates; else 0
  double naturalOmega = 0.0;                   // sqrt(ks/m)
  bool oscillates = false;                     // ks/m > a²: a complex pair
  std::array<std::complex<double>, 2> lambda;  // the eigenvalues
  double period() const;                       // 2π/naturalOmega, the span's unit
};

// One scheme's limits: the columns
// scheme, kind, measured_dt, theory_dt, relative_difference, bound, steps,
// searched_to, unstable_at_dt.
struct StabilityRow {
  std::string scheme;
  const SchemeInfo* info = nullptr;
  Precision precision = Precision::Double;  // the trials' arithmetic
  // The largest step found stable below the first unstable one (the lower
  // end of the bisection's last bracket); NaN when no step was found
  // unstable up to searchedTo (or none stable), or not applicable.
  double measured = NAN;
  double unstable = NAN;    // the bracket's upper end: the smallest step found unstable
  double theory = NAN;      // NaN: no limit ("none"), or not applicable; 0: unstable at every step
  std::string bound;        // which bound theory gives, in words
  long long steps = 0;      // the steps of the trial at the measured step
  double searchedTo = NAN;  // the largest step any trial tried
  bool unstableAtDt = false;  // a trial at the spring's own dt found it unstable
  std::string failure;        // what a failing implicit step said, if one did
  // (measured - theory)/theory; NaN where either is missing or theory is 0.
  double relativeDifference() const;
};

struct StabilityStudy {
  SpringModes modes;
  double dt = 0.0;  // the spring's own time step, at which unstableAtDt is judged
  StabilitySettings settings;
  std::vector<StabilityRow> rows;
};

// Why the spring has no stability limit to measure, or nothing: ks must be
// above 0 and kd at least 0 (otherwise the exact motion itself does not stay
// bounded), gravity not 0 (the body would start at rest), and the resting
// height must lie below the anchor, where the force law is linear. The
// values must have passed springProblem (validation.h).
std::optional<Problem> stabilityProblem(const SpringCase& c);

// The spring's modes (its parameters must have no stabilityProblem).
SpringModes springModes(const SpringCase& c);

// The limit theory gives for a built-in scheme: the step (NaN for none or
// not applicable; 0 for no stable step) and the bound's words.
struct StabilityBound {
  double limit = NAN;
  std::string bound;
};
StabilityBound theoryLimit(const SchemeInfo& scheme, const SpringModes& modes);

// The step matrix M(h) of an explicit built-in scheme on u'' = -k·u - c·u',
// state (u, u'), as the scheme's update gives it (for the Runge-Kutta
// schemes R(h·J)); throws std::invalid_argument for any other scheme.
using StepMatrix = std::array<std::array<double, 2>, 2>;
StepMatrix stepMatrix(const SchemeInfo& scheme, double k, double c, double h);
double spectralRadius(const StepMatrix& m);

// One trial: whether the scheme's double-precision step h keeps the
// spring's energy from growing over the settings' span, and in how many
// steps. It starts from the model's start (at rest at the rest length),
// drawn towards the resting height where the swing would come within a
// thousand times its size of the anchor; a swing that reaches the anchor
// is unstable.
struct StabilityTrial {
  bool stable = false;
  long long steps = 0;
  double growth = NAN;         // largest energy of the second half over that of the first; inf
                               // when the state overflowed; as far as the trial ran when it
                               // stopped early on growth
  std::string failure;         // a Newton failure's words
  bool reachedAnchor = false;  // unstable: the swing grew until the body reached the anchor
};
StabilityTrial stabilityTrial(const SpringCase& c, const SchemeInfo& scheme, double h,
                              const StabilitySettings& settings = {},
                              const CancelFlag* cancel = nullptr);

// The study, for a case without stabilityProblem: one row per scheme, in
// the order given. Only built-in schemes are measured: a tableau or a step
// of the user's own is refused with std::invalid_argument.
StabilityStudy studyStability(const SpringCase& c, const std::vector<RunScheme>& schemes,
                              const StabilitySettings& settings = {}, const Progress& progress = {},
                              const CancelFlag* cancel = nullptr);

// The schemes a stability study runs when none are chosen: every
// fixed-step scheme (explicit and implicit), in the table's order.
std::vector<RunScheme> stabilitySchemes();

// What the bound's words say, one line each, for below a table.
std::vector<std::string> stabilityNotes(const StabilityStudy& study);
