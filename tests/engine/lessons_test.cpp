// The schemes after fixed explicit steps: the embedded pairs against
// Boost.Odeint's Dormand-Prince stepper and the closed forms, their step
// control and its stop, the implicit steps' Newton iteration, the landing on
// an interpolant, and the damping's work against the closed-form energy.

#include <gtest/gtest.h>

#include <boost/numeric/odeint.hpp>
#include <cfloat>
#include <cmath>

#include "ballisticssetup.h"
#include "ballisticssim.h"
#include "runs.h"
#include "springmasssetup.h"

namespace {

namespace odeint = boost::numeric::odeint;
using State6 = std::array<double, 6>;

BallisticsParams startUpShot(float dt = 0.1f) {
  BallisticsPanelValues v;
  v.timeStep = dt;
  return ballisticsParamsFromPanel(v);
}

SpringMassParams dampedSpring(float kd, float dt, float ks = 15.0f) {
  SpringPanelValues v;
  v.kd = kd;
  v.ks = ks;
  v.timeStep = dt;
  return springParamsFromPanel(v);
}

RunScheme named(const char* name, Landing landing = Landing::Linear) {
  RunScheme s(schemeNamed(name));
  s.landing = landing;
  return s;
}

// One step of dopri5's solution weights is Odeint's runge_kutta_dopri5 step,
// and its error estimate Odeint's, to rounding; the dense output between
// the step's ends has the quartic's accuracy against the closed form.
TEST(EmbeddedPairs, Dopri5IsOdeintsStepAndItsDenseOutputFollowsTheFlight) {
  const BallisticsParams p = startUpShot();
  const FlightEquations<double> f(p);
  const State6 x0 = FlightEquations<double>::launchState(p);
  const double h = 0.05;

  State6 mine = x0, theirs = x0, odeintError;
  schemerows::Dopri5Row::wide(f, mine, 0.0, h);
  odeint::runge_kutta_dopri5<State6> stepper;
  stepper.do_step(f, theirs, 0.0, h, odeintError);
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(mine[i], theirs[i], 1e-12 * (1 + std::fabs(theirs[i])));

  // The controller's step from the same start, with tolerances that accept
  // a step near h: the dense output at interior points against the exact
  // flight, far closer than the straight line between the ends.
  AdaptiveIntegrator<double, 6, FlightEquations<double>> in(dormandPrincePair(), {1e-6, 1e-9}, f,
                                                            x0, 0.0);
  ASSERT_TRUE(in.step());
  const ExactFlight exact(p);
  const double step = in.stepLength();
  for (double theta : {0.25, 0.5, 0.75}) {
    const State6 d = in.dense(theta);
    const Vec3d e = exact.position(theta * step);
    const double denseError = std::hypot(d[0] - e.x, d[1] - e.y, d[2] - e.z);
    const State6 end = in.state();
    const double line =
        std::hypot(x0[0] + theta * (end[0] - x0[0]) - e.x, x0[1] + theta * (end[1] - x0[1]) - e.y,
                   x0[2] + theta * (end[2] - x0[2]) - e.z);
    EXPECT_LT(denseError, 1e-6 * line) << "theta " << theta << ", step " << step;
  }
  // The first same as last: one accepted step after the first costs six
  // evaluations, not seven.
  const long long before = in.evaluations();
  ASSERT_TRUE(in.step());
  EXPECT_EQ(in.evaluations() - before, 6 * (1 + in.rejected()));
}

// Across rtol 1e-4 ... 1e-10 both pairs stay within ten times rtol of the
// closed form on both models (relative to the solution's size), counting
// every evaluation; an unreachable tolerance stops the run, not a loop.
// The controller's root in basic operations is the root, to 3e-9 for a
// double (four Newton steps) and to rounding otherwise, over the whole range
// of doubles.
TEST(EmbeddedPairs, TheControllersRootIsPowsWithinRounding) {
  for (int n = 1; n <= 6; ++n)
    for (double e = -310; e <= 300; e += 0.37) {  // subnormals too
      const double x = std::pow(10.0, e);
      // In long double: 1/n rounded to double would be off by up to 4e-14 here.
      const double want = static_cast<double>(std::pow(static_cast<long double>(x), 1.0L / n));
      EXPECT_NEAR(nthRoot(x, n), want, 3e-9 * want) << "x " << x << ", n " << n;
      EXPECT_NEAR(nthRoot(static_cast<long double>(x), n), want, 8 * DBL_EPSILON * want);
    }
}

TEST(EmbeddedPairs, ErrorsFollowTheToleranceAndAnImpossibleOneStops) {
  const FlightCase flight(startUpShot());
  const SpringCase spring(dampedSpring(0.5f, 0.1f));
  for (const char* name : {"bogacki-shampine", "dopri5"})
    for (double rtol = 1e-4; rtol >= 1e-10; rtol /= 100) {
      SCOPED_TRACE(std::string(name) + " rtol " + std::to_string(rtol));
      RunScheme s = named(name, Landing::Interpolated);
      s.tolerances = {rtol, rtol * 1e-3};
      const FlightRun f = runFlight(flight, s, Precision::Double);
      ASSERT_TRUE(f.landed());
      const Vec3d land = flight.position(*flight.landingTime());
      EXPECT_LT(f.maxPathError, 10 * rtol * std::hypot(land.x, land.y, land.z));
      EXPECT_LT(f.landingMiss, 10 * rtol * std::hypot(land.x, land.y, land.z));
      EXPECT_EQ(f.evaluations,
                2 + static_cast<long long>(s.builtin->evaluations) * (f.steps + f.rejected));
      for (std::size_t k = 1; k < f.size(); ++k) EXPECT_GT(f.h(k), 0.0);
      const SpringRun r = runSpring(spring, s, Precision::Double, 4.0);
      EXPECT_EQ(r.stop, SpringStop::Until);
      EXPECT_DOUBLE_EQ(r.t.back(), 4.0);
      EXPECT_LT(r.maxHeightError, 10 * rtol * std::fabs(spring.exact.restingHeight()));
    }
  // A user's pair is refused where its second weight row cannot estimate
  // an error, in the rule's words.
  EmbeddedPair same = bogackiShampinePair();
  same.bHat = same.tableau.b;
  EXPECT_EQ(same.problem(), "the two weight rows are equal, so they estimate no error");
  EmbeddedPair inconsistent = bogackiShampinePair();
  inconsistent.bHat[3] = 0.5;
  EXPECT_NE(inconsistent.problem().find("the second weight row sums to"), std::string::npos);
  RunScheme own;
  own.embedded = std::make_shared<const EmbeddedPair>(same);
  EXPECT_THROW(runFlight(flight, own, Precision::Double), std::invalid_argument);

  RunScheme impossible = named("dopri5");
  impossible.tolerances = {1e-300, 1e-300};
  EXPECT_NE(impossible.warning(), "");
  const FlightRun stuck = runFlight(flight, impossible, Precision::Double);
  EXPECT_EQ(std::string(stopName(stuck)), "step_too_small");
  EXPECT_FALSE(stuck.landed());
  EXPECT_TRUE(std::isnan(stuck.landingMiss));
}

// Backward Euler's step on a linear system is (I - hA)⁻¹x, solved in one
// Newton iteration and confirmed by the second; a nonlinear force converges
// to rounding; a step whose iteration cannot converge is refused.
TEST(ImplicitSchemes, NewtonSolvesEachStepOrSaysWhyNot) {
  const SpringMassParams p = dampedSpring(2.0f, 0.1f, 1e4f);
  const SpringEquations<double> f(p);
  std::array<double, 2> x{-1.2, 3.0};
  const double h = 0.5, a = -f.ks / f.mass, b = -f.kd / f.mass, g = f.gravity / f.mass;
  // (y+, v+) with y+ = y + h v+, v+ = v + h (a y+ + b v+ + c): below the
  // anchor (y < 0) the force is -ks·(y + length).
  const double c = g + a * f.length;
  const double det = (1 - h * b) - h * h * a;
  const double v1 = (x[1] + h * (a * x[0] + c)) / det, y1 = x[0] + h * v1;
  long long calls = 0;
  auto counted = [&](const std::array<double, 2>& s, std::array<double, 2>& d, double t) {
    ++calls;
    f(s, d, t);
  };
  implicitsteps::backwardEuler(counted, x, 0.0, h);
  EXPECT_NEAR(x[0], y1, 1e-12 * std::fabs(y1));
  EXPECT_NEAR(x[1], v1, 1e-12 * std::fabs(v1));
  EXPECT_LE(calls, 2 + 3);  // two iterations, the Jacobian by differences for a lambda

  // x' = -x³ from 1: backward Euler's x+ solves x+ + h·x+³ = 1.
  auto cubic = [](const std::array<double, 1>& s, std::array<double, 1>& d, double) {
    d[0] = -s[0] * s[0] * s[0];
  };
  std::array<double, 1> y{1.0};
  implicitsteps::backwardEuler(cubic, y, 0.0, 0.5);
  EXPECT_NEAR(y[0] + 0.5 * y[0] * y[0] * y[0], 1.0, 1e-14);
  // x' = x² from 1 with h = 1: x+ - x+² = 1 has no real root.
  auto blowUp = [](const std::array<double, 1>& s, std::array<double, 1>& d, double) {
    d[0] = s[0] * s[0];
  };
  std::array<double, 1> z{1.0};
  EXPECT_THROW(implicitsteps::backwardEuler(blowUp, z, 0.0, 1.0), NewtonFailure);
}

// On a stiff spring far beyond any explicit step's limit both implicit
// schemes stay bounded and lose no energy they should not; explicit Euler
// overflows.
TEST(ImplicitSchemes, StayBoundedOnAStiffSpring) {
  const SpringCase stiff(dampedSpring(1.0f, 0.05f, 1e4f));
  for (const char* name : {"backward-euler", "implicit-midpoint"}) {
    SCOPED_TRACE(name);
    const SpringRun r = runSpring(stiff, named(name), Precision::Double, 20.0);
    EXPECT_FALSE(r.diverged());
    EXPECT_LE(r.energy.back(), r.energy.front() * (1 + 1e-9));
    EXPECT_EQ(r.failure, RunFailure::None);
    EXPECT_EQ(r.evaluations, 2 * r.steps);  // linear: an iteration and its confirmation
  }
  EXPECT_TRUE(runSpring(stiff, named("euler"), Precision::Double, 40.0).diverged());
  EXPECT_EQ(named("backward-euler").problem(Precision::Single),
            "backward-euler runs in double precision only");
}

// The landing on the cubic through the last step's ends: RK4's miss falls to
// the size of its path error, where the straight line leaves it thousands of
// times larger; the linear rule is pbsim's, bit for bit.
TEST(Landing, TheInterpolantKeepsTheSchemesOrderAtTheGround) {
  for (float dt : {0.1f, 0.05f}) {
    SCOPED_TRACE(dt);
    const FlightCase c(startUpShot(dt));
    const FlightRun line = runFlight(c, named("rk4"), Precision::Double);
    const FlightRun cubic = runFlight(c, named("rk4", Landing::Interpolated), Precision::Double);
    EXPECT_GT(line.landingMiss, 1000 * line.maxPathError);
    EXPECT_LT(cubic.landingMiss, 10 * cubic.maxPathError);
    EXPECT_EQ(cubic.steps, line.steps);
    EXPECT_NEAR(cubic.flightTime, *c.landingTime(), 1e-8);
    BallisticsSim model;
    model.params = c.params;
    model.setScheme(RK4);
    model.fly();
    const FlightRun single = runFlight(c, named("rk4"), Precision::Single);
    EXPECT_EQ(static_cast<float>(single.landingX), model.trajectory.back().x);
    EXPECT_EQ(static_cast<float>(single.landingZ), model.trajectory.back().z);
  }
}

// The damping's work is what the closed form's energy lost: E + W stays at
// E0 to the scheme's accuracy, where E alone falls by its whole value.
TEST(EnergyBalance, DampingWorkIsTheClosedFormsEnergyLoss) {
  const SpringCase c(dampedSpring(1.0f, 0.01f));
  const SpringRun r = runSpring(c, named("rk4"), Precision::Double, 6.0);
  const double e0 = r.energy.front();
  for (std::size_t k = 0; k < r.size(); k += 50) {
    const double exactEnergy = c.exact.energy(c.exact.height(r.t[k]), c.exact.velocity(r.t[k]));
    EXPECT_NEAR(r.dampingWork[k], e0 - exactEnergy, 1e-7 * e0) << "t " << r.t[k];
  }
  EXPECT_GT(r.energyDrift, 0.5);
  EXPECT_LT(r.energyBalanceDrift, 1e-7);
  const SpringRun euler = runSpring(c, named("euler"), Precision::Double, 6.0);
  EXPECT_GT(euler.energyBalanceDrift, 1e3 * r.energyBalanceDrift);
}

}  // namespace
