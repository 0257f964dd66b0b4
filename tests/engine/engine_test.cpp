// The engine's runs and studies: the two schemes beside pbsim's three, the
// double-precision twins of the models, schemes given by tableau or by the
// user's own step, cancelling, and the refusal of bad values. Measured
// against the closed forms and Boost.Odeint.

#include <gtest/gtest.h>

#include <boost/numeric/odeint.hpp>
#include <chrono>
#include <cmath>
#include <thread>

#include "ballisticssetup.h"
#include "convergence.h"
#include "runs.h"
#include "springmasssetup.h"
#include "validation.h"

namespace {

const SchemeInfo& scheme(const char* name) { return *schemeNamed(name); }

BallisticsParams shot(double friction, double dt, double gravity = -9.8) {
  BallisticsPanelValues v;
  v.airFriction = friction;
  v.timeStep = dt;
  v.gravity = gravity;
  return ballisticsParamsFromPanel(v);
}

SpringMassParams spring(double kd, double dt, double ks = 15, double gravity = -9.8) {
  SpringPanelValues v;
  v.kd = kd;
  v.timeStep = dt;
  v.ks = ks;
  v.gravity = gravity;
  return springParamsFromPanel(v);
}

// Symplectic Euler and velocity Verlet converge at orders 1 and 2 against
// the closed forms, in single and double precision: on the flight, whose drag
// depends on the velocity (where Verlet's usual half-step forms fall to
// order 1), and on a stiff spring.
TEST(EngineSchemes, NewSchemesConvergeAtTheirOrders) {
  const FlightCase flight(shot(1000, 0.2));
  const SpringCase stiff(spring(1, 0.05, 150, -150));
  for (const char* name : {"symplectic-euler", "verlet"}) {
    for (int model = 0; model < 2; ++model) {
      ConvergenceSettings settings;
      settings.levels = 6;
      settings.withDouble = true;
      settings.at = model == 0 ? 0.0 : 2.0;
      const std::vector<RunScheme> schemes{&scheme(name)};
      ConvergenceStudy study;
      if (model == 0) {
        ASSERT_FALSE(prepareConvergence(flight, settings));
        study = studyConvergence(flight, schemes, settings);
      } else {
        ASSERT_FALSE(prepareConvergence(stiff, settings));
        study = studyConvergence(stiff, schemes, settings);
      }
      ASSERT_EQ(study.rows.size(), 12u);
      for (const ConvergenceRow& r : study.rows) {
        EXPECT_EQ(r.evaluations, r.steps * scheme(name).evaluations);
        if (std::isnan(r.order)) continue;
        EXPECT_FALSE(r.atFloor);
        EXPECT_NEAR(r.order, scheme(name).order, 0.15)
            << name << " model " << model << " " << precisionName(r.precision) << " h " << r.h;
      }
    }
  }
}

// The undamped spring's energy lesson: over 200 s the symplectic schemes'
// energy stays within a band that does not widen with time, midpoint's
// drifts steadily and Euler's grows without bound; RK4 stays close.
TEST(EngineSchemes, UndampedEnergyStaysBoundedOnlyForTheSymplecticSchemes) {
  const SpringCase undamped(spring(0, 0.05));
  ASSERT_TRUE(std::isinf(undamped.exact.validUntil()));
  for (Precision p : {Precision::Single, Precision::Double}) {
    auto drift = [&](const char* name, double until) {
      const SpringRun r = runSpring(undamped, &scheme(name), p, until);
      EXPECT_EQ(r.stop, SpringStop::Until);
      EXPECT_EQ(r.steps, std::llround(until / 0.05));
      return r.energyDrift;
    };
    for (const char* name : {"symplectic-euler", "verlet"}) {
      const double half = drift(name, 100), whole = drift(name, 200);
      EXPECT_LT(whole, 0.05) << name;
      EXPECT_LT(whole, 1.02 * half) << name;  // bounded: no growth after the first periods
    }
    EXPECT_LT(drift("verlet", 200), drift("symplectic-euler", 200) / 10);  // order 2 against 1
    EXPECT_GT(drift("midpoint", 200), 1.8 * drift("midpoint", 100));       // a steady drift
    EXPECT_GT(drift("euler", 200), 1e6);
    EXPECT_LT(drift("rk4", 200), 1e-4);
  }
}

// The double twins share the models' start, loop, stops and limits: the same
// kind of ending, after the same number of steps within one.
TEST(EngineTwins, DoubleRunsStopAsTheModelsDo) {
  struct FlightCaseRow {
    const char* what;
    BallisticsParams params;
    const char* scheme;
    FlightEnd stop;
  };
  const FlightCaseRow flights[] = {
      {"start-up", shot(50, 0.1), "rk4", FlightEnd::Landed},
      {"fine", shot(50, 1e-3), "verlet", FlightEnd::Landed},
      {"gravity up", shot(50, 0.1, 5), "euler", FlightEnd::StepLimit},
      {"drag stops it",
       [] {
         BallisticsParams p = shot(10, 0.1, 0);
         p.projectileMass = 1;
         return p;
       }(),
       "euler", FlightEnd::Stuck},
  };
  for (const FlightCaseRow& c : flights) {
    const FlightCase fc(c.params);
    const FlightRun single = runFlight(fc, &scheme(c.scheme), Precision::Single);
    const FlightRun wide = runFlight(fc, &scheme(c.scheme), Precision::Double);
    EXPECT_EQ(single.stop, c.stop) << c.what;
    EXPECT_EQ(wide.stop, c.stop) << c.what;
    EXPECT_EQ(wide.size(), static_cast<std::size_t>(wide.steps + 1)) << c.what;
    if (c.stop == FlightEnd::StepLimit) {
      EXPECT_EQ(wide.steps, kMaxFlightSteps);
    } else if (c.stop == FlightEnd::Landed) {
      EXPECT_NEAR(wide.steps, single.steps, 1) << c.what;
      EXPECT_EQ(wide.wide.y.back(), 0.0);
      EXPECT_NEAR(wide.landingX, single.landingX, 1e-4 * std::fabs(single.landingX) + 1e-6);
      EXPECT_NEAR(wide.flightTime, single.flightTime, 1e-4 * single.flightTime);
    }
  }
  struct SpringCaseRow {
    const char* what;
    SpringMassParams params;
    std::optional<double> until;
    SpringStop stop;
  };
  const SpringCaseRow springs[] = {
      {"start-up", spring(1, 0.1), {}, SpringStop::AtRest},
      {"undamped", spring(0, 0.1), {}, SpringStop::SampleLimit},
      {"until", spring(0, 0.1), 12.0, SpringStop::Until},
  };
  for (const SpringCaseRow& c : springs) {
    const SpringCase sc(c.params);
    const SpringRun single = runSpring(sc, &scheme("rk4"), Precision::Single, c.until);
    const SpringRun wide = runSpring(sc, &scheme("rk4"), Precision::Double, c.until);
    EXPECT_EQ(single.stop, c.stop) << c.what;
    EXPECT_EQ(wide.stop, c.stop) << c.what;
    EXPECT_NEAR(wide.steps, single.steps, 1) << c.what;
  }
  EXPECT_EQ(runSpring(SpringCase(spring(0, 0.1)), &scheme("rk4")).size(), kMaxSpringSamples);
}

// The double twin's RK4 flight against Boost.Odeint's RK4 on the same
// equations, and the same method given as a tableau, and Euler written as
// the user's own step, against the built-in ones.
TEST(EngineTwins, DoubleRk4TableauAndUserStepAgreeWithOdeintAndTheBuiltIns) {
  const FlightCase c(shot(50, 0.01));
  const FlightRun rk4 = runFlight(c, &scheme("rk4"), Precision::Double);
  using State = std::array<double, 6>;
  State x = FlightEquations<double>::launchState(c.params);
  boost::numeric::odeint::runge_kutta4<State> odeint;
  const double h = c.params.timeStep;
  for (int k = 0; k + 1 < rk4.steps; ++k)
    odeint.do_step(FlightEquations<double>(c.params), x, k * h, h);
  EXPECT_NEAR(rk4.wide.x[rk4.size() - 2], x[0], 1e-13 * std::fabs(x[0]));  // the last point above
  EXPECT_NEAR(rk4.wide.y[rk4.size() - 2], x[1], 1e-13);
  odeint.do_step(FlightEquations<double>(c.params), x, (rk4.steps - 1) * h, h);
  EXPECT_NEAR(rk4.wide.vy.back(), x[4], 1e-13 * std::fabs(x[4]));

  RunScheme tableau;
  tableau.tableau =
      std::make_shared<ButcherTableau>(ButcherTableau{"my-rk4",
                                                      {{}, {0.5}, {0, 0.5}, {0, 0, 1}},
                                                      {1 / 6., 1 / 3., 1 / 3., 1 / 6.},
                                                      {0, .5, .5, 1}});
  const FlightRun mine = runFlight(c, tableau, Precision::Double);
  EXPECT_EQ(mine.scheme, "my-rk4");
  ASSERT_EQ(mine.steps, rk4.steps);
  EXPECT_EQ(mine.evaluations, 4 * mine.steps);
  for (std::size_t k = 0; k < mine.size(); ++k)
    ASSERT_NEAR(mine.wide.x[k], rk4.wide.x[k], 1e-14 * std::fabs(rk4.wide.x[k]) + 1e-300) << k;
  const FlightRun mineSingle = runFlight(c, tableau, Precision::Single);
  EXPECT_NEAR(mineSingle.steps, rk4.steps, 1);
  EXPECT_LT(mineSingle.maxPathError, 1e-5);

  RunScheme user;
  user.custom = std::make_shared<CustomScheme>(CustomScheme{
      "my-euler",
      [](const CustomScheme::Derivative& f, double t, double* s, std::size_t n, double step) {
        double d[6];
        f(t, s, d);
        for (std::size_t i = 0; i < n; ++i) s[i] += step * d[i];
      }});
  const FlightRun euler = runFlight(c, &scheme("euler"), Precision::Double);
  const FlightRun own = runFlight(c, user, Precision::Double);
  EXPECT_EQ(own.steps, euler.steps);
  EXPECT_EQ(own.evaluations, euler.evaluations);
  EXPECT_EQ(own.wide.x, euler.wide.x);
  EXPECT_EQ(own.wide.vy, euler.wide.vy);
  EXPECT_THROW(runFlight(c, user, Precision::Single), std::invalid_argument);
  RunScheme broken = tableau;
  broken.tableau =
      std::make_shared<ButcherTableau>(ButcherTableau{"implicit", {{0.5}}, {1}, {0.5}});
  EXPECT_THROW(runFlight(c, broken), std::invalid_argument);
}

// A run sees its cancel flag within a few thousand steps, from another thread.
TEST(EngineRuns, ACancelledRunStops) {
  const FlightCase neverLands(shot(50, 0.1, 5));  // four million steps
  CancelFlag cancel{false};
  std::thread later([&cancel] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    cancel = true;
  });
  EXPECT_THROW(runFlight(neverLands, &scheme("rk4"), Precision::Double, &cancel), Cancelled);
  later.join();
  const SpringCase undamped(spring(0, 1e-4));
  EXPECT_THROW(runSpring(undamped, &scheme("rk4"), Precision::Single, {}, &cancel), Cancelled);
  ConvergenceSettings settings;
  ASSERT_FALSE(prepareConvergence(undamped, settings));
  EXPECT_THROW(studyConvergence(undamped, {&scheme("rk4")}, settings, {}, &cancel), Cancelled);
}

