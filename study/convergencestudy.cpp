#include "convergencestudy.h"

FlightConvergence runConvergence(const FlightCase& c, const std::vector<RunScheme>& schemes,
                                 const ConvergenceSettings& settings, const Progress& progress,
                                 const CancelFlag* cancel) {
  FlightConvergence study;
  static_cast<ConvergenceStudy&>(study) = studyConvergence(c, schemes, settings, progress, cancel);
  study.params = c.params;
  return study;
}

SpringConvergence runConvergence(const SpringCase& c, const std::vector<RunScheme>& schemes,
                                 const ConvergenceSettings& settings, const Progress& progress,
                                 const CancelFlag* cancel) {
  SpringConvergence study;
  static_cast<ConvergenceStudy&>(study) = studyConvergence(c, schemes, settings, progress, cancel);
  study.params = c.params;
  return study;
}
