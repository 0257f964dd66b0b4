// The studies against the model as pbsim runs it and against numbers from
// elsewhere: the model's own console count, Boost.Odeint, the closed forms.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <boost/numeric/odeint.hpp>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>

#include "ballisticssetup.h"
#include "ballisticssim.h"
#include "convergencestudy.h"
#include "figures.h"
#include "report.h"
#include "springmasssim.h"
#include "studies.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

std::vector<RunScheme> allSchemes() { return {&kSchemes[0], &kSchemes[1], &kSchemes[2]}; }

// The step count the model prints when pbsim runs it.
template <class Sim>
int printedSteps(Sim& sim) {
  CaptureStdout();
  sim.simulate();
  const std::string line = GetCapturedStdout();
  for (const char* before : {"done, in ", "stopped after "}) {
    const std::size_t at = line.find(before);
    if (at != std::string::npos) return std::stoi(line.substr(at + std::strlen(before)));
  }
  ADD_FAILURE() << line;
  return -1;
}

TEST(Study, FlightStepsAreThoseThatPbsimPrints) {
  for (double elevation : {45.0, 0.0, 80.0}) {
    for (double dt : {0.1, 0.013}) {
      BallisticsPanelValues v;
      v.elevation = elevation;
      v.timeStep = dt;
      const BallisticsParams params = ballisticsParamsFromPanel(v);
      const FlightStudy study = runStudy(FlightCase(params), allSchemes());
      ASSERT_EQ(study.runs.size(), 3u);
      for (const FlightRun& run : study.runs) {
        BallisticsSim sim;
        sim.params = params;
        sim.setScheme(run.info->scheme);
        EXPECT_EQ(run.steps, printedSteps(sim)) << elevation << " " << dt;
        EXPECT_EQ(run.evaluations, run.steps * run.info->evaluations);
        ASSERT_EQ(run.size(), sim.trajectory.size());
        for (std::size_t k = 0; k < run.size(); ++k) {
          const Vector3f p(run.single.x[k], run.single.y[k], run.single.z[k]);
          ASSERT_EQ(std::memcmp(&p, &sim.trajectory[k], sizeof p), 0) << k;
        }
      }
    }
  }
}

TEST(Study, FlightLandingAgainstOdeint) {
  const BallisticsParams params = startUpBallisticsParams();
  const FlightStudy study = runStudy(FlightCase(params), allSchemes());
  // The landing of the same equations by Boost.Odeint, in double, step 1e-5.
  using State = std::array<double, 6>;
  const Vector3f v0 = muzzleVelocity(params);
  State x{0, 0.0001, 0, v0.x, v0.y, v0.z}, before{};
  auto system = [](const State& s, State& d, double) {
    for (int i = 0; i < 3; ++i) d[i] = s[3 + i], d[3 + i] = -0.05 * s[3 + i];
    d[4] += -9.8f;
  };
  boost::numeric::odeint::runge_kutta4<State> rk4;
  double t = 0;
  while (x[1] > 0) {
    before = x;
    rk4.do_step(system, x, t, 1e-5);
    t += 1e-5;
  }
  const double r = before[1] / (before[1] - x[1]);
  const double landX = before[0] + r * (x[0] - before[0]),
               landZ = before[2] + r * (x[2] - before[2]);
  for (const FlightRun& run : study.runs) {
    EXPECT_NEAR(run.landingMiss, std::hypot(run.landingX - landX, run.landingZ - landZ), 1e-6);
    EXPECT_NEAR(run.flightTime, 1.42, run.info->scheme == Euler ? 0.11 : 0.01);
  }
  // RK4 at pbsim's step follows the exact flight to single precision.
  EXPECT_LT(study.runs[2].maxPathError, 1e-5);
  EXPECT_GT(study.runs[0].maxPathError, 0.1);
}

TEST(Study, SpringStepsEnergyAndErrors) {
  for (double kd : {1.0, 0.0, 20.0}) {
    SpringMassParams params;
    params.springs[0].kd = static_cast<float>(kd);
    const SpringStudy study = runStudy(SpringCase(params), allSchemes());
    for (const SpringRun& run : study.runs) {
      SpringMassSim sim;
      sim.params = params;
      sim.setScheme(run.info->scheme);
      EXPECT_EQ(run.steps, printedSteps(sim));
      ASSERT_EQ(run.y.size(), sim.trajectory.size());
      EXPECT_EQ(
          std::memcmp(run.y.data(), sim.trajectory.data(), sim.trajectory.size() * sizeof(float)),
          0);
      ASSERT_EQ(run.v.size(), run.y.size());
    }
    const SpringRun& rk4 = study.runs[2];
    // Undamped, RK4's phase error grows over the 1500 s to the sample limit.
    EXPECT_LT(rk4.maxHeightError, kd == 0.0 ? 0.02 : 1e-3) << kd;
    // Undamped, the exact energy stays 1/2·ks·(g/ks)²; RK4 keeps it within a few percent.
    if (kd == 0.0) {
      EXPECT_LT(rk4.energyDrift, 0.05);
    }
  }
  // Where the body reaches the anchor the closed form stops and so do the errors.
  SpringMassParams up;
  up.gravity = 40.0f;
  const SpringStudy crossing = runStudy(SpringCase(up), allSchemes());
  EXPECT_TRUE(std::isfinite(crossing.spring.exact.validUntil()));
  std::ostringstream csv;
  writeCsv(csv, crossing);
  EXPECT_NE(csv.str().find(",,,"), std::string::npos);  // empty exact_y and error columns
}

