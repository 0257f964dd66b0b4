#include "springmasssim.h"

#include <cassert>
#include <cmath>
#include <cstdio>

#include "schemes.h"

namespace {

using V = Vector3f;  // V::wide(f): a float as a double, exactly

}  // namespace

void SpringMassSimDerivativeEvaluator::evaluate(const StateList& inputs, StateList& outputs,
                                                float /*timeStep*/, float /*time*/) {
  // clang-format off
  assert(inputs.size()==2);
  // clang-format on
  const SpringParams& s = sim_.params.springs[0];
  const Vector3f& p = inputs[0];
  const Vector3f& v = inputs[1];

  // Hooke's law along the line to the anchor: F = -ks·(|y| - restLength)·sign(y)
  // pulls the body towards the anchor when stretched and pushes it away when
  // compressed, on either side of it; y = 0 counts as the positive side.
  const float sgn = p.y >= 0.0f ? 1.0f : -1.0f;
  float force = static_cast<float>((V::wide(std::fabs(p.y)) - V::wide(s.restLength)) *
                                   -V::wide(s.ks) * V::wide(sgn));
  force = static_cast<float>(V::wide(force) -
                             V::wide(s.kd) * V::wide(v.y));  // damping against the velocity
  force = static_cast<float>(V::wide(force) + V::wide(sim_.params.gravity));  // gravity, as a force
  const float a = static_cast<float>(V::wide(force) / V::wide(sim_.params.mass));

  outputs[0] = v;
  outputs[1] = Vector3f(0.0f, a, 0.0f);
  if (std::fabs(outputs[0].y) < kSettleThreshold && std::fabs(outputs[1].y) < kSettleThreshold)
    settled = 1;
}

void SpringMassSim::setScheme(int newScheme) { scheme = newScheme; }

// Flattened, as the ballistics step is: the integrator and the evaluator's
// arithmetic compile into one function.
[[gnu::flatten]] int SpringMassSim::step() {
  SpringMassSimDerivativeEvaluator evaluator(*this);
  stepWithScheme(scheme, state, evaluator, params.timeStep, params.time);
  return evaluator.settled;
}

[[gnu::flatten]] int SpringMassSim::stepAnyScheme() {
  SpringMassSimDerivativeEvaluator evaluator(*this);
  stepWithAnyScheme(scheme, state, evaluator, params.timeStep, params.time);
  return evaluator.settled;
}

int SpringMassSim::stepTableau(const ButcherTableau& tableau) {
  SpringMassSimDerivativeEvaluator evaluator(*this);
  integrateTableau(tableau, state, evaluator, params.timeStep, params.time);
  params.time = static_cast<float>(V::wide(params.time) + V::wide(params.timeStep));
  return evaluator.settled;
}

// The run ends once the speed is at most kRestSpeed and the last step settled.
bool SpringMassSim::atRest(const StateList& state, int settled) {
  return !(state[1].length() > kRestSpeed || settled != 1);
}

StateList SpringMassSim::startState(const SpringMassParams& params) {
  return StateList{Vector3f(0.0f, startHeight(params), 0.0f), Vector3f(0.0f, 0.0f, 0.0f)};
}

void SpringMassSim::start() {
  assert(!params.springs.empty());
  state = startState(params);
  trajectory.clear();
  trajectory.push_back(state[0].y);
}

void SpringMassSim::simulate() {
  std::printf("Beginning numerical simulation ... ");
  const SpringRunResult result = run();
  if (!result.ran)
    std::printf("not run: a mass of 0 gives the body no defined acceleration\n");
  else
    std::printf("done, in %d iterations\n", result.steps);
}

void SpringMassSim::printTrajectory() {
  std::printf("Trajectory of mass follows : \n");
  for (float h : trajectory) std::printf("(%f), ", V::wide(h));
  std::printf("\nTrajectory complete(%d).\n", static_cast<int>(trajectory.size()));
}

int SpringMassSimDouble::step() {
  const SpringEquations<double> equations(params);
  // The at-rest rule looks at every evaluation of the step, as the
  // single-precision model's evaluator does.
  int settled = 0;
  auto f = [&equations, &settled](const State& x, State& dxdt, double t) {
    equations(x, dxdt, t);
    if (std::fabs(dxdt[0]) < kSettleThreshold && std::fabs(dxdt[1]) < kSettleThreshold) settled = 1;
  };
  const double h = params.timeStep;
  if (custom) {
    custom(state, time, h);
    // A step of the caller's own is judged by one evaluation at its end.
    State d;
    f(state, d, time + h);
  } else {
    stepWide(scheme, tableau, f, state, time, h);
  }
  time += h;
  return settled;
}

bool SpringMassSimDouble::atRest(int settled) const {
  return !(std::fabs(state[1]) > kRestSpeed || settled != 1);
}

void SpringMassSimDouble::start() {
  state = SpringEquations<double>::startState(params);
  time = 0.0;
  samples_ = 1;
}
