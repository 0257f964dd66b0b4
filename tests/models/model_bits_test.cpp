// Whole flights and spring runs against the same steps written out on plain
// float arrays from the precision rules (reference_steps.h), with the models'
// derivatives written out here. The models' steps are compiled as single
// functions with their derivatives inlined; any rearrangement by the compiler
// that changes a bit shows here.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <random>

#include "ballisticssim.h"
#include "reference_steps.h"
#include "springmasssim.h"

namespace {

using refstep::Arr;
using Derivative = std::function<Arr(const Arr&)>;

TEST(ModelArithmetic, FlightsMatchTheStepsWrittenOutBitForBit) {
  std::mt19937 rng(2026);
  std::uniform_real_distribution<float> u(0.0f, 1.0f);
  long points = 0;
  for (int trial = 0; trial < 90; ++trial) {
    BallisticsSim sim;
    BallisticsParams& p = sim.params;
    p.azimuth = (u(rng) - 0.5f) * 6.0f;
    p.elevation = 0.05f + u(rng) * 1.5f;
    p.projectileMass = 1.0f + u(rng) * 2000.0f;
    p.powderAmount = 0.1f + u(rng) * 10.0f;
    p.powderPower = 100.0f + u(rng) * 20000.0f;
    p.gravity = -0.5f - u(rng) * 20.0f;
    p.airFriction = u(rng) * 200.0f;
    // Every third flight at a fine step: a few thousand steps or more.
    p.timeStep = trial % 3 == 0 ? 2e-4f + u(rng) * 1e-3f : 0.002f + u(rng) * 0.2f;
    const int scheme = trial % 3;
    sim.setScheme(scheme);
    const FlightResult result = sim.fly();
    ASSERT_EQ(result.end, FlightEnd::Landed) << "trial " << trial;

    const float c = static_cast<float>(-double(p.airFriction) / double(p.projectileMass));
    const float g = p.gravity;
    const Derivative f = [c, g](const Arr& s) {
      Arr r{};
      for (int i = 0; i < 3; ++i) r[i] = s[3 + i];
      for (int i = 0; i < 3; ++i) r[3 + i] = static_cast<float>(double(s[3 + i]) * double(c));
      r[4] = static_cast<float>(double(r[4]) + double(g));
      return r;
    };
    const Vector3f v0 = muzzleVelocity(p);
    Arr x{0.0f, kLaunchHeight, 0.0f, v0.x, v0.y, v0.z};
    // The last point is moved onto the ground after the flight; the points
    // before it are the states as stepped.
    for (std::size_t k = 1; k + 1 < sim.trajectory.size(); ++k, ++points) {
      x = refstep::step(scheme, x, f, p.timeStep);
      const Vector3f& q = sim.trajectory[k];
      ASSERT_TRUE(q.x == x[0] && q.y == x[1] && q.z == x[2])
          << "trial " << trial << ", scheme " << scheme << ", step " << k << ": " << q.x << " "
          << q.y << " " << q.z << " against " << x[0] << " " << x[1] << " " << x[2];
    }
  }
  EXPECT_GT(points, 100000);
}

TEST(ModelArithmetic, SpringRunsMatchTheStepsWrittenOutBitForBit) {
  std::mt19937 rng(2027);
  std::uniform_real_distribution<float> u(0.0f, 1.0f);
  long samples = 0;
  for (int trial = 0; trial < 45; ++trial) {
    SpringMassSim sim;
    SpringMassParams& p = sim.params;
    SpringParams& s = p.springs[0];
    s.ks = 1.0f + u(rng) * 50.0f;
    s.kd = trial % 5 == 0 ? 0.0f : u(rng) * 3.0f;
    s.restLength = 0.2f + u(rng) * 3.0f;
    p.mass = 0.1f + u(rng) * 10.0f;
    p.gravity = -u(rng) * 20.0f;
    p.timeStep = 0.001f + u(rng) * 0.05f;
    const int scheme = trial % 3;
    sim.setScheme(scheme);
    sim.run();

    const Derivative f = [&p, &s](const Arr& in) {
      const double y = in[1], vy = in[4];
      const float sgn = y >= 0.0 ? 1.0f : -1.0f;
      float force =
          static_cast<float>((std::fabs(y) - double(s.restLength)) * -double(s.ks) * double(sgn));
      force = static_cast<float>(double(force) - double(s.kd) * vy);
      force = static_cast<float>(double(force) + double(p.gravity));
      const float a = static_cast<float>(double(force) / double(p.mass));
      return Arr{in[3], in[4], in[5], 0.0f, a, 0.0f};
    };
    Arr x{0.0f, -s.restLength, 0.0f, 0.0f, 0.0f, 0.0f};
    for (std::size_t k = 1; k < sim.trajectory.size(); ++k, ++samples) {
      x = refstep::step(scheme, x, f, p.timeStep);
      ASSERT_EQ(sim.trajectory[k], x[1])
          << "trial " << trial << ", scheme " << scheme << ", step " << k;
    }
  }
  EXPECT_GT(samples, 50000);
}

}  // namespace
