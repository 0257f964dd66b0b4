#pragma once

// Roots of the closed-form solutions: a bracket found by doubling from a
// small first time, then refined with Boost.Math's TOMS 748.

#include <boost/math/tools/roots.hpp>
#include <cstdint>
#include <utility>

namespace roots {

// The first time of 1e-6·2^n below `limit` at which `beyond(t)` holds, with
// the probe before it (0 for the first): a bracket [lo, hi]. hi reaches
// `limit` or more when no probe below it qualifies.
template <class Beyond>
std::pair<double, double> bracketByDoubling(Beyond&& beyond, double limit) {
  double lo = 0.0, hi = 1e-6;
  while (hi < limit && !beyond(hi)) {
    lo = hi;
    hi *= 2.0;
  }
  return {lo, hi};
}

// The root of f in [lo, hi], which must bracket it, to full double precision
// (bits lost to rounding aside): the final interval, whose ends lie on either
// side of the root. Throws std::domain_error (from Boost) when [lo, hi] does
// not bracket a root, and gives up after 200 iterations.
template <class F>
std::pair<double, double> refineRoot(F&& f, double lo, double hi) {
  std::uintmax_t iterations = 200;
  return boost::math::tools::toms748_solve(
      std::forward<F>(f), lo, hi, boost::math::tools::eps_tolerance<double>(50), iterations);
}

}  // namespace roots
