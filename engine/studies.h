#pragma once

// Runs of one model as every front end shows them: every chosen scheme run on
// one case in its default precision (single, as pbsim runs it, where the
// scheme has single-precision arithmetic), with the exact landing.

#include <optional>
#include <vector>

#include "convergence.h"
#include "runs.h"

// Where and when the exact flight lands.
struct ExactLanding {
  double x, z, time;
};

struct FlightStudy {
  FlightCase flight;
  std::vector<FlightRun> runs;
  std::optional<ExactLanding> exactLanding;  // nothing when the exact flight never comes down
  explicit FlightStudy(const FlightCase& c) : flight(c) {}
};

struct SpringStudy {
  SpringCase spring;
  std::vector<SpringRun> runs;
  std::optional<double> until;  // runs end at the first step at or after this time
  explicit SpringStudy(const SpringCase& c) : spring(c) {}
};

// Each scheme once on the case, in the order given; cancel as for the engine's runs.
FlightStudy runStudy(const FlightCase& c, const std::vector<RunScheme>& schemes,
                     const Progress& progress = {}, const CancelFlag* cancel = nullptr);
SpringStudy runStudy(const SpringCase& c, const std::vector<RunScheme>& schemes,
                     std::optional<double> until = std::nullopt, const Progress& progress = {},
                     const CancelFlag* cancel = nullptr);
