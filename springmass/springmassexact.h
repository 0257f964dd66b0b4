#pragma once

// The closed-form motion of the spring-mass model while the body hangs below
// the anchor, in double precision. There the force law is linear,
//   m·y'' = -ks·(y + L) - kd·y' + g,
// so about the resting height y* = g/ks - L (gravity is a force here, not an
// acceleration: y* does not depend on the mass) the offset u = y - y* obeys
// the damped oscillator m·u'' + kd·u' + ks·u = 0, from u(0) = -g/ks, u'(0) = 0.
// With a = kd/2m and w = sqrt|ks/m - a²|:
//   under-damped      u = u0·e^(-at)·(cos wt  + a·sin(wt)/w)
//   critically damped u = u0·e^(-at)·(1 + a·t)
//   over-damped       u = u0·e^(-at)·(cosh wt + a·sinh(wt)/w)
// Above the anchor the force law changes; from the first time the body
// would reach y = 0 these formulas no longer describe the model.

#include "springmassparams.h"

class ExactSpring {
 public:
  enum Regime { UnderDamped, CriticallyDamped, OverDamped, NoClosedForm };

  explicit ExactSpring(const SpringMassParams& params);

  Regime regime() const { return regime_; }
  // The formulas hold for 0 <= t < validUntil() (infinity when the body
  // never reaches the anchor; 0 when there is no closed form at all).
  double validUntil() const { return validUntil_; }
  bool holdsAt(double t) const { return t >= 0.0 && t < validUntil_; }

  double restingHeight() const { return rest_; }
  double height(double t) const;
  double velocity(double t) const;
  // ½·m·v² + ½·ks·(y - y*)²: constant for kd = 0, falling otherwise.
  double energy(double y, double v) const;

 private:
  double offsetSpeedFactor(double t) const;  // sin(wt)/w, t or sinh(wt)/w
  double findCrossing() const;

  Regime regime_ = NoClosedForm;
  double m_, ks_, rest_, u0_, a_, w_;
  bool under_ = false;  // ks/m > a²: the oscillating forms
  double validUntil_ = 0.0;
};
