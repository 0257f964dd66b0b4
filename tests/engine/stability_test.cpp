// The stability limits on the spring: measured by bisection on the growth of
// the energy, against the bounds theory gives, and each of those against
// what no code here computes: closed forms worked by hand, the textbook
// stability intervals of RK4, and the step matrices the schemes' own steps
// make on a linear system.

#include "stability.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "columns.h"
#include "schemes.h"
#include "springmasssetup.h"
#include "tables.h"

namespace {

SpringCase springOf(double ks, double mass, double kd) {
  SpringPanelValues v;
  v.ks = ks;
  v.mass = mass;
  v.kd = kd;
  return SpringCase(springParamsFromPanel(v));
}

const StabilityRow& rowOf(const StabilityStudy& s, const std::string& scheme) {
  for (const StabilityRow& r : s.rows)
    if (r.scheme == scheme) return r;
  throw std::logic_error("no row " + scheme);
}

// k = ks/m and c = kd/m as the model's single-precision parameters hold them.
double kOf(const SpringCase& c) { return double(c.params.springs[0].ks) / c.params.mass; }
double cOf(const SpringCase& c) { return double(c.params.springs[0].kd) / c.params.mass; }

// |R(hλ)| for a stability polynomial, in complex arithmetic.
double modulus(const std::vector<double>& poly, std::complex<double> z) {
  std::complex<double> r = 0.0;
  for (std::size_t n = poly.size(); n-- > 0;) r = r * z + poly[n];
  return std::abs(r);
}

const std::vector<double> kEulerR{1.0, 1.0};
const std::vector<double> kMidpointR{1.0, 1.0, 0.5};
const std::vector<double> kRk4R{1.0, 1.0, 0.5, 1.0 / 6.0, 1.0 / 24.0};

// The step matrix of a scheme's own double-precision step on u'' = -k·u - c·u'.
StepMatrix stepOfScheme(const SchemeInfo& s, double k, double c, double h) {
  auto f = [k, c](const std::array<double, 2>& x, std::array<double, 2>& d, double) {
    d[0] = x[1];
    d[1] = -k * x[0] - c * x[1];
  };
  StepMatrix m{};
  for (int col = 0; col < 2; ++col) {
    std::array<double, 2> x{col == 0 ? 1.0 : 0.0, col == 1 ? 1.0 : 0.0};
    stepWide(s.scheme, nullptr, f, x, 0.0, h);
    m[0][col] = x[0];
    m[1][col] = x[1];
  }
  return m;
}

// The spectral radius from the eigenvalues, in complex arithmetic.
double radiusOf(const StepMatrix& m) {
  const std::complex<double> tr = m[0][0] + m[1][1], det = m[0][0] * m[1][1] - m[0][1] * m[1][0];
  const std::complex<double> root = std::sqrt(tr * tr / 4.0 - det);
  return std::max(std::abs(tr / 2.0 + root), std::abs(tr / 2.0 - root));
}

// Each explicit scheme's measured limit against an independent value: a
// closed form worked by hand, or the crossing |R(hλ)| = 1 (or spectral
// radius = 1 of the scheme's own step) checked on either side of theory.
struct Expected {
  const char* scheme;
  double limit;  // the independent value; NaN: check theory by the crossing instead
};

struct SpringCaseRow {
  const char* name;
  double ks, mass, kd;
  std::vector<Expected> expected;
};

// ω0 = 100 1/s for ks 1e4, mass 1.
const std::vector<SpringCaseRow> kCases = {
    // Undamped: RK4's imaginary-axis interval 2√2 (2.828), symplectic Euler
    // and Verlet h < 2/ω0 (trace 2 - h²ω0², determinant 1).
    {"undamped",
     1e4,
     1.0,
     0.0,
     {{"rk4", 2.0 * std::sqrt(2.0) / 100.0},
      {"symplectic-euler", 2.0 / 100.0},
      {"verlet", 2.0 / 100.0}}},
    // Damped: Euler 2a/(a²+ω²) = kd/ks; symplectic Euler's eigenvalue -1 at
    // h²k + 2hc - 4 = 0 (trace 2 - hc - h²k, determinant 1 - hc).
    {"damped",
     1e4,
     1.0,
     1.0,
     {{"euler", 1.0 / 1e4},
      {"midpoint", NAN},
      {"rk4", NAN},
      {"symplectic-euler", (-1.0 + std::sqrt(1.0 + 4e4)) / 1e4},
      {"verlet", NAN}}},
    // Over-damped (no oscillation): the fast real eigenvalue
    // λ = -500 - sqrt(500² - 1e4) bounds Euler at 2/|λ| and RK4 at its
    // real-axis interval 2.785293563.
    {"over-damped",
     1e4,
     1.0,
     1000.0,
     {{"euler", 2.0 / (500.0 + std::sqrt(500.0 * 500.0 - 1e4))},
      {"midpoint", 2.0 / (500.0 + std::sqrt(500.0 * 500.0 - 1e4))},
      {"rk4", 2.785293563405282 / (500.0 + std::sqrt(500.0 * 500.0 - 1e4))},
      {"symplectic-euler", NAN},
      {"verlet", NAN}}},
};

class StabilityLimits : public testing::TestWithParam<SpringCaseRow> {};

TEST_P(StabilityLimits, MeasuredAgreesWithTheoryWithinOnePercent) {
  const SpringCaseRow& p = GetParam();
  const SpringCase c = springOf(p.ks, p.mass, p.kd);
  ASSERT_FALSE(stabilityProblem(c));
  const StabilityStudy study = studyStability(c, stabilitySchemes());
  const SpringModes& m = study.modes;
  for (const Expected& e : p.expected) {
    SCOPED_TRACE(e.scheme);
    const StabilityRow& r = rowOf(study, e.scheme);
    ASSERT_GT(r.theory, 0.0);
    ASSERT_GT(r.measured, 0.0);
    EXPECT_LT(std::fabs(r.measured - r.theory) / r.theory, 0.01);
    EXPECT_LT(std::fabs(r.relativeDifference()), 0.01);
    EXPECT_GT(r.unstable, r.measured);  // the bracket
    if (!std::isnan(e.limit)) {
      EXPECT_NEAR(r.theory, e.limit, 1e-6 * e.limit);
      EXPECT_LT(std::fabs(r.measured - e.limit) / e.limit, 0.01);
      continue;
    }
    // theory sits where |R(hλ)| (or the spectral radius of the scheme's own
    // step) passes 1, for every eigenvalue.
    const SchemeInfo& s = *schemeNamed(e.scheme);
    auto growth = [&](double h) {
      if (s.scheme == SymplecticEuler || s.scheme == Verlet)
        return radiusOf(stepOfScheme(s, kOf(c), cOf(c), h));
      const std::vector<double>& poly = s.scheme == Euler      ? kEulerR
                                        : s.scheme == Midpoint ? kMidpointR
                                                               : kRk4R;
      return std::max(modulus(poly, h * m.lambda[0]), modulus(poly, h * m.lambda[1]));
    };
    EXPECT_LE(growth(r.theory * (1 - 1e-6)), 1.0 + 1e-9);
    EXPECT_GT(growth(r.theory * (1 + 1e-4)), 1.0);
  }
}

INSTANTIATE_TEST_SUITE_P(Springs, StabilityLimits, testing::ValuesIn(kCases), [](const auto& info) {
  std::string n = info.param.name;
  for (char& ch : n)
    if (ch == '-') ch = '_';
  return n;
});

// On an undamped spring Euler's and the midpoint rule's |R(iωh)| exceed 1
// at every h: no stable step in theory, and measured only the floor where
// the growth over the span falls below what a trial resolves.
TEST(Stability, UndampedEulerAndMidpointHaveNoStableStep) {
  const SpringCase c = springOf(1e4, 1.0, 0.0);
  const SchemeInfo* schemes[] = {schemeNamed("euler"), schemeNamed("midpoint")};
  const StabilityStudy study = studyStability(c, {schemes[0], schemes[1]});
  for (const StabilityRow& r : study.rows) {
    SCOPED_TRACE(r.scheme);
    EXPECT_EQ(r.theory, 0.0);
    EXPECT_TRUE(std::isnan(r.relativeDifference()));
    EXPECT_LT(r.measured, 0.01 * 2.0 / 100.0);
    EXPECT_GT(modulus(r.scheme == "euler" ? kEulerR : kMidpointR, {0.0, 1e-3}), 1.0);
  }
  bool noted = false;
  for (const std::string& n : stabilityNotes(study))
    noted = noted || n.find("unstable at every dt in theory") != std::string::npos;
  EXPECT_TRUE(noted);
}

// The step matrices theory uses are the schemes' own steps on a linear system.
TEST(Stability, StepMatricesAreTheSchemesOwnSteps) {
  for (const SchemeInfo& s : kSchemes) {
    if (s.kind != SchemeKind::Explicit) continue;
    for (const double c : {0.0, 1.0, 300.0})
      for (const double h : {1e-3, 0.0199, 0.05}) {
        SCOPED_TRACE(std::string(s.name) + " c " + std::to_string(c) + " h " + std::to_string(h));
        const StepMatrix want = stepOfScheme(s, 1e4, c, h), got = stepMatrix(s, 1e4, c, h);
        for (int i = 0; i < 2; ++i)
          for (int j = 0; j < 2; ++j)
            EXPECT_NEAR(got[i][j], want[i][j], 1e-12 * (1 + std::fabs(want[i][j])));
        EXPECT_NEAR(spectralRadius(got), radiusOf(want), 1e-9);
      }
  }
}

// Implicit schemes stay bounded far above every explicit limit; adaptive
// ones are not applicable.
TEST(Stability, ImplicitSchemesAreBoundedAtAnyStep) {
  for (const double kd : {0.0, 1.0}) {
    const SpringCase c = springOf(1e4, 1.0, kd);
    const StabilityStudy study = studyStability(c, stabilitySchemes());
    double explicitLimit = 0.0;
    for (const StabilityRow& r : study.rows)
      if (r.info->kind == SchemeKind::Explicit) explicitLimit = std::fmax(explicitLimit, r.theory);
    for (const char* name : {"backward-euler", "implicit-midpoint"}) {
      SCOPED_TRACE(std::string(name) + " kd " + std::to_string(kd));
      const StabilityRow& r = rowOf(study, name);
      EXPECT_TRUE(std::isnan(r.theory));
      EXPECT_EQ(r.bound, "none (A-stable)");
      EXPECT_TRUE(std::isnan(r.measured));
      EXPECT_GT(r.searchedTo, 1e6 * explicitLimit);
      for (const double factor : {10.0, 1e3, 1e5}) {
        const StabilityTrial t = stabilityTrial(c, *schemeNamed(name), factor * explicitLimit);
        EXPECT_TRUE(t.stable) << factor;
        EXPECT_LE(t.growth, 1.0 + 1e-9);
      }
      // The explicit schemes are not, at the smallest of those steps.
      for (const char* other : {"euler", "midpoint", "rk4", "symplectic-euler", "verlet"})
        EXPECT_FALSE(stabilityTrial(c, *schemeNamed(other), 10.0 * explicitLimit).stable) << other;
    }
  }
  const StabilityStudy adaptive = studyStability(springOf(1e4, 1.0, 1.0), {schemeNamed("dopri5")});
  EXPECT_NE(adaptive.rows.at(0).bound.find("not applicable"), std::string::npos);
  EXPECT_TRUE(std::isnan(adaptive.rows.at(0).measured));
  EXPECT_THROW(stabilityTrial(springOf(1e4, 1.0, 1.0), *schemeNamed("dopri5"), 1e-3),
               std::invalid_argument);
}

// The bisection ends even when asked for a bracket narrower than rounding.
TEST(Stability, BisectionIsBounded) {
  StabilitySettings settings;
  settings.resolution = 0.0;
  const StabilityStudy study =
      studyStability(springOf(1e4, 1.0, 1.0), {schemeNamed("rk4")}, settings);
  const StabilityRow& r = study.rows.at(0);
  EXPECT_GT(r.unstable, r.measured);
  EXPECT_LT(r.unstable / r.measured - 1.0, 1e-13);
}

TEST(Stability, RefusalsSayWhy) {
  struct Bad {
    double ks, kd, gravity, rest;
    const char* parameter;
    const char* words;
  };
  for (const Bad& b : {Bad{0.0, 1.0, -9.8, 1.0, "ks", "greater than 0"},
                       Bad{-5.0, 1.0, -9.8, 1.0, "ks", "greater than 0"},
                       Bad{15.0, -1.0, -9.8, 1.0, "kd", "0 or more"},
                       Bad{15.0, 1.0, 0.0, 1.0, "gravity", "must not be 0"},
                       Bad{15.0, 1.0, 30.0, 1.0, "", "above the anchor"}}) {
    SpringPanelValues v;
    v.ks = b.ks;
    v.kd = b.kd;
    v.gravity = b.gravity;
    v.rest = b.rest;
    const SpringCase c(springParamsFromPanel(v));
    const std::optional<Problem> p = stabilityProblem(c);
    ASSERT_TRUE(p) << b.ks << " " << b.kd << " " << b.gravity;
    EXPECT_EQ(p->parameter, b.parameter);
    EXPECT_NE(p->message.find(b.words), std::string::npos) << p->message;
    EXPECT_THROW(studyStability(c, stabilitySchemes()), std::invalid_argument);
  }
  RunScheme tableau;
  tableau.tableau =
      std::make_shared<ButcherTableau>(ButcherTableau{"heun", {{}, {1.0}}, {0.5, 0.5}, {0.0, 1.0}});
  EXPECT_THROW(studyStability(springOf(15, 5, 1), {tableau}), std::invalid_argument);
}

// The CSV holds one row per scheme in the fields' order.
TEST(Stability, CsvFollowsTheFields) {
  const StabilityStudy study =
      studyStability(springOf(1e4, 1.0, 1.0), {schemeNamed("rk4"), schemeNamed("backward-euler")});
  std::ostringstream out;
  writeCsv(out, study);
  std::istringstream in(out.str());
  std::string header, rk4, backward, extra;
  std::getline(in, header);
  std::getline(in, rk4);
  std::getline(in, backward);
  EXPECT_FALSE(std::getline(in, extra));
  std::string names;
  for (const Field<StabilityRow>& f : kStabilityFields)
    names += (names.empty() ? "" : ",") + std::string(f.name);
  EXPECT_EQ(header, names);
  EXPECT_EQ(rk4.rfind("rk4,explicit,", 0), 0u) << rk4;
  EXPECT_EQ(backward.rfind("backward-euler,implicit,,,,none (A-stable),", 0), 0u) << backward;
}

}  // namespace
