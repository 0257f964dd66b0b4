#pragma once

// The spring-mass run loop, written once for the single-precision model and
// its double-precision twin: start at rest, step until the body comes to
// rest or the trajectory holds kMaxSpringSamples heights (or, when asked,
// until a number of steps).

#include <climits>

#include "springmassparams.h"

// Model provides start(), observed(), massless(), record() after each step,
// samples() and atRest(settled); stepOnce() integrates one step and returns
// 1 when an evaluation of it found the body at rest. observe(step, state)
// sees the starting state as step 0 and the state after every step.
template <class Model, class Step, class Observer>
SpringRunResult springLoop(Model& model, Step&& stepOnce, Observer&& observe,
                           int untilSteps = INT_MAX) {
  model.start();
  observe(0, model.observed());
  SpringRunResult result;
  // With no mass the acceleration F/m has no value; the run would only fill
  // the trajectory with infinities and NaN.
  if (model.massless()) {
    result.ran = false;
    return result;
  }
  int settled = 0;
  do {
    settled = stepOnce();
    model.record();
    ++result.steps;
    observe(result.steps, model.observed());
    result.settled = model.atRest(settled);
  } while (!result.settled && model.samples() < kMaxSpringSamples && result.steps < untilSteps);
  return result;
}
