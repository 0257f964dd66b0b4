#include "studies.h"

FlightStudy runStudy(const FlightCase& c, const std::vector<RunScheme>& schemes,
                     const Progress& progress, const CancelFlag* cancel) {
  FlightStudy study(c);
  for (const RunScheme& s : schemes) {
    if (progress) progress("flight, " + s.name());
    study.runs.push_back(runFlight(c, s, s.defaultPrecision(), cancel));
  }
  if (const auto tl = c.landingTime()) {
    const Vec3d e = c.position(*tl);
    study.exactLanding = ExactLanding{e.x, e.z, *tl};
  }
  return study;
}

SpringStudy runStudy(const SpringCase& c, const std::vector<RunScheme>& schemes,
                     std::optional<double> until, const Progress& progress,
                     const CancelFlag* cancel) {
  SpringStudy study(c);
  study.until = until;
  for (const RunScheme& s : schemes) {
    if (progress) progress("spring, " + s.name());
    study.runs.push_back(runSpring(c, s, s.defaultPrecision(), until, cancel));
  }
  return study;
}
