#pragma once

// The computations behind pbsim-study, on the engine: each runs the models
// exactly as pbsim runs them (same parameters, same steps) and sets the
// result beside the closed-form solution. No console output; the caller
// prints.

#include <string>
#include <vector>

#include "convergence.h"
#include "runs.h"

struct FlightStudy : FlightCase {
  std::vector<FlightRun> runs;
  explicit FlightStudy(const BallisticsParams& p) : FlightCase(p) {}
};

FlightStudy studyFlight(const BallisticsParams& params,
                        const std::vector<const SchemeInfo*>& schemes,
                        const Progress& progress = {});

struct SpringStudy : SpringCase {
  std::vector<SpringRun> runs;
  explicit SpringStudy(const SpringMassParams& p) : SpringCase(p) {}
};

SpringStudy studySpring(const SpringMassParams& params,
                        const std::vector<const SchemeInfo*>& schemes,
                        const Progress& progress = {});

enum class StudyModel { Flight, Spring };

// Checks what a convergence study needs before it runs: an empty string, or
// the reason it cannot run. at <= 0 asks for the default time; the
// resolved time is stored back.
std::string prepareConvergence(StudyModel model, const BallisticsParams& flight,
                               const SpringMassParams& spring, float dt, int levels, double& at);

ConvergenceStudy studyConvergence(StudyModel model, const BallisticsParams& flight,
                                  const SpringMassParams& spring,
                                  const std::vector<const SchemeInfo*>& schemes, float dt,
                                  int levels, double at, bool withDouble,
                                  const Progress& progress = {});
