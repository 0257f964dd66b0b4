#include "reference.h"

#include <algorithm>
#include <boost/math/tools/roots.hpp>
#include <boost/numeric/odeint.hpp>
#include <cmath>

namespace {

namespace odeint = boost::numeric::odeint;
using State = ReferenceFlight::State;
using Stepper = odeint::runge_kutta_fehlberg78<State, long double, State, long double>;

Vec3d positionOf(const State& x) {
  return {static_cast<double>(x[0]), static_cast<double>(x[1]), static_cast<double>(x[2])};
}

}  // namespace

ReferenceFlight::ReferenceFlight(const BallisticsParams& params, double horizon,
                                 long double tolerance)
    : ReferenceFlight(params, horizon, tolerance, true) {}

ReferenceFlight::ReferenceFlight(const BallisticsParams& params, double horizon,
                                 long double tolerance, bool estimate)
    : equations_(params) {
  State x = FlightEquations<long double>::launchState(params);
  auto controlled = odeint::make_controlled(tolerance, tolerance, Stepper());
  long double t = 0.0L, dt = 1e-4L;
  t_.push_back(t);
  x_.push_back(x);
  const long double end = horizon;
  // The step count is bounded by the horizon over the smallest step the
  // controller takes; a flight of quadratic drag settles to its terminal
  // speed, where steps grow long.
  while (t < end && t_.size() < 200000) {
    dt = std::min(dt, end - t);
    const State before = x;
    const long double t0 = t;
    if (controlled.try_step(equations_, x, t, dt) != odeint::success) continue;
    if (!std::isfinite(static_cast<double>(x[1]))) break;
    // Where component i of one step of length s from the last accepted point
    // crosses 0: that step's length.
    auto crossing = [&](int i) {
      auto value = [&](long double s) {
        State y = before;
        Stepper().do_step(equations_, y, t0, s);
        return y[i];
      };
      std::uintmax_t iterations = 200;
      const auto r = boost::math::tools::toms748_solve(
          value, 0.0L, t - t0, boost::math::tools::eps_tolerance<long double>(60), iterations);
      return (r.first + r.second) / 2;
    };
    auto stopAt = [&](long double s) {
      x = before;
      Stepper().do_step(equations_, x, t0, s);
      t = t0 + s;
    };
    if (x[1] <= 0.0L && before[1] > 0.0L) {
      stopAt(crossing(1));
      t_.push_back(t);
      x_.push_back(x);
      landing_ = static_cast<double>(t);
      break;
    }
    // The apex: a shot nearly straight up passes through almost no speed
    // there, where |v|·v bends; no step of the reference straddles it.
    if (x[4] < 0.0L && before[4] > 0.0L) stopAt(crossing(4));
    t_.push_back(t);
    x_.push_back(x);
  }
  if (!estimate) return;
  const ReferenceFlight coarse(params, horizon, tolerance * 1000.0L, false);
  auto distance = [](const Vec3d& a, const Vec3d& b) {
    return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z);
  };
  for (std::size_t i = 0; i < t_.size(); ++i) {
    const double ti = static_cast<double>(t_[i]);
    error_ = std::max(error_, distance(positionOf(x_[i]), coarse.position(ti)));
  }
  if (landing_ && coarse.landing_)
    error_ = std::max(error_, distance(position(*landing_), coarse.position(*coarse.landing_)));
}

State ReferenceFlight::at(long double t) const {
  // The last accepted step at or before t (the first for t before launch).
  const auto it = std::upper_bound(t_.begin(), t_.end(), t);
  const std::size_t i = it == t_.begin() ? 0 : static_cast<std::size_t>(it - t_.begin()) - 1;
  State x = x_[i];
  if (t != t_[i]) Stepper().do_step(equations_, x, t_[i], t - t_[i]);
  return x;
}

Vec3d ReferenceFlight::position(double t) const { return positionOf(at(t)); }

Vec3d ReferenceFlight::velocity(double t) const {
  const State x = at(t);
  return {static_cast<double>(x[3]), static_cast<double>(x[4]), static_cast<double>(x[5])};
}
