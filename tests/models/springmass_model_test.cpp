#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "springmasssim.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

SpringMassSim spring(int scheme, float mass, float gravity, SpringParams s, float h = 0.1f) {
  SpringMassSim sim;
  sim.params.setValues(mass, gravity, 1);
  sim.params.springs[0] = s;
  sim.params.timeStep = h;
  sim.setScheme(scheme);
  return sim;
}

std::string run(SpringMassSim& sim) {
  CaptureStdout();
  sim.simulate();
  return GetCapturedStdout();
}

TEST(SpringMassModel, DefaultsSettleAtTheRestingHeight) {
  SpringMassSim sim;
  sim.setScheme(RK4);
  EXPECT_EQ(run(sim), "Beginning numerical simulation ... done, in 1151 iterations\n");
  ASSERT_EQ(sim.trajectory.size(), 1152u);
  EXPECT_EQ(sim.trajectory[0], -1.0f);
  EXPECT_LT(sim.trajectory[1], -1.0f);  // gravity wins first: it moves down
  // Gravity enters as a force, so the rest height y* = g/ks - L does not depend on the mass.
  EXPECT_NEAR(sim.trajectory.back(), -9.8 / 15 - 1, 1e-4);
  for (float mass : {0.5f, 50.0f}) {
    SpringMassSim other = spring(RK4, mass, -20.0f, {40.0f, 3.0f, 0.5f});
    run(other);
    EXPECT_NEAR(other.trajectory.back(), -20.0 / 40 - 0.5, 1e-4) << "mass " << mass;
  }
}

// About y* the motion is the linear oscillator m·u'' + kd·u' + ks·u = 0 with
// u(0) = -g/ks, u'(0) = 0. alpha = kd/2m; w² = |ks/m - alpha²|.
double exactHeight(double m, double g, double ks, double kd, double L, double t) {
  const double u0 = -g / ks, a = kd / (2 * m), d = ks / m - a * a, w = std::sqrt(std::fabs(d));
  double u;
  if (d > 1e-12)
    u = std::exp(-a * t) * u0 * (std::cos(w * t) + a / w * std::sin(w * t));
  else if (d < -1e-12)  // roots -a ± w
    u = u0 / (2 * w) * ((w + a) * std::exp((w - a) * t) + (w - a) * std::exp(-(w + a) * t));
  else
    u = std::exp(-a * t) * u0 * (1 + a * t);
  return g / ks - L + u;
}

TEST(SpringMassModel, MatchesTheDampedOscillatorInEveryRegime) {
  const float critical = 2 * std::sqrt(15.0f * 5.0f);
  for (float kd : {1.0f, critical, 40.0f}) {
    SpringMassSim sim = spring(RK4, 5.0f, -9.8f, {15.0f, kd, 1.0f}, 0.01f);
    run(sim);
    EXPECT_NEAR(sim.trajectory.at(200), exactHeight(5, -9.8, 15, kd, 1, 2.0), 2e-5) << kd;
  }
}

double errorAtFourSeconds(int scheme, float h) {
  SpringMassSim sim = spring(scheme, 5.0f, -9.8f, {15.0f, 1.0f, 1.0f}, h);
  run(sim);
  const int k = static_cast<int>(std::lround(4.0 / h));
  return std::fabs(sim.trajectory.at(k) - exactHeight(5, -9.8, 15, 1, 1, k * double(h)));
}

TEST(SpringMassModel, GlobalErrorFallsWithTheOrderOfTheScheme) {
  struct Case {
    int scheme;
    float h;
    double order;
  };
  for (Case c : {Case{Euler, 0.01f, 1.0}, Case{Midpoint, 0.05f, 2.0}, Case{RK4, 0.2f, 4.0}}) {
    const double e1 = errorAtFourSeconds(c.scheme, c.h), e2 = errorAtFourSeconds(c.scheme, c.h / 2),
                 e3 = errorAtFourSeconds(c.scheme, c.h / 4);
    EXPECT_NEAR(std::log2(e1 / e2), c.order, 0.15 * c.order) << "scheme " << c.scheme;
    EXPECT_NEAR(std::log2(e2 / e3), c.order, 0.15 * c.order) << "scheme " << c.scheme;
  }
}

