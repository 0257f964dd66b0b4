#pragma once

// The console lines pbsim must print at start-up.

#include <string>

namespace expected {

inline std::string flightLine(int steps) {
  return "Beginning numerical simulation ... done, in " + std::to_string(steps) + " iterations\n";
}

// The start-up shot lands after 16 Euler steps and 15 midpoint or RK4 steps.
inline std::string eulerFlight() { return flightLine(16); }
inline std::string midpointFlight() { return flightLine(15); }
inline std::string rk4Flight() { return flightLine(15); }

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

// The default spring run with RK4 settles after 1151 steps.
const std::string kSpringMassStartUp = flightLine(1151);

}  // namespace expected
