// A user's own tableau judged like the built-in schemes: the textbook
// methods get their literature orders from the order conditions and show
// them on the quadratic-drag flight, tableaus that break a row rule are
// refused in the rule's words, and a tableau that only the linear problems
// take for order 4 is told apart from its algebraic order 2.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "ballisticssetup.h"
#include "convergence.h"
#include "orderconditions.h"
#include "runs.h"

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
    if (r.scheme == name && r.precision == Precision::Double && !std::isnan(r.order) && !r.atFloor)
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

// How far a measured order may lie from the order it tends to, at the
// study's steps: the coarsest levels of the quadratic-drag shot are still
// 0.15 above it (Heun's third order: 3.14).
constexpr double kOrderSlack = 0.2;

// The algebraic order is the literature's, and the order measured on the
// quadratic-drag flight against its reference (a nonlinear problem, where
// every order condition counts) is the same.
TEST(OwnTableaus, TextbookMethodsHaveTheirLiteratureOrders) {
  const FlightCase c(ballisticsParamsFromPanel(quadraticShot()));
  std::vector<RunScheme> schemes;
  for (const Textbook& t : kTextbook) schemes.push_back(scheme(t.tableau));
  const ConvergenceStudy s = study(c, schemes, 6);
  for (const Textbook& t : kTextbook) {
    SCOPED_TRACE(t.name);
    ASSERT_EQ(t.tableau.problem(), "");
    const OrderReport report = orderReport(t.tableau);
    EXPECT_EQ(report.order, t.order) << report.text();
    EXPECT_EQ(report.failed.has_value(), t.order < kMaxCheckedOrder) << report.text();
    const std::vector<double> orders = measuredOrders(s, t.name);
    EXPECT_GE(orders.size(), 3u);
    for (double o : orders) EXPECT_NEAR(o, t.order, kOrderSlack);
  }
}

// Coefficients written to 12 digits are the method; a node off its row's
// sum, or weights that do not sum to 1, are refused by the engine in the
// words of the rule they break.
TEST(OwnTableaus, RowRulesRefuseInTheirOwnWords) {
  struct Case {
    const char* what;
    ButcherTableau tableau;
    std::string problem;  // empty: accepted
  };
  const ButcherTableau& rk4 = kTextbook[5].tableau;
  ButcherTableau decimals = rk4, offNode = rk4, heavy = kTextbook[1].tableau;
  decimals.b = {0.166666666667, 0.333333333333, 0.333333333333, 0.166666666667};
  offNode.c[2] = 0.6;
  heavy.b = {0.6, 0.6};
  const Case cases[] = {
      {"decimals", decimals, ""},
      {"c off its row", offNode,
       "c[2] = 0.6 but row 2 of a sums to 0.5: c must equal the sum of its row of a"},
      {"a row that overflows",
       {"huge", {{}, {1e308}, {1e308, 1e308}}, {0.0, 0.0, 1.0}, {0.0, 1e308, 1e308}},
       "c[2] = 1e+308 but row 2 of a sums to inf: c must equal the sum of its row of a"},
      {"b sums to 1.2", heavy,
       "b sums to 1.2 but must sum to 1: otherwise the method is not consistent (order 0)"},
  };
  const FlightCase flight(ballisticsParamsFromPanel(BallisticsPanelValues{}));
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    EXPECT_EQ(k.tableau.problem(), k.problem);
    if (k.problem.empty()) {
      EXPECT_EQ(algebraicOrder(k.tableau), 4);
      continue;
    }
    for (Precision p : {Precision::Single, Precision::Double}) {
      try {
        runFlight(flight, scheme(k.tableau), p);
        ADD_FAILURE() << "ran in " << precisionName(p);
      } catch (const std::invalid_argument& e) {
        EXPECT_EQ(e.what(), k.problem);
      }
    }
  }
}

// The trap of linear models: the Jameson-Schmidt-Turkel scheme shows order
// 4 on pbsim's linear-drag flight, order 2 on quadratic drag, and its
// algebraic order says 2 beside either.
TEST(OwnTableaus, LinearOnlyOrderFourPartsOnQuadraticDrag) {
  EXPECT_EQ(orderReport(kLinearOnlyFour).text(),
            "order 2: Σ b·c² = 0.25 but must be 1/3 for order 3");
  for (const auto& [drag, shows] : {std::pair{DragLaw::Linear, 4}, {DragLaw::Quadratic, 2}}) {
    SCOPED_TRACE(drag == DragLaw::Linear ? "linear" : "quadratic");
    BallisticsPanelValues v;
    v.drag = drag;
    const FlightCase c(ballisticsParamsFromPanel(v));
    const ConvergenceStudy s = study(c, {scheme(kLinearOnlyFour)}, 8);
    const std::vector<double> orders = measuredOrders(s, kLinearOnlyFour.name);
    EXPECT_GE(orders.size(), 3u);
    for (double o : orders) EXPECT_NEAR(o, shows, kOrderSlack);
    for (const ConvergenceRow& r : s.rows) EXPECT_EQ(r.algebraicOrder, 2);
  }
}

}  // namespace
