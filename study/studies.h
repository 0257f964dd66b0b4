#pragma once

// The computations behind pbsim-study: each runs the models exactly as pbsim
// runs them (same parameters, same steps) and sets the result beside the
// closed-form solution. No console output; the caller prints.

#include <functional>
#include <string>
#include <vector>

#include "ballisticsexact.h"
#include "ballisticssim.h"
#include "schemes.h"
#include "springmassexact.h"
#include "springmasssim.h"

// Told now and then what a long computation is doing.
using Progress = std::function<void(const std::string&)>;

// What every run of one scheme records besides its results.
struct SchemeRun {
  const SchemeInfo* scheme = nullptr;
  float timeStep = 0.0f;
  double wallSeconds = 0.0;  // the model's whole run
  long long evaluations = 0;
};

// One flight of one scheme.
struct FlightRun : SchemeRun {
  FlightResult result;
  std::vector<Vector3f> trajectory;  // as the model leaves it: the last point on the ground
  double flightTime = 0.0;           // to the ground point, within the last step; NaN if none
  double landingMiss = 0.0;          // distance to the exact landing point; NaN if none
  double maxError = 0.0;             // largest distance to the exact position, before the ground

  // The time of trajectory point k: k steps, or the flight time for the ground point.
  double timeAt(std::size_t k) const;
};

struct FlightStudy {
  BallisticsParams params;
  ExactFlight exact;
  std::vector<FlightRun> runs;
};

FlightStudy studyFlight(const BallisticsParams& params,
                        const std::vector<const SchemeInfo*>& schemes,
                        const Progress& progress = {});

// One spring-mass run of one scheme.
struct SpringRun : SchemeRun {
  SpringRunResult result;
  std::vector<float> heights;  // the model's trajectory
  std::vector<float> speeds;   // the vertical velocity after every step
  double maxError = 0.0;     // largest |height - exact| where the closed form holds; NaN if nowhere
  double energyDrift = 0.0;  // energy at the last step minus the exact energy then; NaN if none
};

struct SpringStudy {
  SpringMassParams params;
  ExactSpring exact;
  std::vector<SpringRun> runs;
};

SpringStudy studySpring(const SpringMassParams& params,
                        const std::vector<const SchemeInfo*>& schemes,
                        const Progress& progress = {});

// One level of a convergence study of one scheme.
struct ConvergenceRow {
  const SchemeInfo* scheme = nullptr;
  bool doublePrecision = false;  // Boost.Odeint's stepper in double, not the model
  double h = 0.0;
  long long steps = 0;
  long long evaluations = 0;
  double error = 0.0;  // at time T
  double order = 0.0;  // observed between this level and the one before; NaN on the first
  // Rounding, not the scheme, dominates the error: the state lies farther
  // from the same scheme run one precision wider (double for the model, long
  // double for the double rows) than a twentieth of the scheme's own error.
  bool atFloor = false;
};

struct ConvergenceStudy {
  double at = 0.0;                   // T, the time the errors are taken at
  std::vector<ConvergenceRow> rows;  // per scheme, its levels from the coarsest
};

enum class StudyModel { Flight, Spring };

// Checks what a convergence study needs before it runs: an empty string, or
// the reason it cannot run. at <= 0 asks for the default time; the
// resolved time is stored back.
std::string prepareConvergence(StudyModel model, const BallisticsParams& flight,
                               const SpringMassParams& spring, float dt, int levels, double& at);

// The largest number of levels whose finest step count still fits a step counter.
int maxConvergenceLevels(float dt, double at);

ConvergenceStudy studyConvergence(StudyModel model, const BallisticsParams& flight,
                                  const SpringMassParams& spring,
                                  const std::vector<const SchemeInfo*>& schemes, float dt,
                                  int levels, double at, bool withDouble,
                                  const Progress& progress = {});
