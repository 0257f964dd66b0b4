#pragma once

// Stability studies as pbsim-study shows them: the engine's rows, with the
// spring they were measured on.

#include <string>
#include <vector>

#include "figures.h"
#include "stability.h"

struct SpringStability : StabilityStudy {
  SpringMassParams params;
};

// The study, for a spring without stabilityProblem.
SpringStability runStability(const SpringCase& c, const std::vector<RunScheme>& schemes,
                             const Progress& progress = {}, const CancelFlag* cancel = nullptr);

// The command draws no figure of it (it offers no --plot): no charts.
std::vector<Chart> charts(const SpringStability& study, const std::string& kind = "");
