#pragma once

// Polylines with fewer points: a trajectory of a million points, drawn or
// plotted, needs only the few hundred that a viewer can tell apart.
// Pure computation, no drawing.

#include <cstddef>
#include <vector>

#include "vector3f.h"

// The points of `points` that still describe it within `tolerance` (a
// distance in the points' own units), in their order: the first and the
// last point, both ends of every segment longer than `tolerance`, every
// point that is not finite, and, within each stretch of shorter segments,
// the points that the Douglas-Peucker algorithm keeps there. Every point left
// out lies within `tolerance` of the segment between the kept points around
// it. So a polyline whose segments are all longer than `tolerance` comes back
// whole, and a smooth curve sampled finely keeps only the points its
// curvature needs.
std::vector<Vector3f> simplifyPolyline(const std::vector<Vector3f>& points, double tolerance);

// A simplified copy of a polyline that someone else owns and may rewrite at
// any time (the scene view's trajectory lists). follow() notices a changed
// source and rebuilds the copy then, and only then or when a finer
// tolerance is asked for: drawing the same polyline again and again costs
// one look at a few thousand of its points, not a simplification.
class SimplifiedCopy {
 public:
  // The points to draw for `source` within `tolerance`: `source` itself when
  // simplification leaves every point, the copy otherwise. The result is
  // valid until the next call or until `source` changes.
  const std::vector<Vector3f>& follow(const std::vector<Vector3f>& source, double tolerance);

  // How many times follow() has simplified a source.
  long rebuilds() const { return rebuilds_; }
  // The tolerance the current copy was built for.
  double tolerance() const { return tolerance_; }

  // A source is recognised by its length and a hash of its points: of all
  // of them up to this many, of this many evenly spaced ones (the first and
  // the last among them) in a longer one. A recomputed flight changes from
  // its first steps on, and always in its ground point.
  static constexpr std::size_t kSamples = 4096;

 private:
  static unsigned long long fingerprint(const std::vector<Vector3f>& source);

  std::size_t sourceSize_ = 0;
  unsigned long long sourceHash_ = 0;
  double tolerance_ = 0.0;
  bool built_ = false;
  bool whole_ = true;  // simplification kept every point: draw the source
  std::vector<Vector3f> points_;
  long rebuilds_ = 0;
};
