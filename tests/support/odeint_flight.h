#pragma once

// The model's flight integrated by Boost.Odeint's RK4 in double precision
// with a small step, from the model's launch state: a reference no one here
// wrote the stepper of.

#include <array>
#include <boost/numeric/odeint.hpp>
#include <cmath>
#include <utility>

#include "ballisticsparams.h"

// Integrates to time t (a whole number of steps of h), or until the height
// first drops to 0 when t is infinite; returns the final state and the time
// reached (the landing time interpolated within the last step).
inline std::pair<std::array<double, 6>, double> odeintFlight(const BallisticsParams& p, double t,
                                                             double h = 1e-4) {
  using State = std::array<double, 6>;
  State s = FlightEquations<double>::launchState(p);
  const FlightEquations<double> f(p);
  boost::numeric::odeint::runge_kutta4<State> rk4;
  double now = 0.0;
  for (long n = 1; now < t; ++n) {
    const State before = s;
    rk4.do_step(f, s, now, h);
    now = n * h;
    if (std::isinf(t) && s[1] <= 0.0) return {s, now - h * s[1] / (s[1] - before[1])};
    if (n > 100000000) break;
  }
  return {s, now};
}
