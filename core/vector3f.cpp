#include "vector3f.h"

#include <cmath>

namespace {
constexpr float kNormalizeThreshold = 0.0001f;
}  // namespace

float Vector3f::length() const { return narrow(std::sqrt(wide(lengthSquared()))); }

void Vector3f::normalize() {
  float l = length();
  if (l < kNormalizeThreshold) l = narrow(wide(l) + wide(kNormalizeThreshold));
  x = narrow(wide(x) / wide(l));
  y = narrow(wide(y) / wide(l));
  z = narrow(wide(z) / wide(l));
}
