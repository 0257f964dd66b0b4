// The closed forms where their formulas change shape: weak drag (a series
// replaces the direct form), shots that dip below the ground just before
// turning back up, and springs that feed energy in (negative damping). Each is
// checked against a reference computed here in long double.

#include <gtest/gtest.h>

#include <cmath>

#include "ballisticsexact.h"
#include "ballisticssetup.h"
#include "springmassexact.h"

namespace {

using Real = long double;

BallisticsParams shot(double elevationDegrees, double gravity, double friction) {
  BallisticsPanelValues v;
  v.elevation = elevationDegrees;
  v.gravity = gravity;
  v.airFriction = friction;
  return ballisticsParamsFromPanel(v);
}

// p(t) = p0 + v0·E + g·ŷ·(t - E)/k with E = (1 - e^(-kt))/k, evaluated
// directly in long double (expm1 keeps the small-kt cancellation within a
// few thousand long-double ulps, far below what the double form may lose).
struct LongDoubleFlight {
  Real k, g, y0, v[3];
  explicit LongDoubleFlight(const BallisticsParams& p)
      : k(Real(p.airFriction) / Real(p.projectileMass)), g(p.gravity), y0(kLaunchHeight) {
    const Vector3f v0 = muzzleVelocity(p);
    v[0] = v0.x;
    v[1] = v0.y;
    v[2] = v0.z;
  }
  Real e(Real t) const { return k == 0 ? t : -std::expm1(-k * t) / k; }
  Real fall(Real t) const { return k == 0 ? t * t / 2 : (k * t + std::expm1(-k * t)) / (k * k); }
  Real coordinate(int i, Real t) const { return (i == 1 ? y0 + g * fall(t) : 0) + v[i] * e(t); }
};

// Weak drag: k·t from 1e-4 to 2, on both sides of 1 where the closed form
// switches from its series to the direct expression. The positions must
// agree to far better than any scheme's error (1e-10 of the distances
// travelled), or the study's error tables measure the closed form's own
// error instead of the schemes'.
TEST(ExactFlightEdges, WeakDragPositionsMatchTheClosedFormInLongDouble) {
  struct Case {
    double friction, t;  // mass 1000: k = friction/1000
  };
  for (Case c : {Case{0.5, 0.2}, Case{0.5, 1.0}, Case{2, 1.3}, Case{5, 1.0}, Case{9, 1.1},
                 Case{10, 1.0}, Case{20, 0.6}, Case{50, 0.4}, Case{900, 1.0}, Case{1200, 1.5}}) {
    SCOPED_TRACE(testing::Message() << "friction " << c.friction << ", t " << c.t);
    const BallisticsParams p = shot(45, -9.8, c.friction);
    const LongDoubleFlight ref(p);
    const Vec3d got = ExactFlight(p).position(c.t);
    const double coordinates[3] = {got.x, got.y, got.z};
    for (int i = 0; i < 3; ++i) {
      const double scale = std::fabs(double(ref.v[i])) * c.t + (i == 1 ? 9.8 * c.t * c.t : 0.0);
      EXPECT_NEAR(coordinates[i], double(ref.coordinate(i, c.t)), 1e-10 * scale) << "axis " << i;
    }
  }
}

// Gravity pointing up (a convex height) and a gun aimed slightly down: the
// projectile sinks a little below the ground before it would turn back up,
// so it lands, at the first time its height is 0. The dips are shallow, so
// the time below ground is short.
TEST(ExactFlightEdges, ShallowDipsWithGravityUpLandWhereTheHeightIsZero) {
  struct Case {
    double elevation, gravity, friction;
  };
  for (Case c : {Case{-0.08107, 1, 0}, Case{-0.08188, 1, 50}, Case{-0.0827, 1, 2000},
                 Case{-0.116, 2, 50}, Case{-0.25459, 9.8, 50}, Case{-0.4489, 30, 0},
                 Case{-0.45339, 30, 2000}, Case{-5, 9.8, 50}}) {
    SCOPED_TRACE(testing::Message()
                 << c.elevation << "° gravity " << c.gravity << " friction " << c.friction);
    const BallisticsParams p = shot(c.elevation, c.gravity, c.friction);
    const LongDoubleFlight ref(p);
    // The lowest point, where v_y = v0y·e^(-kt) + g·E(t) = 0.
    const Real lowest =
        ref.k == 0 ? -ref.v[1] / ref.g : std::log1p(-ref.k * ref.v[1] / ref.g) / ref.k;
    ASSERT_LT(ref.coordinate(1, lowest), 0) << "the case does not dip below the ground";
    // The height falls monotonically until then: bisect for its zero.
    Real lo = 0, hi = lowest;
    for (int n = 0; n < 100; ++n) (ref.coordinate(1, (lo + hi) / 2) > 0 ? lo : hi) = (lo + hi) / 2;
    const std::optional<double> landing = ExactFlight(p).landingTime();
    if (!landing) {
      ADD_FAILURE() << "no landing reported; the height is 0 at " << double(lo);
      continue;
    }
    EXPECT_NEAR(*landing, double(lo), 1e-10 * double(lo));
  }
}

// The spring's law below the anchor, m·y'' = -ks·(y + L) - kd·y' + g,
// integrated with RK4 in long double from y = -L at rest until y first
// reaches 0; the last step is bisected in length to place that time.
// Infinity when the body is still below the anchor after 100 s.
double longDoubleCrossing(const SpringMassParams& p) {
  const Real m = p.mass, ks = p.springs[0].ks, kd = p.springs[0].kd, L = p.springs[0].restLength,
             g = p.gravity;
  struct S {
    Real y, v;
  };
  auto accel = [&](S s) { return (-ks * (s.y + L) - kd * s.v + g) / m; };
  auto rk4 = [&](S s, Real h) {
    const S k1{s.v, accel(s)};
    const S k2{s.v + h / 2 * k1.v, accel({s.y + h / 2 * k1.y, s.v + h / 2 * k1.v})};
    const S k3{s.v + h / 2 * k2.v, accel({s.y + h / 2 * k2.y, s.v + h / 2 * k2.v})};
    const S k4{s.v + h * k3.v, accel({s.y + h * k3.y, s.v + h * k3.v})};
    return S{s.y + h / 6 * (k1.y + 2 * k2.y + 2 * k3.y + k4.y),
             s.v + h / 6 * (k1.v + 2 * k2.v + 2 * k3.v + k4.v)};
  };
  const Real h = 1e-4L;
  S s{-L, 0};
  long n = 0;
  while (rk4(s, h).y < 0) {
    s = rk4(s, h);
    if (++n == 1000000) return HUGE_VAL;
  }
  Real lo = 0, hi = h;
  for (int i = 0; i < 100; ++i) (rk4(s, (lo + hi) / 2).y < 0 ? lo : hi) = (lo + hi) / 2;
  return double(n * h + lo);
}

// Negative damping pumps energy in: with gravity pointing up (but too weak to
// hold the body above the anchor at rest) the body runs away upwards and
// reaches the anchor, where the closed form stops describing the model. The
// time it says its formulas hold must be that crossing, however strong the
// negative damping (over-damped by magnitude included); an oscillation that
// grows under gravity pointing down reaches it too, at a later swing.
TEST(ExactSpringEdges, NegativeDampingReachesTheAnchorWhenTheHeightSaysSo) {
  struct Case {
    float mass, ks, kd, length, gravity;
  };
  for (Case c : {Case{5, 15, -40, 1, 9.8f}, Case{5, 15, -20, 2, 9.8f}, Case{1, 1, -3, 1, 0.5f},
                 Case{2, 10, -10, 0.5f, 3}, Case{5, 15, -2 * std::sqrt(75.0f), 1, 9.8f},
                 Case{5, 15, -1, 1, -9.8f}}) {
    SCOPED_TRACE(testing::Message() << "m " << c.mass << " ks " << c.ks << " kd " << c.kd << " L "
                                    << c.length << " g " << c.gravity);
    SpringMassParams p;
    p.setValues(c.mass, c.gravity, 1);
    p.springs[0] = SpringParams(c.ks, c.kd, c.length);
    const double crossing = longDoubleCrossing(p);
    ASSERT_TRUE(std::isfinite(crossing));
    EXPECT_NEAR(ExactSpring(p).validUntil(), crossing, 1e-9 * crossing);
  }
}

}  // namespace
