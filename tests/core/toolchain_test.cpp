// The compiler as the build configures it keeps every narrowing to float that
// the models' arithmetic relies on.

#include <gtest/gtest.h>

namespace {

struct Pair {
  float x, y;
};

// Two components formed in double, narrowed when stored, then widened again:
// GCC 12's superword-level vectoriser pairs the components and goes on with
// the unrounded doubles, so 2·double(float(d)) came out as 2·d.
[[gnu::noinline]] void narrowThenWiden(Pair& s, const Pair& k, float w, double out[2]) {
  const double ax = double(s.x) + double(k.x) * double(w);
  const double ay = double(s.y) + double(k.y) * double(w);
  const float nx = static_cast<float>(ax), ny = static_cast<float>(ay);
  out[0] = 2.0 * double(nx);
  out[1] = 2.0 * double(ny);
  s.x = nx;
  s.y = ny;
}

TEST(Toolchain, KeepsEveryNarrowingToFloat) {
  // volatile: the inputs are not known to the optimiser, and the expected
  // values are narrowed through memory, whatever it does.
  volatile float one = 1.0f, kx = 1.0f / 3.0f, ky = 1.0f / 7.0f, w = 0.1f;
  volatile float wantX = static_cast<float>(1.0 + double(kx) * double(w));
  volatile float wantY = static_cast<float>(1.0 + double(ky) * double(w));
  Pair s{one, one};
  double out[2];
  narrowThenWiden(s, Pair{kx, ky}, w, out);
  EXPECT_EQ(out[0], 2.0 * double(wantX));
  EXPECT_EQ(out[1], 2.0 * double(wantY));
  EXPECT_EQ(s.x, wantX);
  EXPECT_EQ(s.y, wantY);
}

}  // namespace
