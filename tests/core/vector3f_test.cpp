#include "vector3f.h"

#include <gtest/gtest.h>

namespace {

void expectVec(const Vector3f& v, float x, float y, float z) {
  EXPECT_FLOAT_EQ(v.x, x);
  EXPECT_FLOAT_EQ(v.y, y);
  EXPECT_FLOAT_EQ(v.z, z);
}

TEST(Vector3f, LengthAndNormalize) {
  Vector3f v(3, 4, 0);
  EXPECT_EQ(v.lengthSquared(), 25.0f);
  EXPECT_EQ(v.length(), 5.0f);
  v.normalize();
  expectVec(v, 0.6f, 0.8f, 0.0f);

  Vector3f zero;
  zero.normalize();
  expectVec(zero, 0, 0, 0);

  // Below the 1e-4 threshold the vector is divided by (length + 1e-4):
  // half the threshold comes out a third long, not unit.
  Vector3f tiny(0.00005f, 0, 0);
  tiny.normalize();
  EXPECT_NEAR(tiny.length(), 1.0f / 3.0f, 1e-6);
  // At the threshold itself the length is used unchanged.
  Vector3f edge(0.0001f, 0, 0);
  edge.normalize();
  EXPECT_FLOAT_EQ(edge.x, 1.0f);
}

TEST(Vector3f, Arithmetic) {
  expectVec(Vector3f(1, -2, 3) * -2.0f, -2, 4, -6);
  expectVec(Vector3f(1, 2, 3) + Vector3f(10, 20, 30), 11, 22, 33);
  expectVec(Vector3f(1, 2, 3) - Vector3f(10, 20, 30), -9, -18, -27);
  EXPECT_EQ(Vector3f(1, 2, 3).dot(Vector3f(4, -5, 6)), 12.0f);
  Vector3f acc(1, 1, 1);
  acc += Vector3f(1, 2, 3);
  expectVec(acc, 2, 3, 4);
}

TEST(Vector3f, LinearCombinations) {
  expectVec(linearCombination(Vector3f(1, 2, 3), 1, Vector3f(10, 20, 30), 0.5f), 6, 12, 18);

  Vector3f u(1, 2, 3);
  linearCombinationInPlace(u, 1, Vector3f(7, 8, 9), 0);
  expectVec(u, 1, 2, 3);
  linearCombinationInPlace(u, 0, Vector3f(7, 8, 9), 2);
  expectVec(u, 14, 16, 18);
  // Aliased arguments: u = u·2 + u·3.
  linearCombinationInPlace(u, 2, u, 3);
  expectVec(u, 70, 80, 90);
}

TEST(Vector3f, CombinationRoundsOnceFromDouble) {
  // 1 + 2^-24 + 2^-24: in float each addition would round back to 1; formed
  // in double and narrowed once, the sum is 1 + 2^-23.
  const float e = 5.9604645e-08f;  // 2^-24
  const Vector3f r = linearCombination(Vector3f(1, 1, 1), 1, Vector3f(e, e, e), 2);
  EXPECT_EQ(r.x, 1.0f + 1.1920929e-07f);
}

}  // namespace
