#include "stabilitystudy.h"

SpringStability runStability(const SpringCase& c, const std::vector<RunScheme>& schemes,
                             const Progress& progress, const CancelFlag* cancel) {
  SpringStability study;
  static_cast<StabilityStudy&>(study) = studyStability(c, schemes, {}, progress, cancel);
  study.params = c.params;
  return study;
}

std::vector<Chart> charts(const SpringStability&, const std::string&) { return {}; }
