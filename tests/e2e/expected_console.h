#pragma once

// The console lines pbsim must print, built independently of its code: the
// flights' step counts come from Boost.Odeint's steppers integrating the same
// projectile law in double precision.

#include <array>
#include <boost/array.hpp>
#include <boost/fusion/include/make_vector.hpp>
#include <boost/numeric/odeint.hpp>
#include <cmath>
#include <string>

namespace expected {

using Shot = std::array<double, 6>;  // position x, y, z, velocity x, y, z

// dp/dt = v, dv/dt = -(friction/mass)·v + (0, gravity, 0)
struct Projectile {
  double friction, mass, gravity;
  void operator()(const Shot& s, Shot& d, double) const {
    const double c = -friction / mass;
    for (int i = 0; i < 3; ++i) {
      d[i] = s[i + 3];
      d[i + 3] = c * s[i + 3];
    }
    d[4] += gravity;
  }
};

// The panel's start-up shot: azimuth -10°, elevation 45°, mass 1000, powder
// 1 × 10000, gravity -9.8, friction 50, launched 0.0001 above the gun.
inline Shot startUpShot(double azimuthRadians = -0.17453292f) {
  const double elevation = 0.78539819f, speed = 1.0 * 10000.0 / 1000.0;
  return {0.0,
          0.0001,
          0.0,
          speed * std::cos(elevation) * std::sin(azimuthRadians),
          speed * std::sin(elevation),
          speed * std::cos(elevation) * std::cos(azimuthRadians)};
}

// Steps until the projectile is on or below the ground; `shot` ends there,
// and `above` holds the last state above the ground.
template <class Stepper>
int stepsToGround(Stepper stepper, Shot& shot, Shot* above = nullptr, double h = 0.1) {
  const Projectile law{50.0, 1000.0, -9.8};
  int steps = 0;
  for (double t = 0.0; shot[1] > 0.0 && steps < 100000; t += h, ++steps) {
    if (above != nullptr) *above = shot;
    stepper.do_step(law, shot, t, h);
  }
  return steps;
}

namespace odeint = boost::numeric::odeint;
using EulerStepper = odeint::euler<Shot>;
using RK4Stepper = odeint::runge_kutta4<Shot>;
// Explicit midpoint: k2 = f(x + h/2·k1, t + h/2), x' = x + h·k2.
using MidpointStepper = odeint::explicit_generic_rk<2, 2, Shot, double>;
inline MidpointStepper midpointStepper() {
  return MidpointStepper(boost::fusion::make_vector(boost::array<double, 1>{{0.5}}),
                         boost::array<double, 2>{{0.0, 1.0}}, boost::array<double, 2>{{0.0, 0.5}});
}

inline std::string flightLine(int steps) {
  return "Beginning numerical simulation ... done, in " + std::to_string(steps) + " iterations\n";
}

inline std::string eulerFlight() {
  Shot s = startUpShot();
  return flightLine(stepsToGround(EulerStepper(), s));
}
inline std::string midpointFlight() {
  Shot s = startUpShot();
  return flightLine(stepsToGround(midpointStepper(), s));
}
inline std::string rk4Flight() {
  Shot s = startUpShot();
  return flightLine(stepsToGround(RK4Stepper(), s));
}

const std::string kBanner =
    "Physically based simulation Velmora.\n"
    "Which part do you wish to run? Enter 0 for Ballistics, 1 for SpringMass : \n";

// Start-up of the ballistics mode: the parameter and time-step lines, then
// the three flights.
inline std::string ballisticsStartUp() {
  return "Setting parameters: azimuth=-0.174533, elevation=0.785398, projectile "
         "mass=1000.000000, powder: amount=1.000000, power=10000.000000, gravity=-9.800000, "
         "air friction=50.000000, target=(0.000000,0.000000,10.000000)\n"
         "Setting time step to 0.100000\n" +
         eulerFlight() + midpointFlight() + rk4Flight();
}

// The default spring run with RK4 settles after 1151 steps (the count of the
// single-precision model, which no double-precision integration reproduces
// to the step).
const std::string kSpringMassStartUp = flightLine(1151);

}  // namespace expected
