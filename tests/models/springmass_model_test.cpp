#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "schemes.h"
#include "springmassexact.h"
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

double exactHeight(const SpringMassSim& sim, double t) { return ExactSpring(sim.params).height(t); }

TEST(SpringMassModel, MatchesTheDampedOscillatorInEveryRegime) {
  const float critical = 2 * std::sqrt(15.0f * 5.0f);
  for (float kd : {1.0f, critical, 40.0f}) {
    SpringMassSim sim = spring(RK4, 5.0f, -9.8f, {15.0f, kd, 1.0f}, 0.01f);
    run(sim);
    EXPECT_NEAR(sim.trajectory.at(200), exactHeight(sim, 2.0), 2e-5) << kd;
  }
}

double errorAtFourSeconds(int scheme, float h) {
  SpringMassSim sim = spring(scheme, 5.0f, -9.8f, {15.0f, 1.0f, 1.0f}, h);
  run(sim);
  const int k = static_cast<int>(std::lround(4.0 / h));
  return std::fabs(sim.trajectory.at(k) - exactHeight(sim, k * double(h)));
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
    EXPECT_NEAR(observedOrder(e1, e2), c.order, 0.15 * c.order) << "scheme " << c.scheme;
    EXPECT_NEAR(observedOrder(e2, e3), c.order, 0.15 * c.order) << "scheme " << c.scheme;
  }
}

// Undamped: E = ½·m·v² + ½·ks·(y - y*)² is conserved by the exact motion.
TEST(SpringMassModel, UndampedRunsHitTheSampleLimitAndEulerGainsEnergy) {
  const double e0 = 0.5 * 15 * (9.8 / 15) * (9.8 / 15);
  for (int scheme : {Euler, RK4}) {
    SpringMassSim sim = spring(scheme, 5.0f, -9.8f, {15.0f, 0.0f, 1.0f});
    const ExactSpring exact(sim.params);
    auto energy = [&](const SpringMassSim& s) { return exact.energy(s.state[0].y, s.state[1].y); };
    EXPECT_NEAR(exact.energy(-1.0, 0.0), e0, 1e-6 * e0);  // -9.8f is not -9.8
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

TEST(SpringMassModel, SilentRunIsTheSimulatedRunAndShowsEveryStep) {
  for (int scheme : {Euler, Midpoint, RK4}) {
    SpringMassSim printed = spring(scheme, 5.0f, -9.8f, {}), silent = printed;
    const std::string console = run(printed);
    std::vector<float> heights;
    CaptureStdout();
    const SpringRunResult result = silent.run([&](int step, const StateList& state) {
      EXPECT_EQ(step, static_cast<int>(heights.size()));
      heights.push_back(state[0].y);
    });
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_TRUE(result.ran);
    EXPECT_EQ(result.settled, result.steps < 14999);  // Euler grows at this step
    EXPECT_EQ(console, "Beginning numerical simulation ... done, in " +
                           std::to_string(result.steps) + " iterations\n");
    EXPECT_EQ(heights, printed.trajectory);
    EXPECT_EQ(silent.trajectory, printed.trajectory);
  }
  SpringMassSim massless = spring(RK4, 0.0f, -9.8f, {});
  EXPECT_FALSE(massless.run().ran);
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
