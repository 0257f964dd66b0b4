#pragma once

// The spring-mass model: a body hanging on one damped spring whose upper end
// is fixed at the origin, moving along y until it comes to rest. Pure
// computation; it knows nothing of windows or drawing.

#include <vector>

#include "integrators.h"
#include "vector3f.h"

struct SpringParams {
  float ks = 15.0f;         // stiffness: force per unit of stretch
  float kd = 1.0f;          // damping: force per unit of vertical speed
  float restLength = 1.0f;  // length at which the spring exerts no force

  SpringParams() = default;
  SpringParams(float ks_, float kd_, float restLength_)
      : ks(ks_), kd(kd_), restLength(restLength_) {}
};

struct SpringMassParams {
  int springCount;                    // number of springs; always 1 here
  std::vector<SpringParams> springs;  // only entry 0 is used
  float mass;                         // mass of the body
  float gravity;                      // signed force along y, added unscaled by the mass
  float timeStep;                     // integration step
  float time;                         // simulated time at the start of the next step

  SpringMassParams();
  // Sets mass and gravity and resizes springs to count entries; existing
  // entries are kept, new ones get the defaults.
  void setValues(float newMass, float newGravity, int count);
};

// How a spring-mass run ended.
struct SpringRunResult {
  bool ran = true;       // false: refused before the first step (a mass of 0)
  bool settled = false;  // came to rest, rather than stopping at kMaxSamples
  int steps = 0;         // steps taken: the trajectory holds steps + 1 heights
};

class SpringMassSim {
 public:
  // A run that has not come to rest ends when the trajectory holds this many
  // samples (the start plus 14999 steps).
  static constexpr std::size_t kMaxSamples = 15000;

  SpringMassParams params;
  int scheme = Euler;             // an IntegrationScheme value
  std::vector<float> trajectory;  // height before the first step and after every step
  StateList state;                // [0] position, [1] velocity

  void setScheme(int newScheme);
  // One integration step, then params.time advances by params.timeStep.
  // Returns 1 when an evaluation of this step found the body at rest.
  int step();
  // Starts at rest at the rest length below the anchor and integrates until
  // the body settles or kMaxSamples heights exist; prints one console line.
  void simulate();
  // The same run without console output (apart from the message of a scheme
  // value that names no scheme). observe(step, state) sees the starting state
  // as step 0 and the state after every step.
  template <class Observer>
  SpringRunResult run(Observer&& observe);
  SpringRunResult run() {
    return run([](int, const StateList&) {});
  }
  void printTrajectory();

 private:
  static bool atRest(const StateList& state, int settled);
  void start();
};

template <class Observer>
SpringRunResult SpringMassSim::run(Observer&& observe) {
  start();
  observe(0, static_cast<const StateList&>(state));
  SpringRunResult result;
  // With no mass the acceleration F/m has no value; the run would only fill
  // the trajectory with infinities and NaN.
  if (params.mass == 0.0f) {
    result.ran = false;
    return result;
  }
  int settled = 0;
  do {
    settled = step();
    trajectory.push_back(state[0].y);
    ++result.steps;
    observe(result.steps, static_cast<const StateList&>(state));
    result.settled = atRest(state, settled);
  } while (!result.settled && trajectory.size() < kMaxSamples);
  return result;
}

// dp/dt = v, dv/dt = (F_spring - kd·v.y + gravity)/mass along y, with the
// spring force pulling towards the anchor when longer than its rest length.
class SpringMassSimDerivativeEvaluator final : public DerivativeEvaluator {
 public:
  int settled = 0;  // set to 1 by an evaluation that finds speed and acceleration ~0

  explicit SpringMassSimDerivativeEvaluator(SpringMassSim& sim) : sim_(sim) {}
  void evaluate(const StateList& inputs, StateList& outputs, float timeStep, float time) override;

 private:
  SpringMassSim& sim_;  // not owned
};
