#include "ballisticsexact.h"

#include <boost/math/tools/roots.hpp>
#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace {

// (1 - e^(-x))/x, 1 at x = 0.
double phi(double x) {
  if (std::fabs(x) < 1e-8) return 1.0 - x / 2.0;
  return -std::expm1(-x) / x;
}

// (x - 1 + e^(-x))/x², 1/2 at x = 0. The direct form cancels for small x,
// so a short series takes over there.
double psi(double x) {
  if (std::fabs(x) < 1e-2) return 0.5 + x * (-1.0 / 6 + x * (1.0 / 24 + x * (-1.0 / 120)));
  return (x + std::expm1(-x)) / (x * x);
}

// Roots to full double precision (bits lost to rounding aside).
constexpr int kRootBits = 50;

// No flight lasts longer than this in any unit the model is given: a
// projectile still up after it counts as never landing.
constexpr double kHorizon = 1e12;

}  // namespace

ExactFlight::ExactFlight(const BallisticsParams& params) {
  const Vector3f v = muzzleVelocity(params);
  p0_ = {0.0, static_cast<double>(kLaunchHeight), 0.0};
  v0_ = {v.x, v.y, v.z};
  k_ = static_cast<double>(params.airFriction) / static_cast<double>(params.projectileMass);
  g_ = params.gravity;
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
  auto tol = boost::math::tools::eps_tolerance<double>(kRootBits);
  double limit = kHorizon;
  if (g_ - k_ * v0_.y >= 0.0) {
    if (v0_.y >= 0.0) return std::nullopt;  // convex and rising at launch
    double t = 1e-6;
    while (t < kHorizon && verticalSpeed(t) < 0.0) t *= 2.0;
    if (t < kHorizon) {
      std::uintmax_t iterations = 200;
      const auto [a, b] =
          boost::math::tools::toms748_solve([this](double s) { return verticalSpeed(s); },
                                            t / 2.0 > 1e-6 ? t / 2.0 : 0.0, t, tol, iterations);
      limit = (a + b) / 2.0;  // the lowest point
    }
  }
  // Bracket the landing by doubling, then refine it.
  double lo = 0.0, hi = 1e-6;
  while (hi < limit && height(hi) > 0.0) {
    lo = hi;
    hi *= 2.0;
  }
  hi = std::fmin(hi, limit);
  const double yHi = height(hi);
  if (!(yHi <= 0.0)) return std::nullopt;  // still up, or no finite height
  if (yHi == 0.0) return hi;
  std::uintmax_t iterations = 200;
  const auto [a, b] = boost::math::tools::toms748_solve([this](double s) { return height(s); }, lo,
                                                        hi, tol, iterations);
  return (a + b) / 2.0;
} catch (const std::exception&) {
  return std::nullopt;  // the root finder gave up: report no landing rather than a wrong one
}
