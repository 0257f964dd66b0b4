#pragma once

// Convergence studies: the error at a fixed time T as the time step halves,
// and the order each scheme shows. The single-precision rows are the model
// itself; the double rows are the same scheme in double precision
// (Boost.Odeint's steppers for pbsim's three, the engine's wide steppers for
// the others and for tableaus), the twin whose orders go on where single
// precision reaches its floor.

#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cases.h"

// Told now and then what a long computation is doing.
using Progress = std::function<void(const std::string&)>;

// One level of one scheme: the columns
// scheme, precision, h, steps, evaluations, error, order, floor.
struct ConvergenceRow {
  std::string scheme;
  const SchemeInfo* info = nullptr;  // the built-in scheme, if it is one
  Precision precision = Precision::Single;
  double h = 0.0;
  long long steps = 0;
  long long evaluations = 0;
  double error = 0.0;  // at time T: distance to the exact position, or the height error
  double order = 0.0;  // observed between this level and the one before; NaN on the first
  // Rounding, not the scheme, dominates the error: the state lies farther
  // from the same scheme run one precision wider (double for the model, long
  // double for the double rows) than a twentieth of the scheme's own error.
  bool atFloor = false;
  double wallMs = NAN;  // this row's own run (the long-double check of the floor not counted)
  // An adaptive scheme's level: its rtol (h is then NaN) and rejected steps.
  // Its `order` is the slope of log error against log rtol (1 when the error
  // is proportional to the tolerance).
  double rtol = NAN;
  long long rejected = 0;
  // A tableau's algebraic order (RunScheme::algebraicOrder), the order the
  // observed one should reach; nothing for a built-in scheme.
  std::optional<int> algebraicOrder;
};

// What a study measures: the error at time T, or (flights only) the miss
// of the landing point, placed by each scheme's landing rule.
enum class ConvergenceQuantity { AtTime, Landing };

// What a study sweeps: the time step for fixed-step schemes and the
// tolerance for adaptive ones (Auto), or only one of the two, refusing the
// schemes it does not fit.
enum class ConvergenceSweep { Auto, Step, Tolerance };

struct ConvergenceStudy {
  double at = 0.0;  // T, the time the errors are taken at (AtTime)
  ConvergenceQuantity quantity = ConvergenceQuantity::AtTime;
  std::vector<ConvergenceRow> rows;  // per scheme, its levels from the coarsest
};

struct ConvergenceSettings {
  int levels = 8;           // dt, halved levels - 1 times
  double at = 0.0;          // T; 0 or less: 3/4 of the exact flight, 4 s for the spring
  bool withDouble = false;  // add the double rows
  ConvergenceQuantity quantity = ConvergenceQuantity::AtTime;
  ConvergenceSweep sweep = ConvergenceSweep::Auto;
  // An adaptive scheme's levels: rtol from rtolStart, divided by 10 each
  // level; atol keeps the scheme's own ratio atol/rtol.
  int rtolLevels = 7;
  double rtolStart = 1e-4;
};

// An adaptive scheme's rtol at `level` (0: the coarsest), the decimal a user
// types (1e-07, not 1.0000000000000001e-07).
double levelRtol(const ConvergenceSettings& settings, int level);
// The coarsest level's tolerances: rtolStart, atol in the proportion of the
// schemes' own defaults.
Tolerances coarsestTolerances(const ConvergenceSettings& settings = {});
// The warning about the finest level's rtol (rtolWarning), or "".
std::string finestRtolWarning(const ConvergenceSettings& settings);

// What a study of this case needs before it runs: nothing, or the reason it
// cannot run. The resolved T is stored back into settings.at.
std::optional<Problem> prepareConvergence(const FlightCase& c, ConvergenceSettings& settings);
std::optional<Problem> prepareConvergence(const SpringCase& c, ConvergenceSettings& settings);

const char* quantityName(ConvergenceQuantity q);  // at_time, landing
const char* sweepName(ConvergenceSweep s);        // auto, dt, rtol
std::optional<ConvergenceQuantity> quantityNamed(const std::string& name);
std::optional<ConvergenceSweep> sweepNamed(const std::string& name);

// The largest number of levels whose finest step count still fits a step counter.
int maxConvergenceLevels(float dt, double at);

// The study, for settings that prepareConvergence accepted. A scheme of the
// user's own (RunScheme::custom) is refused with std::invalid_argument, as
// is an adaptive scheme in a sweep of the step or a fixed-step scheme in a
// sweep of the tolerance. A scheme without single-precision arithmetic
// (implicit, adaptive) has double rows only.
ConvergenceStudy studyConvergence(const FlightCase& c, const std::vector<RunScheme>& schemes,
                                  const ConvergenceSettings& settings,
                                  const Progress& progress = {},
                                  const CancelFlag* cancel = nullptr);
ConvergenceStudy studyConvergence(const SpringCase& c, const std::vector<RunScheme>& schemes,
                                  const ConvergenceSettings& settings,
                                  const Progress& progress = {},
                                  const CancelFlag* cancel = nullptr);

// A reference line e(h) = e0·(h/h0)^order for a convergence figure: one per
// order shown, from a quarter below the coarsest point of the first
// single-precision scheme of that order towards the finest step, ending
// where it would leave the data's range of errors.
struct ReferenceSlope {
  int order = 0;
  double h0 = 0.0, e0 = 0.0;      // its start, at the coarsest step
  double hEnd = 0.0, eEnd = 0.0;  // its end
};
std::vector<ReferenceSlope> referenceSlopes(const ConvergenceStudy& study);
