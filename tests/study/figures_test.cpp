// Each figure kind checked on its data: the curves are the runs' own
// columns, in the engine's colour and marker, long curves keep their last
// point, reference slopes have the slope they are labelled with and stay in
// the data's range, and the subtitle carries the values the figure was made
// with. Also the convergence level limit and the command line's suggestions.

#include "figures.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <sstream>
#include <string>

#include "ballisticssetup.h"
#include "convergencestudy.h"
#include "parameters.h"
#include "report.h"
#include "springmasssetup.h"
#include "studies.h"
#include "suggest.h"

namespace {

std::vector<RunScheme> everyScheme() {
  std::vector<RunScheme> all;
  for (const SchemeInfo& s : kSchemes) all.emplace_back(&s);
  return all;
}

const Curve* curveLabelled(const Chart& c, const std::string& label) {
  for (const Curve& k : c.curves)
    if (k.label == label) return &k;
  return nullptr;
}

// The number after `key` in a subtitle ("dt 0.05 s" -> 0.05).
double valueAfter(const std::string& text, const std::string& key) {
  const std::size_t at = text.find(key);
  EXPECT_NE(at, std::string::npos) << key << " in " << text;
  return at == std::string::npos ? NAN : std::stod(text.substr(at + key.size()));
}

TEST(Figures, ThinningKeepsEachCurvesLastPoint) {
  for (std::size_t n : {1u, 2u, 19999u, 20000u, 20001u, 40001u, 1000001u}) {
    const std::vector<std::size_t> shown = shownPoints(n, 20000);
    ASSERT_FALSE(shown.empty()) << n;
    EXPECT_EQ(shown.front(), 0u) << n;
    EXPECT_EQ(shown.back(), n - 1) << n;
    EXPECT_LE(shown.size(), 20002u) << n;
    for (std::size_t i = 1; i < shown.size(); ++i) ASSERT_LT(shown[i - 1], shown[i]) << n;
  }
}

TEST(Figures, FlightKindsShowTheRunsColumns) {
  BallisticsPanelValues v;
  v.timeStep = 0.05;
  const FlightStudy study = runStudy(FlightCase(ballisticsParamsFromPanel(v)), everyScheme());
  for (const std::string& kind : kFlightFigures) {
    const std::vector<Chart> cs = charts(study, kind);
    ASSERT_EQ(cs.size(), 1u) << kind;
    const Chart& c = cs[0];
    EXPECT_EQ(static_cast<float>(valueAfter(c.subtitle, "dt ")), 0.05f) << kind;
    const double T = study.exactLanding->time;
    EXPECT_NEAR(valueAfter(c.subtitle, "T "), T, 1e-5 * T) << kind;
    EXPECT_DOUBLE_EQ(valueAfter(c.subtitle, "elevation "), 45.0);
    for (const FlightRun& r : study.runs) {
      const Curve* k = curveLabelled(c, std::string(r.info->title));
      ASSERT_NE(k, nullptr) << kind << " " << r.scheme;
      EXPECT_EQ(k->marker, r.info->marker);
      EXPECT_EQ(k->colour.r, r.info->colour.r);
      EXPECT_EQ(k->colour.g, r.info->colour.g);
      EXPECT_EQ(k->colour.b, r.info->colour.b);
      ASSERT_EQ(k->x.size(), r.size());
      const std::size_t last = r.size() - 1;
      if (kind == "error") {
        EXPECT_EQ(k->x[last], r.t[last]);
        for (std::size_t i = 0; i < r.size(); ++i)
          ASSERT_TRUE(k->y[i] == r.pathError[i] ||
                      (std::isnan(k->y[i]) && std::isnan(r.pathError[i])));
      } else {
        EXPECT_EQ(k->y[last], r.y(last));
        EXPECT_EQ(k->x[last], r.precision == Precision::Single
                                  ? std::hypot(r.single.x[last], r.single.z[last])
                                  : std::hypot(r.wide.x[last], r.wide.z[last]));
      }
    }
  }
}

TEST(Figures, SpringKindsShowTheRunsColumns) {
  SpringPanelValues v;
  v.kd = 0.0;
  v.timeStep = 0.05;
  const SpringStudy study =
      runStudy(SpringCase(springParamsFromPanel(v)), everyScheme(), std::optional<double>(10.0));
  for (const std::string& kind : kSpringFigures) {
    const std::vector<Chart> cs = charts(study, kind);
    ASSERT_FALSE(cs.empty()) << kind;
    for (const Chart& c : cs) {
      EXPECT_EQ(static_cast<float>(valueAfter(c.subtitle, "dt ")), 0.05f) << kind;
      EXPECT_DOUBLE_EQ(valueAfter(c.subtitle, "T "), 10.0) << kind;
      EXPECT_DOUBLE_EQ(valueAfter(c.subtitle, "kd "), 0.0) << kind;
    }
    for (const SpringRun& r : study.runs) {
      const std::size_t last = r.size() - 1;
      const Chart& c = cs.back();
      const Curve* k = nullptr;
      for (const Curve& candidate : c.curves)
        if (candidate.label.rfind(std::string(r.info->title), 0) == 0 &&
            candidate.marker == r.info->marker)
          k = &candidate;
      ASSERT_NE(k, nullptr) << kind << " " << r.scheme;
      ASSERT_EQ(k->x.size(), r.size());
      if (kind == "phase") {
        EXPECT_EQ(k->x[last], r.height(last));
        EXPECT_EQ(k->y[last], r.speed(last));
      } else if (kind == "energy") {
        // The relative deviation, whose largest value is the run's energy_drift.
        double most = 0.0;
        for (double d : k->y) most = std::fmax(most, d);
        EXPECT_DOUBLE_EQ(most, r.energyDrift) << r.scheme;
        EXPECT_NE(k->label.find("drift"), std::string::npos);
        EXPECT_EQ(k->x[last], r.t[last]);
      } else {
        EXPECT_EQ(k->x[last], r.t[last]);
        EXPECT_EQ(k->y[last], kind == "error" ? r.heightError[last] : r.height(last));
      }
    }
  }
}

// Convergence of the default flight with the double rows: the curves are the
// rows, floor rows are marked, and each reference slope p falls p decades per
// decade of h, inside the data's range.
TEST(Figures, ConvergenceSlopesAndFloorMarks) {
  const FlightCase c(startUpBallisticsParams());
  ConvergenceSettings settings;
  settings.withDouble = true;
  ASSERT_FALSE(prepareConvergence(c, settings));
  const FlightConvergence study = runConvergence(c, everyScheme(), settings);
  double hMin = INFINITY, hMax = 0.0, eMin = INFINITY, eMax = 0.0;
  for (const ConvergenceRow& r : study.rows) {
    hMin = std::fmin(hMin, r.h);
    hMax = std::fmax(hMax, r.h);
    eMin = std::fmin(eMin, r.error);
    eMax = std::fmax(eMax, r.error);
  }
  const Chart step = charts(study, "step").at(0);
  EXPECT_NEAR(valueAfter(step.subtitle, "T "), study.at, 1e-5 * study.at);
  EXPECT_EQ(static_cast<float>(valueAfter(step.subtitle, "dt ")), 0.1f);
  std::vector<int> orders;
  for (const Curve& k : step.curves) {
    if (k.label.rfind("slope ", 0) != 0) continue;
    const int p = std::stoi(k.label.substr(6));
    orders.push_back(p);
    ASSERT_EQ(k.x.size(), 2u);
    EXPECT_NEAR(std::log(k.y[1] / k.y[0]) / std::log(k.x[1] / k.x[0]), p, 1e-9) << k.label;
    for (std::size_t i = 0; i < 2; ++i) {
      EXPECT_GE(k.x[i], hMin * (1 - 1e-12));
      EXPECT_LE(k.x[i], hMax * (1 + 1e-12));
      EXPECT_GE(k.y[i], eMin * (1 - 1e-12)) << k.label;
      EXPECT_LE(k.y[i], eMax);
    }
  }
  std::sort(orders.begin(), orders.end());
  // One line per order: symplectic Euler and Verlet share Euler's and midpoint's.
  EXPECT_EQ(orders, (std::vector<int>{1, 2, 4}));

  const Chart work = charts(study, "work").at(0);
  std::size_t row = 0, floors = 0;
  for (const Curve& k : work.curves) {
    ASSERT_EQ(k.floor.size(), k.x.size());
    for (std::size_t i = 0; i < k.x.size(); ++i, ++row) {
      ASSERT_LT(row, study.rows.size());
      EXPECT_EQ(k.x[i], static_cast<double>(study.rows[row].evaluations));
      EXPECT_EQ(k.y[i], study.rows[row].error);
      EXPECT_EQ(k.floor[i], study.rows[row].atFloor);
      floors += k.floor[i];
    }
  }
  EXPECT_EQ(row, study.rows.size());
  EXPECT_GT(floors, 0u);  // RK4 sits at the single-precision floor on this shot
}

// The largest number of levels: its finest level still counts its steps in
// an int and keeps a normal single-precision step; one more would not.
TEST(ConvergenceLevels, TheLimitIsTheLastLevelThatRuns) {
  struct Case {
    float dt;
    double at;
  };
  for (const Case& c : {Case{0.1f, 1.0}, Case{0.1f, 4.0}, Case{1e-37f, 1e-37}, Case{0.5f, 1000.0},
                        Case{1e-30f, 3e-30}}) {
    const int most = maxConvergenceLevels(c.dt, c.at);
    const double n0 = std::round(c.at / c.dt);
    auto runs = [&](int levels) {
      return n0 * std::ldexp(1.0, levels - 1) <= INT_MAX &&
             std::ldexp(static_cast<double>(c.dt), -(levels - 1)) >= FLT_MIN;
    };
    EXPECT_TRUE(runs(most)) << c.dt << " " << c.at << " " << most;
    EXPECT_FALSE(runs(most + 1)) << c.dt << " " << c.at << " " << most;
  }
}

TEST(Suggest, NearestNameOrNone) {
  const std::vector<std::string> commands{"flight", "spring", "convergence"};
  const std::vector<std::string> options{"--levels", "--at", "--double", "--dt", "--csv"};
  struct Case {
    const char* typed;
    const std::vector<std::string>* names;
    const char* expected;
  };
  for (const Case& c :
       {Case{"fligth", &commands, "flight"}, Case{"Sprng", &commands, "spring"},
        Case{"convergense", &commands, "convergence"}, Case{"conv", &commands, "convergence"},
        Case{"plot", &commands, ""}, Case{"--level", &options, "--levels"},
        Case{"--dobule", &options, "--double"}, Case{"--cvs", &options, "--csv"},
        Case{"--mass", &options, ""}})
    EXPECT_EQ(closest(c.typed, *c.names), c.expected) << c.typed;
  EXPECT_EQ(editDistance("fligth", "flight"), 1u);
  EXPECT_EQ(editDistance("", "abc"), 3u);
  EXPECT_EQ(editDistance("kitten", "sitting"), 3u);
}

}  // namespace

