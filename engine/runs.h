#pragma once

// Whole runs of the two models as every front end shows them: the points
// of one run as columns, the closed form beside them, and the run's
// summary. Names follow the columns users see:
//   flight points  step, t, x, y, z, vx, vy, vz, exact_x, exact_y, exact_z, path_error, h
//   flight summary scheme, steps, evaluations, stop, landing_x, landing_z, flight_time,
//                  landing_miss, max_path_error, rejected, wall_ms
//   spring points  step, t, y, v, exact_y, height_error, energy, damping_work, h
//   spring summary scheme, steps, evaluations, stop, final_height, resting_height,
//                  max_height_error, energy_drift, energy_balance_drift, rejected, wall_ms
// In single precision the positions, velocities, steps, evaluations and stops
// are pbsim's, bit for bit; in double precision they come from the models'
// double-precision twins (same start, loop, stops and limits). An adaptive
// scheme's points are its accepted steps, each with its own h; an implicit
// scheme steps in the twins' loop with Newton's method.

#include <optional>
#include <string>
#include <vector>

#include "cases.h"

// A run that ends by itself within this many steps says little about its
// scheme (a time step as long as the motion): front ends warn about it.
constexpr int kFewSteps = 4;

// Why a run ended before its model's own stops: an adaptive step that
// would have to fall below what the time resolves, or an implicit step whose
// Newton iteration did not converge. `stop` then names it.
enum class RunFailure { None, StepTooSmall, NewtonFailed };

template <class T>
struct FlightPoints {
  std::vector<T> x, y, z, vx, vy, vz;
};

struct FlightRun {
  std::string scheme;                // the scheme's name
  const SchemeInfo* info = nullptr;  // the built-in scheme, if it is one
  Precision precision = Precision::Single;
  BallisticsParams params;

  // One entry per point: the launch point, one per step, and, for a landed
  // flight, the ground point last (with the last step's velocity).
  std::vector<double> t;       // k·h; the ground point's interpolated time
  FlightPoints<float> single;  // filled in single precision
  FlightPoints<double> wide;   // filled in double precision
  std::vector<double> exactX, exactY, exactZ;
  std::vector<double> pathError;  // distance to the exact position at t; NaN at the ground point
  std::vector<double> stepSize;   // an adaptive run's h per point (NaN at the launch); else empty
  Landing landing = Landing::Linear;

  FlightEnd stop = FlightEnd::Landed;
  RunFailure failure = RunFailure::None;
  std::string failureText;  // what the failing step said
  std::string warning;      // the scheme's warning about its settings (RunScheme::warning)
  long long steps = 0, evaluations = 0;
  long long rejected = 0;                 // an adaptive run's rejected steps
  double landingX = NAN, landingZ = NAN;  // the ground point; NaN unless landed
  double flightTime = NAN;                // the ground point's time; NaN unless landed
  double landingMiss = NAN;   // ground point to the exact landing point; NaN if either is missing
  double maxPathError = NAN;  // the largest pathError; NaN where nothing was measured
  double wallMs = 0.0;        // the model's whole run
  // The first point whose position or velocity is not a finite number (an
  // overflow), or -1: from there on the run measures nothing.
  long long divergedAt = -1;

  std::size_t size() const { return t.size(); }
  double x(std::size_t k) const { return precision == Precision::Single ? single.x[k] : wide.x[k]; }
  double y(std::size_t k) const { return precision == Precision::Single ? single.y[k] : wide.y[k]; }
  double z(std::size_t k) const { return precision == Precision::Single ? single.z[k] : wide.z[k]; }
  double vx(std::size_t k) const {
    return precision == Precision::Single ? single.vx[k] : wide.vx[k];
  }
  double vy(std::size_t k) const {
    return precision == Precision::Single ? single.vy[k] : wide.vy[k];
  }
  double vz(std::size_t k) const {
    return precision == Precision::Single ? single.vz[k] : wide.vz[k];
  }
  bool landed() const { return stop == FlightEnd::Landed && failure == RunFailure::None; }
  bool diverged() const { return divergedAt >= 0; }
  // Ended by itself within kFewSteps steps.
  bool fewSteps() const {
    return stop != FlightEnd::StepLimit && failure == RunFailure::None && steps < kFewSteps;
  }
  // The step that reached point k (NaN for the launch point).
  double h(std::size_t k) const {
    if (k == 0) return NAN;
    return stepSize.empty() ? static_cast<double>(params.timeStep) : stepSize[k];
  }
};

