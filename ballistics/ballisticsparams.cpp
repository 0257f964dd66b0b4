#include "ballisticsparams.h"

#include <cmath>

namespace {

inline double d(float v) { return static_cast<double>(v); }

}  // namespace

Vector3f muzzleVelocity(const BallisticsParams& params) {
  // Muzzle speed s = powderAmount·powderPower/projectileMass, aimed by
  // elevation above the horizontal and azimuth from +z towards +x.
  const float s =
      static_cast<float>(d(params.powderAmount) * d(params.powderPower) / d(params.projectileMass));
  const float sinEl = static_cast<float>(std::sin(d(params.elevation)));
  const float cosEl = static_cast<float>(std::cos(d(params.elevation)));
  const float sinAz = static_cast<float>(std::sin(d(params.azimuth)));
  const float cosAz = static_cast<float>(std::cos(d(params.azimuth)));
  return Vector3f(static_cast<float>(d(s) * d(cosEl) * d(sinAz)),
                  static_cast<float>(d(s) * d(sinEl)),
                  static_cast<float>(d(s) * d(cosEl) * d(cosAz)));
}
