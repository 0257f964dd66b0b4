// Simplification on random polylines made of short segments (the shape of a
// finely stepped flight, but wandering in every direction), checked with
// Boost.Geometry's point-to-segment distance; and a simplified copy that must
// follow a changed ground point.

#include <gtest/gtest.h>

#include <boost/geometry.hpp>
#include <boost/geometry/geometries/point.hpp>
#include <boost/geometry/geometries/segment.hpp>
#include <cmath>
#include <cstring>
#include <random>

#include "ballisticssim.h"
#include "polyline.h"
#include "startup_flight.h"

namespace {

namespace bg = boost::geometry;
using BgPoint = bg::model::point<double, 3, bg::cs::cartesian>;
BgPoint bgPoint(const Vector3f& p) { return BgPoint(p.x, p.y, p.z); }
bool same(const Vector3f& a, const Vector3f& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Every point left out must lie within the tolerance of the segment between
// the kept points around it: otherwise the drawn trajectory visibly leaves
// the computed one.
TEST(SimplifyPolylineRandom, EveryLeftOutPointStaysWithinTheTolerance) {
  std::mt19937 random(20240611);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  const double tolerance = 0.01;
  double worst = 0.0;
  std::size_t points = 0, keptPoints = 0;
  for (int polyline = 0; polyline < 300; ++polyline) {
    // A random walk whose steps are at most the tolerance long; some walks
    // keep a direction for a while (gentle curves), others turn every step.
    const double steadiness = polyline % 2 ? 0.9 : 0.0;
    std::vector<Vector3f> walk{{0.0f, 0.0f, 0.0f}};
    double d[3] = {0.0, 0.0, 0.0};
    const int n = 20 + polyline * 7;
    for (int i = 0; i < n; ++i) {
      for (double& c : d) c = steadiness * c + (1 - steadiness) * unit(random);
      const double norm = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
      const double length = tolerance * (0.05 + 0.94 * (unit(random) + 1) / 2) / norm;
      const Vector3f& last = walk.back();
      walk.emplace_back(float(last.x + d[0] * length), float(last.y + d[1] * length),
                        float(last.z + d[2] * length));
    }
    const std::vector<Vector3f> kept = simplifyPolyline(walk, tolerance);
    ASSERT_GE(kept.size(), 2u);
    ASSERT_TRUE(same(kept.front(), walk.front()));
    ASSERT_TRUE(same(kept.back(), walk.back()));
    std::size_t k = 0;  // kept[k] is the last kept point passed
    for (std::size_t i = 1; i < walk.size(); ++i) {
      ASSERT_LT(k + 1, kept.size()) << "a kept point that is not in the polyline, in order";
      if (same(walk[i], kept[k + 1])) {
        ++k;
        continue;
      }
      const bg::model::segment<BgPoint> around(bgPoint(kept[k]), bgPoint(kept[k + 1]));
      worst = std::max(worst, bg::distance(bgPoint(walk[i]), around) / tolerance);
    }
    ASSERT_EQ(k + 1, kept.size());
    points += walk.size();
    keptPoints += kept.size();
  }
  EXPECT_LE(worst, 1.0 + 1e-9) << "a left-out point lies " << worst << " tolerances away";
  EXPECT_LT(keptPoints, points / 2) << "hardly anything was left out: the check proves little";
}

// A flight recomputed after the ground point alone changed (a tiny change of
// the landing) must be drawn with its new ground point, not the stale one.
TEST(SimplifiedCopyRandom, FollowsAChangeOfTheLastPointAlone) {
  std::vector<Vector3f> flight = startUpFlight(RK4, 1e-5f);
  ASSERT_GT(flight.size(), 2 * SimplifiedCopy::kSamples);
  SimplifiedCopy copy;
  ASSERT_NE(&copy.follow(flight, 1e-3), &flight);  // a real, shorter copy
  flight.back().x += 0.25f;
  flight.back().z -= 0.25f;
  const std::vector<Vector3f>& drawn = copy.follow(flight, 1e-3);
  ASSERT_FALSE(drawn.empty());
  EXPECT_TRUE(same(drawn.back(), flight.back()))
      << "drawn ends at (" << drawn.back().x << ", " << drawn.back().z << "), the flight at ("
      << flight.back().x << ", " << flight.back().z << ")";
}

}  // namespace
