#pragma once

// A reference solution for a flight that has no closed form (quadratic
// drag): Boost.Odeint's Runge-Kutta-Fehlberg 7(8) in long double under its
// controlled stepper, at a tolerance near long double's precision, from the
// model's own launch state. A position between two accepted steps is one
// step of the same method from the step before it, so the reference keeps
// its order everywhere; the landing is the root of that height, found with
// TOMS 748. Its own error is estimated against the same integration at a
// thousand times the tolerance: the difference bounds the finer one's error
// from above.

#include <array>
#include <optional>
#include <vector>

#include "ballisticsexact.h"
#include "ballisticsparams.h"

class ReferenceFlight {
 public:
  using State = std::array<long double, 6>;

  // Integrates from launch to the landing, or, for a flight that never comes
  // down, to `horizon` seconds.
  ReferenceFlight(const BallisticsParams& params, double horizon, long double tolerance = 1e-18L);

  Vec3d position(double t) const;
  Vec3d velocity(double t) const;
  std::optional<double> landingTime() const { return landing_; }
  // The largest distance between this reference and the coarser one, over
  // its accepted steps and at the landing: how far to trust it, in metres.
  double errorEstimate() const { return error_; }
  std::size_t steps() const { return t_.size() - 1; }
  static constexpr const char* kName = "RKF 7(8) in long double";

 private:
  ReferenceFlight(const BallisticsParams& params, double horizon, long double tolerance,
                  bool estimate);
  State at(long double t) const;

  FlightEquations<long double> equations_;
  std::vector<long double> t_;  // accepted steps, from 0
  std::vector<State> x_;
  std::optional<double> landing_;
  double error_ = 0.0;
};
