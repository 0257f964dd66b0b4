#pragma once

// The start-up shot flown silently at another time step or aim.

#include <vector>

#include "ballisticssetup.h"
#include "ballisticssim.h"

inline std::vector<Vector3f> startUpFlight(int scheme, float timeStep,
                                           float azimuth = startUpBallisticsParams().azimuth) {
  BallisticsSim sim;
  sim.params = startUpBallisticsParams();
  sim.params.azimuth = azimuth;
  sim.params.timeStep = timeStep;
  sim.setScheme(scheme);
  sim.fly();
  return sim.trajectory;
}
