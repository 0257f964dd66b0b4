// Simplified polylines checked with Boost.Geometry's point-to-segment
// distance, against circles with a known sagitta and on real flights.

#include "polyline.h"

#include <gtest/gtest.h>

#include <boost/geometry.hpp>
#include <boost/geometry/geometries/point.hpp>
#include <boost/geometry/geometries/segment.hpp>
#include <cmath>
#include <cstring>
#include <limits>

#include "ballisticssim.h"
#include "startup_flight.h"

namespace {

namespace bg = boost::geometry;
using BgPoint = bg::model::point<double, 3, bg::cs::cartesian>;

BgPoint bgPoint(const Vector3f& p) { return BgPoint(p.x, p.y, p.z); }
bool same(const Vector3f& a, const Vector3f& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;  // NaN included
}

// Checks that `kept` is `points` with some points left out, first and last
// kept, each left-out point within `tolerance` of the segment between the
// kept points around it. Returns how many were left out.
std::size_t expectFaithful(const std::vector<Vector3f>& points, const std::vector<Vector3f>& kept,
                           double tolerance) {
  if (points.empty()) {
    EXPECT_TRUE(kept.empty());
    return 0;
  }
  EXPECT_TRUE(same(kept.front(), points.front()));
  EXPECT_TRUE(same(kept.back(), points.back()));
  std::size_t k = 0;  // kept[k] is the last kept point matched so far
  double worst = 0.0;
  std::size_t left = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (i > 0 && k + 1 < kept.size() && same(points[i], kept[k + 1])) {
      ++k;
      continue;
    }
    if (i == 0) continue;
    ++left;
    if (k + 1 >= kept.size()) {
      ADD_FAILURE() << "point " << i << " after the last kept point";
      return left;
    }
    const bg::model::segment<BgPoint> around(bgPoint(kept[k]), bgPoint(kept[k + 1]));
    worst = std::max(worst, bg::distance(bgPoint(points[i]), around));
  }
  EXPECT_EQ(k + 1, kept.size()) << "kept points that are not in order";
  EXPECT_LE(worst, tolerance * (1 + 1e-9));
  return left;
}

TEST(SimplifyPolyline, FineFlightsKeepAFewHundredPointsWithinTheTolerance) {
  for (int scheme : {Euler, RK4}) {
    const std::vector<Vector3f> flight = startUpFlight(scheme, 1e-5f);
    for (double tolerance : {1.22e-4, 1e-3, 0.05}) {
      const std::vector<Vector3f> kept = simplifyPolyline(flight, tolerance);
      expectFaithful(flight, kept, tolerance);
      EXPECT_LT(kept.size(), 400u) << tolerance;
    }
  }
}

TEST(SimplifyPolyline, ArcsKeepAboutAsManyPointsAsTheirSagittaNeeds) {
  // On a circle of radius r, a chord spanning the angle a stays within
  // r(1 - cos(a/2)) of its arc: any faithful simplification of a half circle
  // needs at least pi / a segments, with a = 2 acos(1 - tolerance/r).
  const double r = 3.0, tolerance = 1e-3;
  std::vector<Vector3f> arc;
  const int n = 200000;
  for (int i = 0; i <= n; ++i) {
    const double a = M_PI * i / n;
    arc.emplace_back(float(r * std::cos(a)), float(r * std::sin(a)), float(0.5 * a));
  }
  const std::vector<Vector3f> kept = simplifyPolyline(arc, tolerance);
  expectFaithful(arc, kept, tolerance);
  const double fewest = M_PI / (2 * std::acos(1 - tolerance / r));
  EXPECT_GE(double(kept.size() - 1), std::floor(fewest));
  EXPECT_LE(double(kept.size() - 1), 3 * fewest);

  // A straight line keeps its ends only.
  std::vector<Vector3f> line;
  for (int i = 0; i <= n; ++i) line.emplace_back(float(i) / n, 2.0f * i / n, -1.0f * i / n);
  const std::vector<Vector3f> ends = simplifyPolyline(line, 1e-4);
  ASSERT_EQ(ends.size(), 2u);
  expectFaithful(line, ends, 1e-4);
}

