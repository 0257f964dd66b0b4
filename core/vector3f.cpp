#include "vector3f.h"

#include <cmath>

namespace {
constexpr float kNormalizeThreshold = 0.0001f;

inline double d(float v) { return static_cast<double>(v); }
inline float combine(float u, float a, float v, float b) {
  return static_cast<float>(d(u) * d(a) + d(v) * d(b));
}
}  // namespace

float Vector3f::lengthSquared() const {
  return static_cast<float>(d(x) * d(x) + d(y) * d(y) + d(z) * d(z));
}

float Vector3f::length() const { return static_cast<float>(std::sqrt(d(lengthSquared()))); }

void Vector3f::normalize() {
  float l = length();
  if (l < kNormalizeThreshold) l = static_cast<float>(d(l) + d(kNormalizeThreshold));
  x = static_cast<float>(d(x) / d(l));
  y = static_cast<float>(d(y) / d(l));
  z = static_cast<float>(d(z) / d(l));
}

float Vector3f::dot(const Vector3f& v) const {
  return static_cast<float>(d(x) * d(v.x) + d(y) * d(v.y) + d(z) * d(v.z));
}

Vector3f Vector3f::operator+(const Vector3f& v) const {
  return Vector3f(static_cast<float>(d(x) + d(v.x)), static_cast<float>(d(y) + d(v.y)),
                  static_cast<float>(d(z) + d(v.z)));
}

Vector3f Vector3f::operator-(const Vector3f& v) const {
  return Vector3f(static_cast<float>(d(x) - d(v.x)), static_cast<float>(d(y) - d(v.y)),
                  static_cast<float>(d(z) - d(v.z)));
}

Vector3f& Vector3f::operator+=(const Vector3f& v) {
  *this = *this + v;
  return *this;
}

Vector3f Vector3f::operator*(float s) const {
  return Vector3f(static_cast<float>(d(x) * d(s)), static_cast<float>(d(y) * d(s)),
                  static_cast<float>(d(z) * d(s)));
}

Vector3f linearCombination(const Vector3f& u, float a, const Vector3f& v, float b) {
  return Vector3f(combine(u.x, a, v.x, b), combine(u.y, a, v.y, b), combine(u.z, a, v.z, b));
}

void linearCombinationInPlace(Vector3f& u, float a, const Vector3f& v, float b) {
  u.x = combine(u.x, a, v.x, b);
  u.y = combine(u.y, a, v.y, b);
  u.z = combine(u.z, a, v.z, b);
}
