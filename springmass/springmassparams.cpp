#include "springmassparams.h"

SpringMassParams::SpringMassParams() {
  mass = 5.0f;
  gravity = -9.8f;
  springCount = 1;
  timeStep = 0.1f;
  time = 0.0f;
  springs.resize(1);
}

void SpringMassParams::setValues(float newMass, float newGravity, int count) {
  mass = newMass;
  gravity = newGravity;
  springCount = count;
  springs.resize(static_cast<std::size_t>(count));
}
