#pragma once

// A three-component single-precision vector: positions, velocities,
// accelerations and the target point. y is the vertical axis.
//
// Arithmetic rule: within one operation every product and sum is formed in
// double precision, and each component is narrowed to float once, when it is
// stored. The results therefore do not depend on how the compiler would
// otherwise schedule float arithmetic.
struct Vector3f {
  float x;
  float y;
  float z;

  Vector3f() : x(0.0f), y(0.0f), z(0.0f) {}
  Vector3f(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

  float lengthSquared() const;
  float length() const;
  // Scales to unit length; vectors shorter than 1e-4 are divided by
  // (length + 1e-4) instead, so the zero vector stays zero.
  void normalize();
  float dot(const Vector3f& v) const;

  Vector3f operator+(const Vector3f& v) const;
  Vector3f operator-(const Vector3f& v) const;
  Vector3f& operator+=(const Vector3f& v);
  Vector3f operator*(float s) const;
};

// u·a + v·b, component by component.
Vector3f linearCombination(const Vector3f& u, float a, const Vector3f& v, float b);
// u = u·a + v·b, component by component (x, then y, then z); u and v may alias.
void linearCombinationInPlace(Vector3f& u, float a, const Vector3f& v, float b);
