#pragma once

// The spring-mass panel's units and start-up values. The panel reads every
// input as a double and hands it to the model as a float; the tests,
// pbsim-study and the other front ends convert through this, so equal numbers
// give equal runs everywhere.

#include "springmassparams.h"

// The panel's start-up values in its own units.
struct SpringPanelValues {
  double mass = 5.0;      // kg
  double ks = 15.0;       // N/m
  double kd = 1.0;        // kg/s
  double rest = 1.0;      // rest length, m
  double gravity = -9.8;  // a force along y, N: the mass does not scale it
  double timeStep = 0.1;  // s
};

// The model parameters for panel values, converted as the panel converts them.
inline SpringMassParams springParamsFromPanel(const SpringPanelValues& v) {
  SpringMassParams p;
  p.setValues(static_cast<float>(v.mass), static_cast<float>(v.gravity), 1);
  p.springs[0] =
      SpringParams(static_cast<float>(v.ks), static_cast<float>(v.kd), static_cast<float>(v.rest));
  p.timeStep = static_cast<float>(v.timeStep);
  return p;
}

// The parameters pbsim installs at start.
inline SpringMassParams startUpSpringParams() { return springParamsFromPanel(SpringPanelValues()); }