TEST(SimplifyPolyline, SegmentsLongerThanTheToleranceKeepTheirEnds) {
  // Coarse polylines come back whole, even where their points lie on a line.
  std::vector<Vector3f> column;
  for (int i = 0; i < 50; ++i) column.emplace_back(0.0f, float(i), 0.0f);
  EXPECT_EQ(simplifyPolyline(column, 0.99).size(), column.size());

  // A fine stretch, a jump, a fine stretch: only the stretches thin out.
  std::vector<Vector3f> jumpy;
  for (int i = 0; i <= 1000; ++i) jumpy.emplace_back(i * 1e-3f, 0.0f, 0.0f);
  for (int i = 0; i <= 1000; ++i) jumpy.emplace_back(5.0f, i * 1e-3f, 0.0f);
  const std::vector<Vector3f> kept = simplifyPolyline(jumpy, 0.01);
  ASSERT_EQ(kept.size(), 4u);
  EXPECT_TRUE(same(kept[1], jumpy[1000]));
  EXPECT_TRUE(same(kept[2], jumpy[1001]));

  for (std::size_t n : {0, 1, 2}) {
    const std::vector<Vector3f> few(jumpy.begin(), jumpy.begin() + n);
    EXPECT_EQ(simplifyPolyline(few, 0.01).size(), n);
  }
}

TEST(SimplifyPolyline, PointsThatAreNotFiniteAreKept) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  std::vector<Vector3f> points;
  for (int i = 0; i <= 3000; ++i) points.emplace_back(i * 1e-4f, 0.0f, 0.0f);
  points[1000].y = nan;
  points[2000].z = -inf;
  points.emplace_back(nan, nan, nan);
  const std::vector<Vector3f> kept = simplifyPolyline(points, 1e-3);
  // The line's ends, each non-finite point and the finite points around it.
  const std::size_t expected[] = {0, 999, 1000, 1001, 1999, 2000, 2001, 3000, 3001};
  ASSERT_EQ(kept.size(), std::size(expected));
  for (std::size_t i = 0; i < kept.size(); ++i)
    EXPECT_TRUE(same(kept[i], points[expected[i]])) << i;
}

TEST(SimplifiedCopy, RebuildsOnlyWhenTheSourceChangesOrAFinerToleranceIsAsked) {
  std::vector<Vector3f> source = startUpFlight(RK4, 1e-5f);
  SimplifiedCopy copy;
  const std::vector<Vector3f>* drawn = &copy.follow(source, 1e-3);
  EXPECT_NE(drawn, &source);
  EXPECT_LT(drawn->size(), 200u);
  copy.follow(source, 1e-3);
  copy.follow(source, 2e-3);  // coarser: the finer copy serves
  EXPECT_EQ(copy.rebuilds(), 1);
  EXPECT_EQ(copy.tolerance(), 1e-3);
  copy.follow(source, 5e-4);
  EXPECT_EQ(copy.rebuilds(), 2);
  // A flight recomputed in place: see CopiesFollowRecomputationsTogglesAndZoom.

  // A short source is compared whole: one changed point is seen.
  std::vector<Vector3f> coarse = startUpFlight(Euler, 0.1f);
  EXPECT_EQ(&copy.follow(coarse, 1e-3), &coarse);  // nothing to leave out: the source itself
  EXPECT_EQ(copy.rebuilds(), 3);
  coarse[7].x = std::nextafter(coarse[7].x, 1.0f);
  copy.follow(coarse, 1e-3);
  EXPECT_EQ(copy.rebuilds(), 4);
  coarse.pop_back();
  copy.follow(coarse, 1e-3);
  EXPECT_EQ(copy.rebuilds(), 5);
}

}  // namespace
