#pragma once

// The flight loop, written once for the single-precision model and its
// double-precision twin: launch, step until the height is no longer above 0,
// and stop a flight that can never end.

#include "ballisticsparams.h"

// Model provides launch(), height(), bits() (a trivially copyable copy of
// position and velocity), unchanged(bits) (the state still has those bits),
// record() after each step and placeGroundPoint().
// stepOnce() integrates one step; observe(step, state) sees the launch state
// as step 0 and the state after every step, before the last point is moved
// onto the ground.
template <class Model, class Step, class Observer>
FlightResult flyLoop(Model& model, Step&& stepOnce, Observer&& observe) {
  model.launch();
  observe(0, model.observed());

  // Step until the height is no longer above 0 (a NaN height also ends the
  // flight). A flight that stops moving, or that is still in the air after
  // kMaxFlightSteps, would never end: it is stopped and left as it is, with no
  // ground point.
  FlightResult result;
  while (model.height() > 0) {
    if (result.steps == kMaxFlightSteps) {
      result.end = FlightEnd::StepLimit;
      return result;
    }
    const auto before = model.bits();
    stepOnce();
    model.record();
    ++result.steps;
    observe(result.steps, model.observed());
    if (model.unchanged(before)) {
      // The step left position and velocity bit for bit as they were. The
      // derivative does not depend on time, so the next step would do the
      // same again: the flight is stuck where it is.
      result.end = FlightEnd::Stuck;
      return result;
    }
  }
  model.placeGroundPoint();
  return result;
}