enum class SpringStop { AtRest, SampleLimit, Until, NotRun };

struct SpringRun {
  std::string scheme;
  const SchemeInfo* info = nullptr;
  Precision precision = Precision::Single;
  SpringMassParams params;

  // One entry per sample: the start and one per step.
  std::vector<double> t;             // k·h
  std::vector<float> y, v;           // filled in single precision
  std::vector<double> yWide, vWide;  // filled in double precision
  std::vector<double> exactY;        // NaN where the closed form does not hold
  std::vector<double> heightError;   // |y - exact_y|; NaN where the closed form does not hold
  std::vector<double> energy;        // 1/2·m·v² + 1/2·ks·(y - y*)²; NaN without a closed form
  // The work the damping has done since the start, ∫ kd·v² dt along the
  // run's own samples (a fourth-order quadrature on the cubic through each
  // step's speeds and accelerations), so that E + W - E0 is the
  // integrator's drift alone; NaN without a closed form.
  std::vector<double> dampingWork;
  std::vector<double> stepSize;  // an adaptive run's h per sample (NaN at the start); else empty

  SpringStop stop = SpringStop::AtRest;
  RunFailure failure = RunFailure::None;
  std::string failureText;
  std::string warning;
  long long steps = 0, evaluations = 0;
  long long rejected = 0;
  double finalHeight = NAN;
  double restingHeight = NAN;       // y* = gravity/ks - rest length
  double maxHeightError = NAN;      // over the samples where the closed form holds; NaN if diverged
  double energyDrift = NAN;         // max |E - E0| / E0
  double energyBalanceDrift = NAN;  // max |E + W - E0| / E0: what the integrator adds or loses
  double wallMs = 0.0;
  long long divergedAt = -1;  // the first sample whose y or v is not finite, or -1

  std::size_t size() const { return t.size(); }
  double height(std::size_t k) const { return precision == Precision::Single ? y[k] : yWide[k]; }
  double speed(std::size_t k) const { return precision == Precision::Single ? v[k] : vWide[k]; }
  bool fewSteps() const {
    return stop == SpringStop::AtRest && failure == RunFailure::None && steps < kFewSteps;
  }
  bool diverged() const { return divergedAt >= 0; }
  double h(std::size_t k) const {
    if (k == 0) return NAN;
    return stepSize.empty() ? static_cast<double>(params.timeStep) : stepSize[k];
  }
};

const char* stopName(FlightEnd stop);         // landed, step_limit, stuck
const char* stopName(SpringStop stop);        // at_rest, sample_limit, until, not_run
const char* failureName(RunFailure failure);  // step_too_small, newton_failed
// A run's stop as its summary names it: its failure, if it failed.
const char* stopName(const FlightRun& run);
const char* stopName(const SpringRun& run);

// One flight. A user's own step (scheme.custom), an implicit or an
// adaptive scheme runs in double precision only: asking for it in single
// precision throws std::invalid_argument, as does a tableau with a
// problem() (RunScheme::problem). An adaptive flight stops at the step
// limit after kMaxFlightSteps accepted steps. cancel, when given, is looked at every
// few thousand steps (Cancelled).
FlightRun runFlight(const FlightCase& c, const RunScheme& scheme,
                    Precision precision = Precision::Single, const CancelFlag* cancel = nullptr);

// One spring run; with `until`, it also ends at the first step at or after
// that time (stop Until).
SpringRun runSpring(const SpringCase& c, const RunScheme& scheme,
                    Precision precision = Precision::Single,
                    std::optional<double> until = std::nullopt, const CancelFlag* cancel = nullptr);
