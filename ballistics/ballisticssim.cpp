#include "ballisticssim.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "ballisticsexact.h"
#include "schemes.h"

namespace {

using V = Vector3f;  // V::wide(f): a float as a double, exactly

}  // namespace

void BallisticSimDerivativeEvaluator::evaluate(const StateList& inputs, StateList& outputs,
                                               float /*timeStep*/, float /*time*/) {
  // clang-format off
  assert(inputs.size()==2);
  // clang-format on
  const BallisticsParams& p = sim_->params;
  // Linear drag divided by the mass; gravity is already an acceleration.
  // dv/dt = c·v + (0, g, 0),  c = -airFriction/projectileMass
  const float c = static_cast<float>(-V::wide(p.airFriction) / V::wide(p.projectileMass));
  Vector3f a = inputs[1] * c;
  a.y = static_cast<float>(V::wide(a.y) + V::wide(p.gravity));
  outputs[0] = inputs[1];  // dp/dt = v
  outputs[1] = a;
}

void QuadraticDragEvaluator::evaluate(const StateList& inputs, StateList& outputs,
                                      float /*timeStep*/, float /*time*/) {
  const BallisticsParams& p = sim_->params;
  // dv/dt = c·|v|·v + (0, g, 0),  c = -airFriction/projectileMass
  const float c = static_cast<float>(-V::wide(p.airFriction) / V::wide(p.projectileMass));
  const float cs = static_cast<float>(V::wide(c) * V::wide(inputs[1].length()));
  Vector3f a = inputs[1] * cs;
  a.y = static_cast<float>(V::wide(a.y) + V::wide(p.gravity));
  outputs[0] = inputs[1];
  outputs[1] = a;
}

void BallisticsSim::setScheme(int newScheme) { scheme = newScheme; }

// Flattened: the scheme's integrator and every evaluation of the derivative
// compile into this one function, so the stage values of a step stay in
// registers instead of going through the lists' memory. No arithmetic
// changes; a fine flight's steps take about half the time.
[[gnu::flatten]] void BallisticsSim::step() {
  BallisticSimDerivativeEvaluator evaluator(this);
  stepWithScheme(scheme, state, evaluator, params.timeStep, params.time);
}

[[gnu::flatten]] void BallisticsSim::stepAnyScheme() {
  if (params.drag == DragLaw::Quadratic) {
    QuadraticDragEvaluator evaluator(this);
    stepWithAnyScheme(scheme, state, evaluator, params.timeStep, params.time);
  } else {
    BallisticSimDerivativeEvaluator evaluator(this);
    stepWithAnyScheme(scheme, state, evaluator, params.timeStep, params.time);
  }
}

void BallisticsSim::stepTableau(const ButcherTableau& tableau) {
  if (params.drag == DragLaw::Quadratic) {
    QuadraticDragEvaluator evaluator(this);
    integrateTableau(tableau, state, evaluator, params.timeStep, params.time);
  } else {
    BallisticSimDerivativeEvaluator evaluator(this);
    integrateTableau(tableau, state, evaluator, params.timeStep, params.time);
  }
  params.time = static_cast<float>(V::wide(params.time) + V::wide(params.timeStep));
}

StateList BallisticsSim::launchState(const BallisticsParams& params) {
  return StateList{launchPosition(), muzzleVelocity(params)};
}

void BallisticsSim::launch() {
  trajectory.clear();
  state = launchState(params);
  params.time = 0.0f;
  trajectory.push_back(state[0]);
  // How many points the flight will need, from the closed-form landing time.
  estimatedPoints_ = ExactFlight(params).expectedPoints(params.timeStep);
}

// Called when the trajectory is full. A fine flight would otherwise grow by
// doubling, copying itself some twenty times on the way to a million points
// and touching twice the memory it keeps; the closed-form landing time tells
// how many points the flight will need, so one allocation usually does.
// Where it cannot tell (no landing, or the estimate is already passed), the
// trajectory doubles as before.
void BallisticsSim::makeRoom() {
  const std::size_t size = trajectory.size();
  std::size_t wanted = size < 8 ? 16 : 2 * size;
  if (estimatedPoints_) {
    const double points = *estimatedPoints_;
    if (points >= double(kMaxFlightSteps) + 1.0)
      wanted = std::size_t(kMaxFlightSteps) + 1;
    else if (points > double(size))
      wanted = std::max(wanted / 2 + 1, static_cast<std::size_t>(points));
  }
  // No flight holds more than the step limit allows, however far past its
  // estimate it runs.
  trajectory.reserve(std::min(wanted, std::size_t(kMaxFlightSteps) + 1));
}

// Moves the last point back onto the ground along the segment from the last
// point above it: r is the fraction of the segment above ground.
void BallisticsSim::placeGroundPoint() {
  const std::size_t n = trajectory.size() - 1;
  const Vector3f& above = trajectory[n - 1];
  Vector3f& ground = trajectory[n];
  const float r = static_cast<float>(groundFraction(above.y, ground.y));
  ground.y = 0.0f;
  ground.x =
      static_cast<float>(V::wide(above.x) + (V::wide(ground.x) - V::wide(above.x)) * V::wide(r));
  ground.z =
      static_cast<float>(V::wide(above.z) + (V::wide(ground.z) - V::wide(above.z)) * V::wide(r));
}

void BallisticsSim::simulate() {
  std::printf("Beginning numerical simulation ... ");
  const FlightResult result = fly();
  switch (result.end) {
    case FlightEnd::Landed:
      std::printf("done, in %d iterations\n", result.steps);
      break;
    case FlightEnd::StepLimit:
      std::printf("stopped after %d iterations: the projectile had not reached the ground\n",
                  result.steps);
      break;
    case FlightEnd::Stuck:
      std::printf(
          "stopped after %d iterations: the projectile no longer moves and will never "
          "reach the ground\n",
          result.steps);
      break;
  }
}

void BallisticsSim::printTrajectory() {
  std::printf("Trajectory of projectile follows : \n");
  for (const Vector3f& p : trajectory)
    std::printf("(%f, %f, %f), ", V::wide(p.x), V::wide(p.y), V::wide(p.z));
  std::printf("\nTrajectory complete.\n");
}

[[gnu::flatten]] void BallisticsSimDouble::step() {
  above_ = {state[0], state[1], state[2]};
  const double h = params.timeStep;
  if (custom)
    custom(state, time, h);
  else
    stepWide(scheme, tableau, FlightEquations<double>(params), state, time, h);
  time += h;
}

void BallisticsSimDouble::launch() {
  state = FlightEquations<double>::launchState(params);
  time = 0.0;
  ground_ = {};
}

void BallisticsSimDouble::placeGroundPoint() {
  const double r = groundFraction(above_[1], state[1]);
  ground_ = {above_[0] + (state[0] - above_[0]) * r, 0.0, above_[2] + (state[2] - above_[2]) * r};
}
