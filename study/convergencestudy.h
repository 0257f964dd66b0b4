#pragma once

// Convergence studies as pbsim-study shows them: the engine's rows, with the
// case they were measured on.

#include <vector>

#include "convergence.h"

struct FlightConvergence : ConvergenceStudy {
  BallisticsParams params;
};

struct SpringConvergence : ConvergenceStudy {
  SpringMassParams params;
};

// The study, for settings that prepareConvergence accepted.
FlightConvergence runConvergence(const FlightCase& c, const std::vector<RunScheme>& schemes,
                                 const ConvergenceSettings& settings, const Progress& progress = {},
                                 const CancelFlag* cancel = nullptr);
SpringConvergence runConvergence(const SpringCase& c, const std::vector<RunScheme>& schemes,
                                 const ConvergenceSettings& settings, const Progress& progress = {},
                                 const CancelFlag* cancel = nullptr);