// Every value is checked, and the message names it.
TEST(EngineValidation, BadValuesAreRefusedByName) {
  const double inf = INFINITY;
  struct Row {
    void (*set)(BallisticsPanelValues&, SpringPanelValues&, double);
    bool flight;
    double value;
    const char* message;
  };
  const Row rows[] = {
      {[](auto& f, auto&, double x) { f.azimuth = x; }, true, NAN,
       "azimuth must be a finite number, not nan"},
      {[](auto& f, auto&, double x) { f.powderPower = x; }, true, 1e39,
       "power must lie within single precision"},
      {[](auto& f, auto&, double x) { f.projectileMass = x; }, true, 0,
       "mass must be greater than 0"},
      {[](auto& f, auto&, double x) { f.projectileMass = x; }, true, 1e-50,
       "is 0 in single precision"},
      {[](auto& f, auto&, double x) { f.timeStep = x; }, true, -0.1, "dt must be greater than 0"},
      {[](auto& f, auto&, double x) { f.gravity = x; }, true, -inf,
       "gravity must be a finite number"},
      {[](auto&, auto& s, double x) { s.kd = x; }, false, inf, "kd must be a finite number"},
      {[](auto&, auto& s, double x) { s.timeStep = x; }, false, 1e-46,
       "dt must be greater than 0, and"},
      {[](auto&, auto& s, double x) { s.mass = x; }, false, -5, "mass must be greater than 0"},
  };
  for (const Row& r : rows) {
    BallisticsPanelValues f;
    SpringPanelValues s;
    EXPECT_FALSE(flightProblem(f));
    EXPECT_FALSE(springProblem(s, 10.0));
    r.set(f, s, r.value);
    const std::optional<Problem> p = r.flight ? flightProblem(f) : springProblem(s);
    ASSERT_TRUE(p) << r.message;
    EXPECT_NE(p->text().find(r.message), std::string::npos) << p->text();
    EXPECT_EQ(p->text("--").rfind("--" + p->parameter + " ", 0), 0u) << p->text("--");
  }
  EXPECT_EQ(springProblem(SpringPanelValues(), 0.0)->text(), "until must be greater than 0");
}

}  // namespace
