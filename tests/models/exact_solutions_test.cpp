// The closed forms against Boost.Odeint: the same equations integrated in
// double precision with a small RK4 step from the same starting state.

#include <gtest/gtest.h>

#include <array>
#include <boost/numeric/odeint.hpp>
#include <cmath>
#include <limits>

#include "ballisticsexact.h"
#include "ballisticssetup.h"
#include "odeint_flight.h"
#include "springmassexact.h"

namespace {

namespace odeint = boost::numeric::odeint;
using Flight = std::array<double, 6>;  // x, y, z, vx, vy, vz
using Spring = std::array<double, 2>;  // y, v
constexpr double kH = 1e-4;

BallisticsParams shot(float elevationDegrees, float gravity, float friction) {
  BallisticsPanelValues v;
  v.elevation = elevationDegrees;
  v.gravity = gravity;
  v.airFriction = friction;
  return ballisticsParamsFromPanel(v);
}

TEST(ExactFlight, PositionsAndLandingAgreeWithOdeint) {
  struct Case {
    float elevation, gravity, friction;
  };
  // The start-up shot, the drag-free parabola, strong drag, a shot downwards,
  // and one against gravity pointing up that still comes down (convex height).
  for (Case c : {Case{45, -9.8f, 50}, Case{45, -9.8f, 0}, Case{60, -9.8f, 4000},
                 Case{-30, -9.8f, 50}, Case{-10, 1.0f, 50}}) {
    SCOPED_TRACE(testing::Message() << c.elevation << " " << c.gravity << " " << c.friction);
    const BallisticsParams p = shot(c.elevation, c.gravity, c.friction);
    const ExactFlight exact(p);
    ASSERT_TRUE(exact.landingTime());
    const auto [landed, tLand] = odeintFlight(p, std::numeric_limits<double>::infinity());
    EXPECT_NEAR(*exact.landingTime(), tLand, 1e-7);
    EXPECT_NEAR(exact.position(*exact.landingTime()).y, 0.0, 1e-12);
    const double t = std::floor(*exact.landingTime() / 2 / kH) * kH;
    const auto [s, reached] = odeintFlight(p, t);
    const Vec3d e = exact.position(reached), v = exact.velocity(reached);
    EXPECT_NEAR(e.x, s[0], 1e-10);
    EXPECT_NEAR(e.y, s[1], 1e-10);
    EXPECT_NEAR(e.z, s[2], 1e-10);
    EXPECT_NEAR(v.y, s[4], 1e-10);
    EXPECT_NEAR(v.z, s[5], 1e-10);
  }
}

TEST(ExactFlight, ShotsThatNeverComeDownHaveNoLanding) {
  EXPECT_FALSE(ExactFlight(shot(45, 9.8f, 50)).landingTime());       // gravity pulls up
  EXPECT_FALSE(ExactFlight(shot(45, 0.0f, 50)).landingTime());       // drag stops it in the air
  EXPECT_FALSE(ExactFlight(shot(-1e-5f, 10.0f, 50)).landingTime());  // turns back up in time
  BallisticsParams massless = shot(45, -9.8f, 50);
  massless.projectileMass = 0.0f;
  EXPECT_FALSE(ExactFlight(massless).landingTime());
}

SpringMassParams springParams(float mass, float gravity, float ks, float kd, float length) {
  SpringMassParams p;
  p.setValues(mass, gravity, 1);
  p.springs[0] = SpringParams(ks, kd, length);
  return p;
}

TEST(ExactSpring, EveryRegimeAgreesWithOdeint) {
  const float critical = 2 * std::sqrt(15.0f * 5.0f);
  struct Case {
    float kd;
    ExactSpring::Regime regime;
  };
  for (Case c :
       {Case{1.0f, ExactSpring::UnderDamped}, Case{0.0f, ExactSpring::UnderDamped},
        Case{critical, ExactSpring::CriticallyDamped}, Case{40.0f, ExactSpring::OverDamped}}) {
    SCOPED_TRACE(c.kd);
    const SpringMassParams p = springParams(5, -9.8f, 15, c.kd, 1);
    const ExactSpring exact(p);
    EXPECT_EQ(exact.regime(), c.regime);
    EXPECT_EQ(exact.validUntil(), std::numeric_limits<double>::infinity());
    EXPECT_NEAR(exact.restingHeight(), -9.8 / 15 - 1, 1e-6);
    Spring s{-1.0, 0.0};
    const SpringEquations<double> law(p);
    odeint::runge_kutta4<Spring> rk4;
    for (int n = 1; n <= 100000; ++n) {
      rk4.do_step(law, s, (n - 1) * kH, kH);
      if (n % 10000 == 0) {
        EXPECT_NEAR(exact.height(n * kH), s[0], 1e-10) << n * kH;
        EXPECT_NEAR(exact.velocity(n * kH), s[1], 1e-10) << n * kH;
      }
    }
  }
}

TEST(ExactSpring, NoClosedFormAboveTheAnchor) {
  // Gravity 30 upwards: the resting height would be 1 above the anchor, so
  // the body crosses it; the formulas hold only until then.
  const SpringMassParams up = springParams(5, 30, 15, 1, 1);
  const ExactSpring exact(up);
  ASSERT_TRUE(std::isfinite(exact.validUntil()));
  Spring s{-1.0, 0.0};
  const SpringEquations<double> law(up);
  odeint::runge_kutta4<Spring> rk4;
  double t = 0;
  while (s[0] < 0) {
    rk4.do_step(law, s, t, kH);
    t += kH;
  }
  EXPECT_NEAR(exact.validUntil(), t, kH);
  EXPECT_TRUE(exact.holdsAt(exact.validUntil() * 0.99));
  EXPECT_FALSE(exact.holdsAt(t));
  // A resting height below the anchor but an overshoot that reaches it.
  const ExactSpring overshoot(springParams(5, 10, 15, 0.1f, 1));
  EXPECT_TRUE(std::isfinite(overshoot.validUntil()));
  EXPECT_NEAR(overshoot.height(overshoot.validUntil()), 0.0, 1e-9);
  // No spring, or no mass: no oscillator at all.
  EXPECT_EQ(ExactSpring(springParams(5, -9.8f, 0, 1, 1)).regime(), ExactSpring::NoClosedForm);
  EXPECT_FALSE(ExactSpring(springParams(0, -9.8f, 15, 1, 1)).holdsAt(0.0));
}

}  // namespace
