// The engine's tables, each checked by what a wrong row would break: a
// scheme row whose steps are not the same method in every precision, a
// parameter whose rule, unit or place in the panel values is wrong, a column
// that does not hold what its name says.

#include "tables.h"

#include <algorithm>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <sstream>
#include <stdexcept>

#include "columns.h"
#include "parameters.h"
#include "schemes.h"
#include "validation.h"

namespace {

// A nonlinear, velocity-dependent force, so that no two schemes of the table
// agree after one step (on the linear models every two-stage scheme of order
// 2 gives the same step): a = -x·|x| - 0.3·v·|v| per component.
template <class T>
T force(T x, T v) {
  return -x * std::fabs(x) - T(0.3) * v * std::fabs(v);
}

class NonlinearEvaluator final : public DerivativeEvaluator {
 public:
  void evaluate(const StateList& in, StateList& out, float, float) override {
    const auto a = [](float x, float v) {
      return static_cast<float>(force<double>(static_cast<double>(x), static_cast<double>(v)));
    };
    out[0] = in[1];
    out[1] = Vector3f(a(in[0].x, in[1].x), a(in[0].y, in[1].y), a(in[0].z, in[1].z));
  }
};

template <class T>
struct NonlinearSystem {
  void operator()(const std::array<T, 6>& x, std::array<T, 6>& d, T) const {
    for (int i = 0; i < 3; ++i) {
      d[i] = x[3 + i];
      d[3 + i] = force<T>(x[i], x[3 + i]);
    }
  }
};

constexpr float kH = 0.1f;
const Vector3f kX0(0.7f, -1.2f, 0.4f), kV0(-0.5f, 0.9f, 1.6f);

std::array<double, 6> singleStep(const SchemeInfo& s) {
  StateList state{kX0, kV0};
  NonlinearEvaluator e;
  float t = 0.0f;
  stepWithAnyScheme(s.scheme, state, e, kH, t);
  return {state[0].x, state[0].y, state[0].z, state[1].x, state[1].y, state[1].z};
}

template <class T>
std::array<T, 6> wideStep(int scheme) {
  std::array<T, 6> x{kX0.x, kX0.y, kX0.z, kV0.x, kV0.y, kV0.z};
  stepWide(scheme, nullptr, NonlinearSystem<T>(), x, T(0), static_cast<T>(kH));
  return x;
}

template <class A, class B>
double distance(const A& a, const B& b) {
  double d = 0.0;
  for (std::size_t i = 0; i < 6; ++i)
    d = std::fmax(d, std::fabs(static_cast<double>(a[i]) - static_cast<double>(b[i])));
  return d;
}

// Each row's single-precision step, double step and long double step are one
// method: they agree to their precisions, while any two rows differ by far
// more, so a row stepping with another row's method in one precision fails.
// (Two rows of order 4 and more agree to within their truncation errors on
// one step; only rows without single-precision arithmetic lack that step.)
TEST(SchemeTable, EveryRowStepsWithItsOwnMethodInEveryPrecision) {
  double closest = INFINITY;
  for (const SchemeInfo& a : kSchemes)
    for (const SchemeInfo& b : kSchemes)
      if (a.scheme < b.scheme && std::min(a.order, b.order) < 4)
        closest =
            std::fmin(closest, distance(wideStep<double>(a.scheme), wideStep<double>(b.scheme)));
  ASSERT_GT(closest, 1e-5) << "two schemes agree on the test system: it cannot tell them apart";
  for (const SchemeInfo& s : kSchemes) {
    SCOPED_TRACE(std::string(s.name));
    const auto d = wideStep<double>(s.scheme);
    if (hasSingleStep(s))
      EXPECT_LT(distance(singleStep(s), d), 1e-6);
    else
      EXPECT_THROW(singleStep(s), std::invalid_argument);
    EXPECT_LT(distance(wideStep<long double>(s.scheme), d), 1e-14);
  }
}

// A value that names no row is refused in every precision and front end's
// way in: pbsim's own message in single precision, an error in double.
TEST(SchemeTable, AValueOfNoRowIsAnErrorInDoublePrecision) {
  const int none = static_cast<int>(std::size(kSchemes));
  EXPECT_EQ(schemeInfo(none), nullptr);
  EXPECT_THROW(wideStep<double>(none), std::invalid_argument);
  EXPECT_THROW(wideStep<long double>(-1), std::invalid_argument);
  const SchemeInfo bogus{none, "bogus", "Bogus", 1, 1, {0, 0, 0}, "circle"};
  const FlightCase flight(startUpBallisticsParams());
  EXPECT_THROW(runFlight(flight, RunScheme(&bogus), Precision::Double), std::invalid_argument);
  const SpringCase spring(startUpSpringParams());
  EXPECT_THROW(runSpring(spring, RunScheme(&bogus), Precision::Double), std::invalid_argument);
  std::optional<Problem> problem;
  EXPECT_EQ(schemeArgument("bogus", problem), nullptr);
  ASSERT_TRUE(problem);
  EXPECT_EQ(problem->text(), "scheme must be one of " + schemeNames() + ", not 'bogus'");
}

// Every parameter: its rule is the one validation applies, it has a label,
// a unit and help, its start-up value passes its rule, and the place it names
// in the panel values reaches the model (a row pointing at another member,
// or a conversion that leaves the value out, changes nothing and fails).
template <class Values, class Params, class Convert, class Check>
void checkParameters(Convert convert, Check check, const char* model) {
  for (const Parameter<Values>& p : parametersOf<Values>()) {
    SCOPED_TRACE(std::string(model) + " " + std::string(p.name));
    EXPECT_FALSE(p.label.empty());
    EXPECT_FALSE(p.unit.empty());
    EXPECT_FALSE(p.help.empty());
    EXPECT_EQ(findParameter<Values>(p.name), &p);
    Values v;
    EXPECT_FALSE(check(v)) << "the start-up values break the rule";
    v.*(p.member) = NAN;
    auto problem = check(v);
    ASSERT_TRUE(problem) << "NaN accepted";
    EXPECT_EQ(problem->parameter, p.name);
    v = Values();
    v.*(p.member) = 0.0;
    EXPECT_EQ(static_cast<bool>(check(v)), p.rule == Rule::Positive)
        << "0 under " << ruleText(p.rule);
    if (p.rule == Rule::Positive) {
      EXPECT_EQ(check(v)->parameter, p.name);
    }
    // The value reaches the model.
    v = Values();
    v.*(p.member) = p.startUp() * 1.5 + 0.25;
    const Params changed = convert(v), start = convert(Values());
    EXPECT_NE(std::memcmp(&changed, &start, sizeof(Params)), 0) << "the model does not see it";
  }
}

// The model's flight parameters are floats only: compared as bytes, every
// field counts, including one added later.
BallisticsParams flightBits(const BallisticsPanelValues& v) {
  static_assert(sizeof(BallisticsParams) % sizeof(float) == 0);
  return ballisticsParamsFromPanel(v);
}
struct SpringBits {
  float mass, gravity, ks, kd, rest, dt;
};
SpringBits springBits(const SpringPanelValues& v) {
  const SpringMassParams p = springParamsFromPanel(v);
  const SpringParams& s = p.springs[0];
  return {p.mass, p.gravity, s.ks, s.kd, s.restLength, p.timeStep};
}

TEST(ParameterTable, EachRowsRuleUnitAndPlaceHold) {
  checkParameters<BallisticsPanelValues, BallisticsParams>(flightBits, flightProblem, "flight");
  checkParameters<SpringPanelValues, SpringBits>(
      springBits, [](const SpringPanelValues& v) { return springProblem(v); }, "spring");
  EXPECT_FALSE(describeParameters("orbit"));
  EXPECT_EQ(describeParameters("flight")->size(), kFlightParameters.size());
}

// The columns hold what their names say: the closed form at the column t,
// the distance between the state and it, the run's own stop and counts.
TEST(ColumnTable, ColumnsHoldWhatTheirNamesSay) {
  BallisticsPanelValues v;
  v.timeStep = 0.05;
  const FlightStudy study =
      runStudy(FlightCase(ballisticsParamsFromPanel(v)), {RunScheme(&kSchemes[1])});
  std::ostringstream csv;
  writeCsv(csv, study);
  std::istringstream lines(csv.str());
  std::string line;
  std::getline(lines, line);
  std::vector<std::string> names;
  {
    std::istringstream cells(line);
    for (std::string c; std::getline(cells, c, ',');) names.push_back(c);
  }
  ASSERT_EQ(names.size(), kFlightColumns.size() + 1);
  const ExactFlight& exact = study.flight.exact;
  std::size_t rows = 0;
  for (; std::getline(lines, line); ++rows) {
    std::map<std::string, double> c;
    for (const std::string& n : names) c[n] = NAN;  // a trailing empty cell has no token
    std::istringstream cells(line);
    std::string cell;
    for (std::size_t i = 0; std::getline(cells, cell, ','); ++i)
      if (i > 0) c[names[i]] = cell.empty() ? NAN : std::stod(cell);
    SCOPED_TRACE(line);
    EXPECT_EQ(c["step"], static_cast<double>(rows));
    const Vec3d e = exact.position(c["t"]);
    // t is written as float32: the closed form at that time is within its rounding.
    EXPECT_NEAR(c["exact_x"], e.x, 1e-5);
    EXPECT_NEAR(c["exact_y"], e.y, 1e-5);
    EXPECT_NEAR(c["exact_z"], e.z, 1e-5);
    if (!std::isnan(c["path_error"])) {
      EXPECT_NEAR(c["path_error"],
                  std::hypot(c["x"] - c["exact_x"], c["y"] - c["exact_y"], c["z"] - c["exact_z"]),
                  1e-5);
    }
    if (std::isnan(c["path_error"])) continue;  // the ground point keeps the last step's velocity
    const Vec3d u = exact.velocity(c["t"]);
    EXPECT_NEAR(c["vx"], u.x, 0.05);
    EXPECT_NEAR(c["vy"], u.y, 0.05);
    EXPECT_NEAR(c["vz"], u.z, 0.05);
  }
  const FlightRun& r = study.runs[0];
  EXPECT_EQ(rows, r.size());
  std::ostringstream summary;
  writeSummary(summary, study);
  std::istringstream s(summary.str());
  std::getline(s, line);
  std::getline(s, line);
  EXPECT_EQ(line.rfind("midpoint," + std::to_string(r.steps) + "," + std::to_string(2 * r.steps) +
                           ",landed,0,",
                       0),
            0u)
      << line;
}

// A run whose state overflows measures nothing from there on: its summary
// reports no errors (NaN in every front end) and a note says why, at the
// first point that is not a finite number. Negative damping drives the
// spring, negative linear friction the flight, beyond float's range.
TEST(DivergedRuns, ReportNoErrorsAndANoteWhereTheyDiverged) {
  SpringPanelValues sv;
  sv.kd = -1;
  SpringStudy spring = runStudy(SpringCase(springParamsFromPanel(sv)), {RunScheme(&kSchemes[2])});
  BallisticsPanelValues fv;
  fv.airFriction = -20000;
  FlightStudy flight =
      runStudy(FlightCase(ballisticsParamsFromPanel(fv)), {RunScheme(&kSchemes[0])});
  const SpringRun& s = spring.runs[0];
  const FlightRun& f = flight.runs[0];
  auto firstNonFinite = [](std::size_t n, auto finiteAt) {
    for (std::size_t k = 0; k < n; ++k)
      if (!finiteAt(k)) return static_cast<long long>(k);
    return -1LL;
  };
  const long long springAt = firstNonFinite(
      s.size(), [&](std::size_t k) { return std::isfinite(s.y[k]) && std::isfinite(s.v[k]); });
  const long long flightAt = firstNonFinite(f.size(), [&](std::size_t k) {
    return std::isfinite(f.single.x[k]) && std::isfinite(f.single.y[k]) &&
           std::isfinite(f.single.z[k]) && std::isfinite(f.single.vx[k]) &&
           std::isfinite(f.single.vy[k]) && std::isfinite(f.single.vz[k]);
  });
  ASSERT_GT(springAt, 0);
  ASSERT_GT(flightAt, 0);
  EXPECT_EQ(s.divergedAt, springAt);
  EXPECT_EQ(f.divergedAt, flightAt);
  auto field = [](const auto& table, std::string_view name) {
    for (const auto& row : table)
      if (row.name == name) return row.number;
    throw std::logic_error("no field " + std::string(name));
  };
  EXPECT_TRUE(std::isnan(field(kSpringSummary, "max_height_error")(s)));
  EXPECT_TRUE(std::isnan(field(kSpringSummary, "energy_drift")(s)));
  EXPECT_TRUE(std::isnan(field(kFlightSummary, "max_path_error")(f)));
  auto diverged = [](const std::vector<Note>& notes) {
    std::vector<Note> out;
    for (const Note& n : notes)
      if (n.kind == Note::Kind::Diverged) out.push_back(n);
    return out;
  };
  const auto springNotes = diverged(notes(spring, "dt"));
  ASSERT_EQ(springNotes.size(), 1u);
  EXPECT_EQ(springNotes[0].warning,
            "rk4 diverged at step " + std::to_string(springAt) +
                " (t = " + readableNumber(springAt * 0.1, "%.6g") +
                " s): its state overflowed, and its summary reports no errors");
  EXPECT_EQ(diverged(notes(flight, "dt")).size(), 1u);
  // A run that stays finite has its numbers and no such note.
  SpringStudy calm =
      runStudy(SpringCase(springParamsFromPanel(SpringPanelValues{})), {RunScheme(&kSchemes[2])});
  EXPECT_FALSE(calm.runs[0].diverged());
  EXPECT_TRUE(std::isfinite(field(kSpringSummary, "max_height_error")(calm.runs[0])));
  EXPECT_TRUE(diverged(notes(calm, "dt")).empty());
}

// Each convergence row carries the wall time of its own run.
TEST(ConvergenceTimes, EachRowHasItsOwnWallTime) {
  ConvergenceSettings settings;
  settings.levels = 3;
  settings.withDouble = true;
  const FlightCase c(ballisticsParamsFromPanel(BallisticsPanelValues{}));
  ASSERT_FALSE(prepareConvergence(c, settings));
  const ConvergenceStudy study = studyConvergence(c, {RunScheme(&kSchemes[2])}, settings);
  ASSERT_EQ(study.rows.size(), 6u);
  double single = 0.0, wide = 0.0;  // the steady clock ticks in nanoseconds
  for (const ConvergenceRow& r : study.rows) {
    EXPECT_TRUE(std::isfinite(r.wallMs) && r.wallMs >= 0.0) << r.scheme;
    EXPECT_EQ(kConvergenceTimes[0].number(r), r.wallMs);
    (r.precision == Precision::Single ? single : wide) += r.wallMs;
  }
  EXPECT_GT(single, 0.0);
  EXPECT_GT(wide, 0.0);
}

}  // namespace
