// The built-in pairs step with their coefficients as constants; the same
// pair handed over as a user's tables steps through the tables. Both must
// give the same runs, bit for bit, over tolerances, landings, drag laws and
// spring runs to the end or to a time.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "ballisticssetup.h"
#include "runs.h"
#include "springmasssetup.h"

namespace {

std::uint64_t bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

void expectSameBits(const std::vector<double>& mine, const std::vector<double>& theirs,
                    const std::string& what) {
  ASSERT_EQ(mine.size(), theirs.size()) << what;
  for (std::size_t k = 0; k < mine.size(); ++k)
    ASSERT_EQ(bits(mine[k]), bits(theirs[k]))
        << what << " at point " << k << ": " << mine[k] << " against " << theirs[k];
}

void expectSameBits(double mine, double theirs, const std::string& what) {
  EXPECT_EQ(bits(mine), bits(theirs)) << what << ": " << mine << " against " << theirs;
}

struct Case {
  const char* pair;
  double rtol;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.pair << " at rtol " << c.rtol; }

class BuiltinPairs : public ::testing::TestWithParam<Case> {
 protected:
  RunScheme builtin(Landing landing = Landing::Linear) const {
    RunScheme s(schemeNamed(GetParam().pair));
    s.tolerances = {GetParam().rtol, GetParam().rtol * 1e-3};
    s.landing = landing;
    return s;
  }
  // The same rows, as a user's pair: a copy, so the run reads its tables.
  RunScheme asTables(Landing landing = Landing::Linear) const {
    RunScheme s = builtin(landing);
    s.embedded = std::make_shared<EmbeddedPair>(*s.pair());
    s.builtin = nullptr;
    return s;
  }
};

TEST_P(BuiltinPairs, FlyAsTheirTablesDo) {
  for (const Landing landing : {Landing::Linear, Landing::Interpolated}) {
    for (const DragLaw drag : {DragLaw::Linear, DragLaw::Quadratic}) {
      for (const double elevation : {45.0, 85.0}) {
        BallisticsPanelValues v;
        v.elevation = elevation;
        v.drag = drag;
        if (drag == DragLaw::Quadratic) v.airFriction = 0.5;
        const FlightCase c(ballisticsParamsFromPanel(v));
        const FlightRun a = runFlight(c, builtin(landing), Precision::Double);
        const FlightRun b = runFlight(c, asTables(landing), Precision::Double);
        const std::string what = std::string(landingName(landing)) + " landing, elevation " +
                                 std::to_string(elevation) +
                                 (drag == DragLaw::Quadratic ? ", quadratic drag" : "");
        ASSERT_TRUE(a.landed()) << what;
        EXPECT_EQ(a.steps, b.steps) << what;
        EXPECT_EQ(a.rejected, b.rejected) << what;
        EXPECT_EQ(a.evaluations, b.evaluations) << what;
        EXPECT_EQ(a.stop, b.stop) << what;
        expectSameBits(a.t, b.t, what + ": t");
        expectSameBits(a.stepSize, b.stepSize, what + ": h");
        expectSameBits(a.wide.x, b.wide.x, what + ": x");
        expectSameBits(a.wide.y, b.wide.y, what + ": y");
        expectSameBits(a.wide.z, b.wide.z, what + ": z");
        expectSameBits(a.wide.vx, b.wide.vx, what + ": vx");
        expectSameBits(a.wide.vy, b.wide.vy, what + ": vy");
        expectSameBits(a.wide.vz, b.wide.vz, what + ": vz");
        expectSameBits(a.pathError, b.pathError, what + ": path_error");
        expectSameBits(a.landingX, b.landingX, what + ": landing_x");
        expectSameBits(a.landingZ, b.landingZ, what + ": landing_z");
        expectSameBits(a.flightTime, b.flightTime, what + ": flight_time");
      }
    }
  }
}

TEST_P(BuiltinPairs, RunSpringsAsTheirTablesDo) {
  for (const double ks : {15.0, 1e4}) {
    for (const std::optional<double> until :
         {std::optional<double>(), std::optional<double>(2.5)}) {
      SpringPanelValues v;
      v.ks = ks;
      if (ks > 1000) v.mass = 1;
      const SpringCase c(springParamsFromPanel(v));
      const SpringRun a = runSpring(c, builtin(), Precision::Double, until);
      const SpringRun b = runSpring(c, asTables(), Precision::Double, until);
      const std::string what = "ks " + std::to_string(ks) + (until ? ", until 2.5 s" : "");
      EXPECT_EQ(a.steps, b.steps) << what;
      EXPECT_EQ(a.rejected, b.rejected) << what;
      EXPECT_EQ(a.evaluations, b.evaluations) << what;
      EXPECT_EQ(a.stop, b.stop) << what;
      expectSameBits(a.t, b.t, what + ": t");
      expectSameBits(a.stepSize, b.stepSize, what + ": h");
      expectSameBits(a.yWide, b.yWide, what + ": y");
      expectSameBits(a.vWide, b.vWide, what + ": v");
      expectSameBits(a.dampingWork, b.dampingWork, what + ": damping_work");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AcrossTolerances, BuiltinPairs,
                         ::testing::Values(Case{"dopri5", 1e-3}, Case{"dopri5", 1e-7},
                                           Case{"dopri5", 1e-11}, Case{"bogacki-shampine", 1e-3},
                                           Case{"bogacki-shampine", 1e-7},
                                           Case{"bogacki-shampine", 1e-10}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           std::string name =
                               std::string(info.param.pair) + "_" + std::to_string(info.index);
                           for (char& ch : name)
                             if (ch == '-') ch = '_';
                           return name;
                         });

}  // namespace
