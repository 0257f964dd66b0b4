#include "polyline.h"

#include <cstdint>
#include <cstring>

namespace {

double squaredDistance(const Vector3f& p, const Vector3f& q) {
  const double dx = double(p.x) - double(q.x);
  const double dy = double(p.y) - double(q.y);
  const double dz = double(p.z) - double(q.z);
  return dx * dx + dy * dy + dz * dz;
}

// True for a segment that simplification may shorten: finite and no longer
// than the tolerance (a NaN length is not).
bool isShort(const Vector3f& p, const Vector3f& q, double tolerance2) {
  return squaredDistance(p, q) <= tolerance2;
}

// Douglas-Peucker on points[first..last], whose segments are all short (so
// every point is finite): appends the kept points from `first` on, without
// `last`. The stack replaces recursion; taking the left half first keeps the
// output in order.
void douglasPeucker(const Vector3f* points, std::size_t first, std::size_t last, double tolerance2,
                    std::vector<Vector3f>& out,
                    std::vector<std::pair<std::size_t, std::size_t>>& stack) {
  stack.clear();
  stack.emplace_back(first, last);
  while (!stack.empty()) {
    const auto [a, b] = stack.back();
    stack.pop_back();
    // The point of (a, b) farthest from the segment a-b. Squared distances
    // are compared multiplied by vv, the squared segment length, which
    // spares a division per point: for a point beside the segment
    // vv·d² = vv·|w|² - (w·v)², beyond an end vv times its squared distance
    // to that end.
    const Vector3f& pa = points[a];
    const Vector3f& pb = points[b];
    const double ax = pa.x, ay = pa.y, az = pa.z;
    const double vx = double(pb.x) - ax, vy = double(pb.y) - ay, vz = double(pb.z) - az;
    const double vv = vx * vx + vy * vy + vz * vz;
    const double scale = vv > 0.0 ? vv : 1.0;  // a closed segment: plain distance to a
    double farthest = -1.0;
    std::size_t k = a;
    for (std::size_t i = a + 1; i < b; ++i) {
      const double wx = points[i].x - ax, wy = points[i].y - ay, wz = points[i].z - az;
      const double t = wx * vx + wy * vy + wz * vz;
      const double ww = wx * wx + wy * wy + wz * wz;
      double f;
      if (t <= 0.0) {
        f = ww * scale;
      } else if (t >= vv) {
        f = squaredDistance(points[i], pb) * scale;
      } else {
        f = ww * vv - t * t;
      }
      if (f > farthest) {
        farthest = f;
        k = i;
      }
    }
    if (k != a && farthest > tolerance2 * scale) {
      stack.emplace_back(k, b);
      stack.emplace_back(a, k);
    } else {
      out.push_back(pa);
    }
  }
}

}  // namespace

std::vector<Vector3f> simplifyPolyline(const std::vector<Vector3f>& points, double tolerance) {
  const std::size_t n = points.size();
  const double tolerance2 = tolerance * tolerance;
  std::vector<Vector3f> out;
  const double half2 = tolerance2 / 4;
  std::vector<Vector3f> thinned;
  std::vector<std::pair<std::size_t, std::size_t>> stack;
  std::size_t i = 0;
  while (i < n) {
    // A stretch of short segments from i to e; a long segment (or the end)
    // keeps point i as it is.
    std::size_t e = i;
    while (e + 1 < n && isShort(points[e], points[e + 1], tolerance2)) ++e;
    if (e == i) {
      out.push_back(points[i]);
      ++i;
    } else {
      // Half the tolerance thins the stretch out, the other half goes to
      // Douglas-Peucker on what is left: a point dropped first lies within
      // tolerance/2 of a point that the second step keeps or passes within
      // tolerance/2 of the segment around both. Thinning first cuts the
      // second step's passes over a finely sampled flight tenfold.
      thinned.clear();
      thinned.push_back(points[i]);
      for (std::size_t j = i + 1; j < e; ++j)
        if (!(squaredDistance(points[j], thinned.back()) <= half2)) thinned.push_back(points[j]);
      thinned.push_back(points[e]);
      douglasPeucker(thinned.data(), 0, thinned.size() - 1, half2, out, stack);
      i = e;  // kept as the start of what follows
    }
  }
  return out;
}

const std::vector<Vector3f>& SimplifiedCopy::follow(const std::vector<Vector3f>& source,
                                                    double tolerance) {
  const unsigned long long hash = fingerprint(source);
  if (!built_ || tolerance < tolerance_ || source.size() != sourceSize_ || hash != sourceHash_) {
    points_ = simplifyPolyline(source, tolerance);
    whole_ = points_.size() == source.size();
    if (whole_) points_.clear();
    points_.shrink_to_fit();
    sourceSize_ = source.size();
    sourceHash_ = hash;
    tolerance_ = tolerance;
    built_ = true;
    ++rebuilds_;
  }
  return whole_ ? source : points_;
}

unsigned long long SimplifiedCopy::fingerprint(const std::vector<Vector3f>& source) {
  // FNV-1a over the bits of the sampled coordinates.
  static_assert(sizeof(Vector3f) == 3 * sizeof(std::uint32_t), "three packed floats");
  const std::size_t size = source.size();
  const std::size_t count = size < kSamples ? size : kSamples;
  unsigned long long hash = 14695981039346656037ull;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t index = count == size ? i : (i * (size - 1)) / (count - 1);
    std::uint32_t words[3];
    std::memcpy(words, &source[index], sizeof words);
    for (std::uint32_t w : words) hash = (hash ^ w) * 1099511628211ull;
  }
  return hash;
}
