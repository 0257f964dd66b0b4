#include "ballisticsparams.h"

#include <cmath>

namespace {

using V = Vector3f;  // V::wide(f): a float as a double, exactly

}  // namespace

Vector3f muzzleVelocity(const BallisticsParams& params) {
  // Muzzle speed s = powderAmount·powderPower/projectileMass, aimed by
  // elevation above the horizontal and azimuth from +z towards +x.
  const float s = static_cast<float>(V::wide(params.powderAmount) * V::wide(params.powderPower) /
                                     V::wide(params.projectileMass));
  const float sinEl = static_cast<float>(std::sin(V::wide(params.elevation)));
  const float cosEl = static_cast<float>(std::cos(V::wide(params.elevation)));
  const float sinAz = static_cast<float>(std::sin(V::wide(params.azimuth)));
  const float cosAz = static_cast<float>(std::cos(V::wide(params.azimuth)));
  return Vector3f(static_cast<float>(V::wide(s) * V::wide(cosEl) * V::wide(sinAz)),
                  static_cast<float>(V::wide(s) * V::wide(sinEl)),
                  static_cast<float>(V::wide(s) * V::wide(cosEl) * V::wide(cosAz)));
}
