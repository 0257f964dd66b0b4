#pragma once

// A three-component single-precision vector: positions, velocities,
// accelerations and the target point. y is the vertical axis.
//
// Arithmetic rule: within one operation every product and sum is formed in
// double precision, and each component is narrowed to float once, when it is
// stored. The results therefore do not depend on how the compiler would
// otherwise schedule float arithmetic. The operations are defined inline: the
// integrators and the models' derivatives call them in their inner loops.
struct Vector3f {
  float x;
  float y;
  float z;

  Vector3f() : x(0.0f), y(0.0f), z(0.0f) {}
  Vector3f(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

  float lengthSquared() const {
    return static_cast<float>(wide(x) * wide(x) + wide(y) * wide(y) + wide(z) * wide(z));
  }
  float length() const;
  // Scales to unit length; vectors shorter than 1e-4 are divided by
  // (length + 1e-4) instead, so the zero vector stays zero.
  void normalize();
  float dot(const Vector3f& v) const {
    return static_cast<float>(wide(x) * wide(v.x) + wide(y) * wide(v.y) + wide(z) * wide(v.z));
  }

  Vector3f operator+(const Vector3f& v) const {
    return Vector3f(narrow(wide(x) + wide(v.x)), narrow(wide(y) + wide(v.y)),
                    narrow(wide(z) + wide(v.z)));
  }
  Vector3f operator-(const Vector3f& v) const {
    return Vector3f(narrow(wide(x) - wide(v.x)), narrow(wide(y) - wide(v.y)),
                    narrow(wide(z) - wide(v.z)));
  }
  Vector3f& operator+=(const Vector3f& v) { return *this = *this + v; }
  Vector3f operator*(float s) const {
    return Vector3f(narrow(wide(x) * wide(s)), narrow(wide(y) * wide(s)),
                    narrow(wide(z) * wide(s)));
  }

  static double wide(float v) { return static_cast<double>(v); }
  static float narrow(double v) { return static_cast<float>(v); }
};

// u·a + v·b, component by component.
inline Vector3f linearCombination(const Vector3f& u, float a, const Vector3f& v, float b) {
  using V = Vector3f;
  return Vector3f(V::narrow(V::wide(u.x) * V::wide(a) + V::wide(v.x) * V::wide(b)),
                  V::narrow(V::wide(u.y) * V::wide(a) + V::wide(v.y) * V::wide(b)),
                  V::narrow(V::wide(u.z) * V::wide(a) + V::wide(v.z) * V::wide(b)));
}

// u = u·a + v·b, component by component (x, then y, then z); u and v may alias.
inline void linearCombinationInPlace(Vector3f& u, float a, const Vector3f& v, float b) {
  using V = Vector3f;
  u.x = V::narrow(V::wide(u.x) * V::wide(a) + V::wide(v.x) * V::wide(b));
  u.y = V::narrow(V::wide(u.y) * V::wide(a) + V::wide(v.y) * V::wide(b));
  u.z = V::narrow(V::wide(u.z) * V::wide(a) + V::wide(v.z) * V::wide(b));
}
