// Quadratic drag, which has no closed form in 3-D: the reference integration
// against what is known without it (the vertical shot's closed form, the
// drag-free parabola as the drag vanishes, Boost.Odeint's Dormand-Prince at
// a tight tolerance), the orders the schemes show against it, and the
// refusals of quadratic drag.

#include "reference.h"

#include <gtest/gtest.h>

#include <boost/numeric/odeint.hpp>
#include <cmath>

#include "ballisticssetup.h"
#include "convergence.h"
#include "parameters.h"
#include "runs.h"
#include "validation.h"

namespace {

BallisticsPanelValues quadratic(double elevation = 45.0, double friction = 50.0) {
  BallisticsPanelValues v;
  v.drag = DragLaw::Quadratic;
  v.elevation = elevation;
  v.airFriction = friction;
  return v;
}

// Straight up and back with quadratic drag, k = c/m, terminal speed
// vt = sqrt(g/k): going up v = vt·tan(phi0 - g·t/vt), phi0 = atan(v0/vt);
// coming down from the apex at ta, v = -vt·tanh(g·(t - ta)/vt).
struct VerticalShot {
  double k, g, vt, v0, y0, phi0, ta, ya;
  explicit VerticalShot(const BallisticsParams& p)
      : k(static_cast<double>(p.airFriction) / static_cast<double>(p.projectileMass)),
        g(-static_cast<double>(p.gravity)),
        vt(std::sqrt(g / k)),
        v0(muzzleVelocity(p).y),
        y0(kLaunchHeight),
        phi0(std::atan(v0 / vt)),
        ta(vt * phi0 / g),
        ya(y0 - vt * vt / g * std::log(std::cos(phi0))) {}
  double height(double t) const {
    if (t <= ta) return y0 + vt * vt / g * std::log(std::cos(phi0 - g * t / vt) / std::cos(phi0));
    return ya - vt * vt / g * std::log(std::cosh(g * (t - ta) / vt));
  }
  double speed(double t) const {
    return t <= ta ? vt * std::tan(phi0 - g * t / vt) : -vt * std::tanh(g * (t - ta) / vt);
  }
  double landing() const { return ta + vt / g * std::acosh(std::exp(g * ya / (vt * vt))); }
};

TEST(ReferenceFlight, TheVerticalShotFollowsItsClosedForm) {
  for (double friction : {5.0, 50.0, 500.0}) {
    SCOPED_TRACE(friction);
    const BallisticsParams p = ballisticsParamsFromPanel(quadratic(90.0, friction));
    const ReferenceFlight ref(p, 100.0);
    const VerticalShot exact(p);
    ASSERT_TRUE(ref.landingTime());
    EXPECT_NEAR(*ref.landingTime(), exact.landing(), 1e-12 * exact.landing());
    for (int i = 1; i < 20; ++i) {
      const double t = exact.landing() * i / 20;
      EXPECT_NEAR(ref.position(t).y, exact.height(t), 1e-12 * exact.ya) << t;
      EXPECT_NEAR(ref.velocity(t).y, exact.speed(t), 1e-12 * exact.v0) << t;
    }
    EXPECT_LT(ref.errorEstimate(), 1e-12);
  }
}

TEST(ReferenceFlight, AgreesWithAnIndependentIntegratorAndTendsToTheParabola) {
  namespace odeint = boost::numeric::odeint;
  const BallisticsParams p = ballisticsParamsFromPanel(quadratic());
  const ReferenceFlight ref(p, 100.0);
  ASSERT_TRUE(ref.landingTime());
  EXPECT_LT(ref.errorEstimate(), 1e-12);
  const FlightEquations<double> f(p);
  auto x = FlightEquations<double>::launchState(p);
  const double t = *ref.landingTime() * 0.9;
  odeint::integrate_adaptive(
      odeint::make_controlled(1e-14, 1e-14, odeint::runge_kutta_dopri5<decltype(x)>()), f, x, 0.0,
      t, 1e-4);
  const Vec3d r = ref.position(t);
  EXPECT_LT(std::hypot(r.x - x[0], r.y - x[1], r.z - x[2]), 1e-10);

  // As the drag vanishes the flight becomes the drag-free parabola, the
  // linear closed form at friction 0.
  const BallisticsParams faint = ballisticsParamsFromPanel(quadratic(45.0, 1e-9));
  BallisticsPanelValues none = quadratic(45.0, 0.0);
  none.drag = DragLaw::Linear;
  const ExactFlight parabola(ballisticsParamsFromPanel(none));
  const ReferenceFlight nearly(faint, 100.0);
  ASSERT_TRUE(nearly.landingTime() && parabola.landingTime());
  EXPECT_NEAR(*nearly.landingTime(), *parabola.landingTime(), 1e-9);
  for (double s : {0.25, 0.5, 0.75}) {
    const double ts = *parabola.landingTime() * s;
    const Vec3d a = nearly.position(ts), b = parabola.position(ts);
    EXPECT_LT(std::hypot(a.x - b.x, a.y - b.y, a.z - b.z), 1e-9) << ts;
  }
}

// Against the reference, in double precision, each scheme shows its order;
// the model's own single-precision flight has the same error at the coarsest
// step, rounding aside (its float drag is the same law).
TEST(ReferenceFlight, OrdersShowAgainstTheReferenceInDoublePrecision) {
  const FlightCase c(ballisticsParamsFromPanel(quadratic()));
  ConvergenceSettings settings;
  settings.levels = 6;
  settings.withDouble = true;
  ASSERT_FALSE(prepareConvergence(c, settings));
  std::vector<RunScheme> schemes;
  for (const SchemeInfo& s : kSchemes) schemes.emplace_back(&s);
  const ConvergenceStudy study = studyConvergence(c, schemes, settings);
  for (const SchemeInfo& s : kSchemes) {
    SCOPED_TRACE(std::string(s.name));
    if (s.kind == SchemeKind::Adaptive) continue;  // its rows sweep rtol, not h
    int measured = 0;
    const ConvergenceRow* single = nullptr;
    for (const ConvergenceRow& r : study.rows)
      if (r.info == &s && r.precision == Precision::Single && !single) single = &r;
    for (const ConvergenceRow& r : study.rows)
      if (single && r.info == &s && r.precision == Precision::Double && r.h == single->h) {
        EXPECT_NEAR(single->error, r.error, std::fmax(0.1 * r.error, 1e-5))
            << "single precision at h " << r.h;
      }
    for (const ConvergenceRow& r : study.rows)
      if (r.info == &s && r.precision == Precision::Double && !std::isnan(r.order) && !r.atFloor) {
        EXPECT_NEAR(r.order, s.order, 0.1) << "h " << r.h;
        ++measured;
      }
    EXPECT_GE(measured, 3);
  }
}

TEST(QuadraticDrag, RefusesWhatItCannotFly) {
  struct Case {
    BallisticsPanelValues v;
    const char* parameter;
  };
  BallisticsPanelValues negative = quadratic(45.0, -1.0);
  BallisticsPanelValues longStep = quadratic(45.0, 5000.0);
  longStep.timeStep = 0.5;
  BallisticsPanelValues overflow = quadratic(45.0, 1e30);
  overflow.powderPower = 1e30;
  for (const Case& c :
       {Case{negative, "friction"}, Case{longStep, "dt"}, Case{overflow, "friction"}}) {
    const auto p = flightProblem(c.v);
    ASSERT_TRUE(p) << c.parameter;
    EXPECT_EQ(p->parameter, c.parameter) << p->text();
  }
  // Linear drag keeps its rules: a negative friction flies.
  BallisticsPanelValues linear = negative;
  linear.drag = DragLaw::Linear;
  EXPECT_FALSE(flightProblem(linear));
  std::optional<Problem> word;
  dragLawArgument("cubic", word);
  ASSERT_TRUE(word);
  EXPECT_EQ(word->text(), "drag must be linear or quadratic, not 'cubic'");
}

}  // namespace