// Undamped: E = ½·m·v² + ½·ks·(y - y*)² is conserved by the exact motion.
TEST(SpringMassModel, UndampedRunsHitTheSampleLimitAndEulerGainsEnergy) {
  auto energy = [](const SpringMassSim& s) {
    const double v = s.state[1].y, u = s.state[0].y - (-9.8 / 15 - 1);
    return 0.5 * 5 * v * v + 0.5 * 15 * u * u;
  };
  const double e0 = 0.5 * 15 * (9.8 / 15) * (9.8 / 15);
  for (int scheme : {Euler, RK4}) {
    SpringMassSim sim = spring(scheme, 5.0f, -9.8f, {15.0f, 0.0f, 1.0f});
    EXPECT_EQ(run(sim), "Beginning numerical simulation ... done, in 14999 iterations\n");
    EXPECT_EQ(sim.trajectory.size(), 15000u);
    if (scheme == Euler) {
      // Euler multiplies E by 1 + (hw)² a step: past the float range (inf or NaN) by the end.
      EXPECT_FALSE(energy(sim) < 1e6 * e0);
    } else {
      EXPECT_NEAR(energy(sim) / e0, 1.0, 0.02);  // RK4 loses ~(hw)^6/72 per step
    }
  }
}

TEST(SpringMassModel, GravityZeroStopsAfterOneStepAndZeroMassIsRefused) {
  for (int scheme : {Euler, Midpoint, RK4}) {
    SpringMassSim sim = spring(scheme, 5.0f, 0.0f, {});
    EXPECT_EQ(run(sim), "Beginning numerical simulation ... done, in 1 iterations\n");
    EXPECT_EQ(sim.trajectory, (std::vector<float>{-1.0f, -1.0f}));
  }
  SpringMassSim massless = spring(RK4, 0.0f, -9.8f, {15.0f, 1.0f, 2.0f});
  EXPECT_EQ(run(massless),
            "Beginning numerical simulation ... not run: a mass of 0 gives the "
            "body no defined acceleration\n");
  EXPECT_EQ(massless.trajectory, std::vector<float>{-2.0f});
}

TEST(SpringMassModel, SpringPushesAwayWhenShortAndPullsBackWhenLongOnBothSides) {
  SpringMassSim sim = spring(Euler, 1.0f, 0.0f, {15.0f, 0.0f, 1.0f});
  SpringMassSimDerivativeEvaluator ev(sim);
  StateList out(2);
  for (auto [y, a] : {std::pair{0.5f, 7.5f}, {2.0f, -15.0f}, {0.0f, 15.0f}, {-0.5f, -7.5f}}) {
    ev.evaluate(StateList{Vector3f(0, y, 0), Vector3f(0, 0.25f, 0)}, out, 0.1f, 0.0f);
    EXPECT_EQ(out[1].y, a) << "at y " << y;
    EXPECT_EQ(out[0].y, 0.25f);
  }
  EXPECT_EQ(ev.settled, 0);
  ev.evaluate(StateList{Vector3f(0, -1.0f, 0), Vector3f()}, out, 0.1f, 0.0f);
  EXPECT_EQ(ev.settled, 1);
}

TEST(SpringMassModel, PrintTrajectoryFormat) {
  SpringMassSim sim;
  sim.trajectory = {-1.0f, -1.25f, 0.5f};
  CaptureStdout();
  sim.printTrajectory();
  EXPECT_EQ(GetCapturedStdout(),
            "Trajectory of mass follows : \n(-1.000000), (-1.250000), (0.500000), "
            "\nTrajectory complete(3).\n");
}

TEST(SpringMassModelDeathTest, EvaluatorRequiresTwoStateEntries) {
  SpringMassSim sim;
  SpringMassSimDerivativeEvaluator ev(sim);
  StateList three(3), out(3);  // in bounds even where the assertion is compiled out
  EXPECT_DEBUG_DEATH(ev.evaluate(three, out, 0.1f, 0.0f), "inputs.size\\(\\)==2");
}

}  // namespace
