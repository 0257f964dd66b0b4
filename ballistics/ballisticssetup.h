#pragma once

// The shot pbsim fires at start, and the ballistics panel's units: the panel
// shows angles in degrees with the azimuth turning the other way from the
// model's, and its target fields "X" and "Z" run along the model's z and x.
// The panel, the tests and pbsim-study all convert through these, so equal
// numbers give equal flights everywhere.

#include "ballisticsparams.h"
#include "numbers.h"

namespace ballisticsunits {

// Panel degrees (read as floats, as the panel reads its inputs) to model
// radians, and back.
inline float modelAzimuth(float panelDegrees) {
  return static_cast<float>(-static_cast<double>(panelDegrees) / 180.0 * kPi);
}
inline float modelElevation(float panelDegrees) {
  return static_cast<float>(static_cast<double>(panelDegrees) / 180.0 * kPi);
}
inline double panelAzimuth(float modelRadians) { return -modelRadians / kPi * 180.0; }
inline double panelElevation(float modelRadians) { return modelRadians / kPi * 180.0; }

// The target from the panel's "X" and "Z" (it stands on the ground), and back.
inline Vector3f modelTarget(float panelX, float panelZ) { return Vector3f(panelZ, 0.0f, panelX); }
inline float panelTargetX(const Vector3f& target) { return target.z; }
inline float panelTargetZ(const Vector3f& target) { return target.x; }

}  // namespace ballisticsunits

// The panel's start-up values in its own units.
struct BallisticsPanelValues {
  double azimuth = 10.0;  // degrees
  double elevation = 45.0;
  double projectileMass = 1000.0;
  double powderAmount = 1.0;
  double powderPower = 10000.0;
  double gravity = -9.8;  // an acceleration: the mass does not scale it
  double airFriction = 50.0;
  double targetX = 10.0;
  double targetZ = 0.0;
  double timeStep = 0.1;
  DragLaw drag = DragLaw::Linear;  // pbsim's panel flies linear drag only
};

// The model parameters for panel values, converted as the panel converts them.
inline BallisticsParams ballisticsParamsFromPanel(const BallisticsPanelValues& v) {
  BallisticsParams p;
  p.azimuth = ballisticsunits::modelAzimuth(static_cast<float>(v.azimuth));
  p.elevation = ballisticsunits::modelElevation(static_cast<float>(v.elevation));
  p.projectileMass = static_cast<float>(v.projectileMass);
  p.powderAmount = static_cast<float>(v.powderAmount);
  p.powderPower = static_cast<float>(v.powderPower);
  p.gravity = static_cast<float>(v.gravity);
  p.airFriction = static_cast<float>(v.airFriction);
  p.target =
      ballisticsunits::modelTarget(static_cast<float>(v.targetX), static_cast<float>(v.targetZ));
  p.timeStep = static_cast<float>(v.timeStep);
  p.time = 0.0f;
  p.drag = v.drag;
  return p;
}

// The parameters pbsim installs at start: the panel's start-up values
// converted as the panel converts them (azimuth -10° in the model's sense,
// elevation 45°, projectile mass 1000, one unit of powder of power 10000,
// gravity -9.8, air friction 50, the target 10 ahead, time step 0.1).
inline BallisticsParams startUpBallisticsParams() {
  return ballisticsParamsFromPanel(BallisticsPanelValues());
}
