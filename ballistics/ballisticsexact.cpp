#include "ballisticsexact.h"

#include <cmath>
#include <stdexcept>

#include "roots.h"

namespace {

// (1 - e^(-x))/x, 1 at x = 0.
double phi(double x) {
  if (std::fabs(x) < 1e-8) return 1.0 - x / 2.0;
  return -std::expm1(-x) / x;
}

// 1/m! for m = 0..22.
struct InverseFactorials {
  double value[23] = {};
  constexpr InverseFactorials() {
    value[0] = 1.0;
    for (int m = 1; m < 23; ++m) value[m] = value[m - 1] / m;
  }
};
constexpr InverseFactorials kInverseFactorial;

// (x - 1 + e^(-x))/x², 1/2 at x = 0. The direct form cancels for |x| below
// 1 (at x = 0.01 it loses seven digits, and so would depend on the last bit
// of the C library's expm1), so the series Σ (-x)^n/(n+2)! takes over
// there, summed to n = 20: the first term left out is below 1/23! < 4e-23.
double psi(double x) {
  if (std::fabs(x) < 1.0) {
    double sum = 0.0;
    for (int n = 20; n >= 0; --n) sum = kInverseFactorial.value[n + 2] - x * sum;
    return sum;
  }
  return (x + std::expm1(-x)) / (x * x);
}

// No flight lasts longer than this in any unit the model is given: a
// projectile still up after it counts as never landing.
constexpr double kHorizon = 1e12;

}  // namespace

ExactFlight::ExactFlight(const BallisticsParams& params) {
  const auto x0 = FlightEquations<double>::launchState(params);
  p0_ = {x0[0], x0[1], x0[2]};
  v0_ = {x0[3], x0[4], x0[5]};
  const FlightEquations<double> equations(params);
  k_ = equations.k;
  g_ = equations.g;
  landingTime_ = findLanding();
}

Vec3d ExactFlight::position(double t) const {
  const double e = t * phi(k_ * t);  // E(t)
  return {p0_.x + v0_.x * e, p0_.y + v0_.y * e + g_ * t * t * psi(k_ * t), p0_.z + v0_.z * e};
}

Vec3d ExactFlight::velocity(double t) const {
  const double decay = std::exp(-k_ * t);
  return {v0_.x * decay, v0_.y * decay + g_ * t * phi(k_ * t), v0_.z * decay};
}

double ExactFlight::height(double t) const { return position(t).y; }
double ExactFlight::verticalSpeed(double t) const { return velocity(t).y; }

std::optional<double> ExactFlight::findLanding() const try {
  if (!std::isfinite(k_) || !std::isfinite(g_) || !std::isfinite(v0_.y)) return std::nullopt;
  // y'' = (g - k·v0y)·e^(-kt) keeps its sign, so the height is either
  // concave (it rises at most once and then falls: at most one landing) or
  // convex (it falls only until its lowest point, where y' = 0). Search only
  // where the height falls or may still fall.
  double limit = kHorizon;
  if (g_ - k_ * v0_.y >= 0.0) {
    if (v0_.y >= 0.0) return std::nullopt;  // convex and rising at launch
    const auto rising = [this](double s) { return !(verticalSpeed(s) < 0.0); };
    const auto [lo, hi] = roots::bracketByDoubling(rising, kHorizon);
    if (hi < kHorizon) {
      const auto [a, b] = roots::refineRoot([this](double s) { return verticalSpeed(s); }, lo, hi);
      limit = (a + b) / 2.0;  // the lowest point
    }
  }
  // Bracket the landing by doubling, then refine it.
  auto [lo, hi] = roots::bracketByDoubling([this](double s) { return !(height(s) > 0.0); }, limit);
  hi = std::fmin(hi, limit);
  const double yHi = height(hi);
  if (!(yHi <= 0.0)) return std::nullopt;  // still up, or no finite height
  if (yHi == 0.0) return hi;
  const auto [a, b] = roots::refineRoot([this](double s) { return height(s); }, lo, hi);
  return (a + b) / 2.0;
} catch (const std::exception&) {
  return std::nullopt;  // the root finder gave up: report no landing rather than a wrong one
}
