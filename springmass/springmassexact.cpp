#include "springmassexact.h"

#include <cmath>
#include <limits>
#include <stdexcept>
#include <tuple>

#include "numbers.h"
#include "roots.h"

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

}  // namespace

ExactSpring::ExactSpring(const SpringMassParams& params) {
  const SpringParams& s = params.springs.at(0);
  m_ = params.mass;
  ks_ = s.ks;
  const double kd = s.kd, g = params.gravity, length = s.restLength;
  rest_ = g / ks_ - length;
  u0_ = -g / ks_;
  a_ = kd / (2.0 * m_);
  const double d = ks_ / m_ - a_ * a_;
  w_ = std::sqrt(std::fabs(d));
  under_ = d > 0.0;
  if (!(m_ > 0.0) || !(ks_ > 0.0) || !std::isfinite(m_) || !std::isfinite(ks_) ||
      !std::isfinite(kd) || !std::isfinite(g) || !std::isfinite(length) || !std::isfinite(d)) {
    return;  // no oscillator: regime NoClosedForm, valid nowhere
  }
  regime_ = d > 0.0 ? UnderDamped : d < 0.0 ? OverDamped : CriticallyDamped;
  // Damping within single-precision rounding of critical (a relative 1e-6)
  // is called critical; the forms used agree there anyway.
  if (std::fabs(d) <= 1e-6 * ks_ / m_) regime_ = CriticallyDamped;
  validUntil_ = findCrossing();
}

double ExactSpring::offsetSpeedFactor(double t) const {
  if (w_ == 0.0) return t;
  return under_ ? std::sin(w_ * t) / w_ : std::sinh(w_ * t) / w_;
}

double ExactSpring::height(double t) const {
  const double c = w_ == 0.0 ? 1.0 : under_ ? std::cos(w_ * t) : std::cosh(w_ * t);
  return rest_ + u0_ * std::exp(-a_ * t) * (c + a_ * offsetSpeedFactor(t));
}

double ExactSpring::velocity(double t) const {
  // u' = -u0·(ks/m)·e^(-at)·S(t), S the factor above, in all three regimes.
  return -u0_ * (ks_ / m_) * std::exp(-a_ * t) * offsetSpeedFactor(t);
}

double ExactSpring::energy(double y, double v) const {
  const double u = y - rest_;
  return 0.5 * m_ * v * v + 0.5 * ks_ * u * u;
}

// The first time the closed form puts the body at the anchor, or infinity.
// The height is monotone between the offset's turning points (the zeros of
// S: t = nπ/w when under-damped, none otherwise), so it is enough to look at
// each turning point in turn, and at infinity, where the height tends to y*
// when a > 0.
double ExactSpring::findCrossing() const {
  if (height(0.0) >= 0.0) return 0.0;
  double lo = 0.0, hi = kInfinity;
  if (under_) {
    // Amplitude |u0|·e^(-a·t): once below |y*| with a >= 0 no later turning
    // point reaches the anchor.
    for (long n = 1; n < 10000000; ++n) {
      const double t = n * kPi / w_;
      if (height(t) >= 0.0) {
        hi = t;
        break;
      }
      if (a_ >= 0.0 && std::fabs(u0_) * std::exp(-a_ * t) < -rest_) return kInfinity;
      lo = t;
    }
    if (hi == kInfinity) return kInfinity;
  } else {
    // Monotone from -L towards y* (or away from it when a < 0): search by
    // doubling while the height stays below the anchor.
    if (a_ > 0.0 && rest_ < 0.0) return kInfinity;
    std::tie(lo, hi) =
        roots::bracketByDoubling([this](double t) { return !(height(t) < 0.0); }, 1e12);
    if (hi >= 1e12 || !(height(hi) >= 0.0)) return kInfinity;
  }
  if (height(hi) == 0.0) return hi;
  try {
    return roots::refineRoot([this](double s) { return height(s); }, lo, hi)
        .first;  // the formulas are trusted only strictly before the crossing
  } catch (const std::exception&) {
    return lo;
  }
}
