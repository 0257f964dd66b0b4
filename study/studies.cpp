#include "studies.h"

#include <cmath>

FlightStudy runStudy(const FlightCase& c, const std::vector<RunScheme>& schemes,
                     const Progress& progress, const CancelFlag* cancel) {
  FlightStudy study(c);
  for (const RunScheme& s : schemes) {
    if (progress) progress("flight, " + s.name());
    study.runs.push_back(runFlight(c, s, Precision::Single, cancel));
    const FlightRun& r = study.runs.back();
    std::vector<double> error(r.size());
    for (std::size_t k = 0; k < r.size(); ++k)
      error[k] = std::hypot(r.x(k) - r.exactX[k], r.y(k) - r.exactY[k], r.z(k) - r.exactZ[k]);
    study.pointError.push_back(std::move(error));
  }
  if (const auto tl = c.exact.landingTime()) {
    const Vec3d e = c.exact.position(*tl);
    study.exactLanding = ExactLanding{e.x, e.z, *tl};
  }
  return study;
}

SpringStudy runStudy(const SpringCase& c, const std::vector<RunScheme>& schemes,
                     const Progress& progress, const CancelFlag* cancel) {
  SpringStudy study(c);
  for (const RunScheme& s : schemes) {
    if (progress) progress("spring, " + s.name());
    study.runs.push_back(runSpring(c, s, Precision::Single, std::nullopt, cancel));
    const SpringRun& r = study.runs.back();
    const std::size_t last = r.size() - 1;
    const double end = r.t[last];
    const ExactSpring& exact = c.exact;
    study.lastEnergyMiss.push_back(
        exact.holdsAt(end) ? r.energy[last] - exact.energy(exact.height(end), exact.velocity(end))
                           : NAN);
  }
  return study;
}
