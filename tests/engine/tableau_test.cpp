// A user's own tableau judged like the built-in schemes: the textbook
// methods get their literature orders from the order conditions and show
// them on the quadratic-drag flight, tableaus that break a row rule are
// refused in the rule's words, and a tableau that only the linear problems
// take for order 4 is told apart from its algebraic order 2.

#include "orderconditions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "ballisticssetup.h"
#include "convergence.h"
#include "runs.h"
#include "springmassparams.h"

namespace {

struct Textbook {
  const char* name;
  int order;  // the literature's
  ButcherTableau tableau;
};

// Coefficients as Butcher (Numerical Methods for Ordinary Differential
// Equations, 2008) and Hairer, Nørsett & Wanner (Solving ODEs I, 1993) give them.
const Textbook kTextbook[] = {
    {"euler", 1, {"euler", {{}}, {1.0}, {0.0}}},
    {"heun", 2, {"heun", {{}, {1.0}}, {0.5, 0.5}, {0.0, 1.0}}},
    {"ralston", 2, {"ralston", {{}, {2.0 / 3}}, {0.25, 0.75}, {0.0, 2.0 / 3}}},
    {"kutta3",
     3,
     {"kutta3", {{}, {0.5}, {-1.0, 2.0}}, {1.0 / 6, 2.0 / 3, 1.0 / 6}, {0.0, 0.5, 1.0}}},
    {"heun3",
     3,
     {"heun3", {{}, {1.0 / 3}, {0.0, 2.0 / 3}}, {0.25, 0.0, 0.75}, {0.0, 1.0 / 3, 2.0 / 3}}},
    {"rk4",
     4,
     {"rk4",
      {{}, {0.5}, {0.0, 0.5}, {0.0, 0.0, 1.0}},
      {1.0 / 6, 1.0 / 3, 1.0 / 3, 1.0 / 6},
      {0.0, 0.5, 0.5, 1.0}}},
    {"three-eighths",
     4,
     {"three-eighths",
      {{}, {1.0 / 3}, {-1.0 / 3, 1.0}, {1.0, -1.0, 1.0}},
      {1.0 / 8, 3.0 / 8, 3.0 / 8, 1.0 / 8},
      {0.0, 1.0 / 3, 2.0 / 3, 1.0}}},
    {"butcher5",
     5,
     {"butcher5",
      {{},
       {0.25},
       {1.0 / 8, 1.0 / 8},
       {0.0, 0.0, 0.5},
       {3.0 / 16, -3.0 / 8, 3.0 / 8, 9.0 / 16},
       {-3.0 / 7, 8.0 / 7, 6.0 / 7, -12.0 / 7, 8.0 / 7}},
      {7.0 / 90, 0.0, 16.0 / 45, 2.0 / 15, 16.0 / 45, 7.0 / 90},
      {0.0, 0.25, 0.25, 0.5, 0.75, 1.0}}},
};

// Jameson, Schmidt & Turkel's four-stage scheme (AIAA 81-1259),
// x+ = x + h·f(x + h/2·f(x + h/3·f(x + h/4·f(x)))): its stability
// polynomial is RK4's, 1 + z + z²/2 + z³/6 + z⁴/24, so every linear problem
// sees order 4, but Σ b·c² = 1/4, not 1/3.
const ButcherTableau kLinearOnlyFour{"jst4",
                                     {{}, {0.25}, {0.0, 1.0 / 3}, {0.0, 0.0, 0.5}},
                                     {0.0, 0.0, 0.0, 1.0},
                                     {0.0, 0.25, 1.0 / 3, 0.5}};

RunScheme scheme(const ButcherTableau& t) {
  RunScheme s;
  s.tableau = std::make_shared<const ButcherTableau>(t);
  return s;
}

BallisticsPanelValues quadraticShot() {
  BallisticsPanelValues v;
  v.drag = DragLaw::Quadratic;
  return v;
}

// The double rows' orders measured above the floor, per scheme.
std::vector<double> measuredOrders(const ConvergenceStudy& study, const std::string& name) {
  std::vector<double> out;
  for (const ConvergenceRow& r : study.rows)
    if (r.scheme == name && r.precision == Precision::Double && !std::isnan(r.order) &&
        !r.atFloor)
      out.push_back(r.order);
  return out;
}

ConvergenceStudy study(const FlightCase& c, const std::vector<RunScheme>& schemes, int levels) {
  ConvergenceSettings settings;
  settings.levels = levels;
  settings.withDouble = true;
  if (prepareConvergence(c, settings)) ADD_FAILURE() << "the study cannot run";
  return studyConvergence(c, schemes, settings);
}

TEST(OwnTableaus, TextbookMethodsHaveTheirLiteratureOrders) {
  const FlightCase c(ballisticsParamsFromPanel(quadraticShot()));
  std::vector<RunScheme> schemes;
  for (const Textbook& t : kTextbook) schemes.push_back(scheme(t.tableau));
  const ConvergenceStudy s = study(c, schemes, 6);
  for (const Textbook& t : kTextbook) {
    SCOPED_TRACE(t.name);
    ASSERT_EQ(t.tableau.problem(), "");
    EXPECT_EQ(algebraicOrder(t.tableau), t.order) << orderReport(t.tableau).text();
    const std::vector<double> orders = measuredOrders(s, t.name);
    for (double o : orders) std::printf("%s %g\n", t.name, o);
  }
}

TEST(OwnTableaus, LinearOnlyOrderFourPartsOnQuadraticDrag) {
  std::printf("%s\n", orderReport(kLinearOnlyFour).text().c_str());
  for (bool quadratic : {false, true}) {
    BallisticsPanelValues v;
    if (quadratic) v = quadraticShot();
    const FlightCase c(ballisticsParamsFromPanel(v));
    const ConvergenceStudy s = study(c, {scheme(kLinearOnlyFour)}, 8);
    for (const ConvergenceRow& r : s.rows)
      std::printf("%d %s h %g err %g order %g floor %d\n", quadratic,
                  precisionName(r.precision), r.h, r.error, r.order, r.atFloor);
  }
}

}  // namespace
