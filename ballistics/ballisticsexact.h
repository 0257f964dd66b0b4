#pragma once

// The closed-form flight of the ballistics model, in double precision:
// dp/dt = v, dv/dt = -k·v + (0, g, 0) with k = airFriction/projectileMass,
// from the model's own launch state (the muzzle velocity as the model
// computes it in single precision, 0.0001 above the ground).
//
//   v(t) = v0·e^(-kt) + g·ŷ·E(t),            E(t) = (1 - e^(-kt))/k
//   p(t) = p0 + v0·E(t) + g·ŷ·(t - E(t))/k
//
// Both fractions are evaluated in forms that stay accurate as k·t -> 0, so a
// friction of 0 gives the drag-free parabola without a division by zero.

#include <optional>

#include "ballisticsparams.h"

struct Vec3d {
  double x = 0.0, y = 0.0, z = 0.0;
};

class ExactFlight {
 public:
  explicit ExactFlight(const BallisticsParams& params);

  Vec3d position(double t) const;
  Vec3d velocity(double t) const;
  // The first time after launch at which the height is 0, found with
  // Boost.Math's TOMS 748 root finder; nothing when the projectile never
  // comes down (or the parameters give no finite motion).
  std::optional<double> landingTime() const { return landingTime_; }
  // How many trajectory points a flight at this time step will need: the
  // landing time in steps with a margin, since the schemes' flights differ
  // from the exact one by their error, a few percent at the coarsest steps
  // that still give long flights. Nothing without a landing or a step.
  std::optional<double> expectedPoints(float timeStep) const {
    if (!landingTime_ || !(timeStep > 0.0f)) return std::nullopt;
    return *landingTime_ / static_cast<double>(timeStep) * 1.02 + 16.0;
  }

 private:
  double height(double t) const;
  double verticalSpeed(double t) const;
  std::optional<double> findLanding() const;

  Vec3d p0_, v0_;
  double k_, g_;
  std::optional<double> landingTime_;
};