namespace {

// Every parameter the model flies is in what pbsim-study shows of a study:
// the table's head line and every figure's subtitle. Each parameter gets a
// value of its own, so a parameter left out (or shown in another's place)
// is missing from the text.
template <class Values, class Study, class Make>
void everyParameterShown(Make make) {
  for (const Parameter<Values>& p : parametersOf<Values>()) {
    if (!p.flown) continue;
    Values v;
    v.*(p.member) = p.name == "dt" ? 0.0375 : 3.625;
    const Study study = make(v);
    std::ostringstream table;
    printTable(table, study);
    const std::string head = table.str().substr(0, table.str().find('\n'));
    EXPECT_NE(head.find(p.name == "dt" ? "0.0375" : "3.625"), std::string::npos)
        << p.name << " in " << head;
    for (const Chart& c : charts(study))
      EXPECT_NE(c.subtitle.find(p.name == "dt" ? "0.0375" : "3.625"), std::string::npos)
          << p.name << " in " << c.subtitle;
  }
}

TEST(Figures, EveryParameterIsInTheHeadLineAndSubtitles) {
  everyParameterShown<BallisticsPanelValues, FlightStudy>([](const BallisticsPanelValues& v) {
    return runStudy(FlightCase(ballisticsParamsFromPanel(v)), {RunScheme(&kSchemes[0])});
  });
  everyParameterShown<SpringPanelValues, SpringStudy>([](const SpringPanelValues& v) {
    return runStudy(SpringCase(springParamsFromPanel(v)), {RunScheme(&kSchemes[0])});
  });
}

}  // namespace
