#pragma once

// pbsim-study's runs of one model: every chosen scheme run on one case, with
// what the tables, CSV files and figures show beside the runs. No console
// output; the caller prints.

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
  // Per run and point: the distance to the exact position at t, the ground
  // point included (the CSV's `error`).
  std::vector<std::vector<double>> pointError;
  explicit FlightStudy(const FlightCase& c) : flight(c) {}
};

struct SpringStudy {
  SpringCase spring;
  std::vector<SpringRun> runs;
  // Per run: its energy at its last step minus the exact energy then; NaN
  // where the closed form does not hold there.
  std::vector<double> lastEnergyMiss;
  explicit SpringStudy(const SpringCase& c) : spring(c) {}
};

// Each scheme once on the case, in the order given.
FlightStudy runStudy(const FlightCase& c, const std::vector<RunScheme>& schemes,
                     const Progress& progress = {}, const CancelFlag* cancel = nullptr);
SpringStudy runStudy(const SpringCase& c, const std::vector<RunScheme>& schemes,
                     const Progress& progress = {}, const CancelFlag* cancel = nullptr);