// Five levels from the case's time step to `at` (0: the default), with the
// double rows: each scheme shows its order on at least one pair of levels in
// single precision, and on all four in double.
template <class Case>
void expectOrders(const Case& c, double at, const std::vector<const SchemeInfo*>& schemes) {
  ConvergenceSettings settings;
  settings.levels = 5;
  settings.at = at;
  settings.withDouble = true;
  ASSERT_FALSE(prepareConvergence(c, settings));
  const ConvergenceStudy study =
      runConvergence(c, std::vector<RunScheme>(schemes.begin(), schemes.end()), settings);
  ASSERT_EQ(study.rows.size(), 10 * schemes.size());
  for (const SchemeInfo* s : schemes) {
    int measured[2] = {};
    for (const ConvergenceRow& r : study.rows) {
      if (r.info != s) continue;
      const bool wide = r.precision == Precision::Double;
      EXPECT_EQ(r.steps, std::llround(settings.at / r.h));
      EXPECT_EQ(r.evaluations, r.steps * s->evaluations);
      if (std::isnan(r.order) || r.atFloor) continue;
      EXPECT_NEAR(r.order, s->order, 0.15) << s->name << " h " << r.h << " " << wide;
      ++measured[wide];
    }
    EXPECT_GE(measured[0], 1) << s->name;
    EXPECT_EQ(measured[1], 4) << s->name;
  }
}

TEST(Study, ConvergenceOrdersAboveTheFloor) {
  // Each case keeps its schemes' errors well above single-precision rounding
  // over a few levels: a strong drag for the flight (k = 1), and for RK4 on
  // the spring a stiffer spring with a larger swing.
  BallisticsPanelValues v;
  v.airFriction = 1000;
  BallisticsParams flight = ballisticsParamsFromPanel(v);
  flight.timeStep = 0.2f;
  expectOrders(FlightCase(flight), 0.0, {&kSchemes[0], &kSchemes[1], &kSchemes[2]});
  struct SpringCaseValues {
    float ks, gravity, dt;
    double at;
    std::vector<const SchemeInfo*> schemes;
  };
  // Symplectic Euler and velocity Verlet: orders 1 and 2 on the spring, in both precisions.
  for (const SpringCaseValues& c :
       {SpringCaseValues{15, -9.8f, 0.025f, 0.0, {&kSchemes[0], &kSchemes[1]}},
        SpringCaseValues{15, -9.8f, 0.025f, 0.0, {&kSchemes[3], &kSchemes[4]}},
        SpringCaseValues{150, -150, 0.05f, 2.0, {&kSchemes[2]}}}) {
    SpringMassParams spring;
    spring.springs[0].ks = c.ks;
    spring.gravity = c.gravity;
    spring.timeStep = c.dt;
    expectOrders(SpringCase(spring), c.at, c.schemes);
  }
}

// The refusals themselves run through the program in cli_test.cpp.
TEST(Study, ConvergenceDefaultTimeIsBeforeTheLanding) {
  ConvergenceSettings settings;
  ASSERT_FALSE(prepareConvergence(FlightCase(startUpBallisticsParams()), settings));
  EXPECT_NEAR(settings.at, 1.0, 1e-6);  // 3/4 of the 1.43 s flight, on a whole step
}

// A four-million-step flight would write every point into the figure; it is
// thinned, and the curve keeps its last point.
TEST(Study, FiguresThinLongCurves) {
  Chart chart;
  Curve line;
  for (int i = 0; i <= 1000000; ++i) {
    line.x.push_back(i);
    line.y.push_back(i % 2);
  }
  chart.curves.push_back(line);
  char dir[] = "/tmp/pbsim-study-figure-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string path = std::string(dir) + "/long.svg";
  EXPECT_EQ(renderCharts(path, plotDevice(path), {chart}), "");
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_GT(st.st_size, 10000);
  EXPECT_LT(st.st_size, 3000000);  // every point would take some 15 MB
  unlink(path.c_str());
  rmdir(dir);
}

}  // namespace
