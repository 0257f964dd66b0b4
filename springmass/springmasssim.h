#pragma once

// The spring-mass model: a body hanging on one damped spring whose upper end
// is fixed at the origin, moving along y until it comes to rest. Pure
// computation; it knows nothing of windows or drawing.

#include <array>
#include <climits>
#include <functional>
#include <vector>

#include "integrators.h"
#include "springloop.h"
#include "springmassparams.h"
#include "tableau.h"
#include "vector3f.h"

class SpringMassSim {
 public:
  // A run that has not come to rest ends when the trajectory holds this many
  // samples (the start plus 14999 steps).
  static constexpr std::size_t kMaxSamples = kMaxSpringSamples;

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
  SpringRunResult run(Observer&& observe) {
    return springLoop(
        *this, [this] { return step(); }, observe);
  }
  SpringRunResult run() {
    return run([](int, const StateList&) {});
  }
  // The same run with any scheme of schemes.h (pbsim's three with the same
  // bits as run()), or with `tableau` when it is given, ending after
  // untilSteps steps at the latest.
  template <class Observer>
  SpringRunResult runAnyScheme(Observer&& observe, const ButcherTableau* tableau = nullptr,
                               int untilSteps = INT_MAX) {
    if (tableau)
      return springLoop(
          *this, [this, tableau] { return stepTableau(*tableau); }, observe, untilSteps);
    return springLoop(
        *this, [this] { return stepAnyScheme(); }, observe, untilSteps);
  }
  int stepAnyScheme();
  int stepTableau(const ButcherTableau& tableau);
  void printTrajectory();
  // The state every run starts from: at rest, at the rest length below the
  // anchor.
  static StateList startState(const SpringMassParams& params);

 private:
  template <class Model, class Step, class Observer>
  friend SpringRunResult springLoop(Model&, Step&&, Observer&&, int);
  static bool atRest(const StateList& state, int settled);
  bool atRest(int settled) const { return atRest(state, settled); }
  void start();
  const StateList& observed() const { return state; }
  bool massless() const { return params.mass == 0.0f; }
  void record() { trajectory.push_back(state[0].y); }
  std::size_t samples() const { return trajectory.size(); }
};

// The same run in double precision: the same start, loop, at-rest rule and
// sample limit, with every scheme of schemes.h, a tableau, or a step of the
// caller's own. It keeps no trajectory: observers record what they need.
class SpringMassSimDouble {
 public:
  using State = std::array<double, 2>;  // y, v
  using CustomStep = std::function<void(State& state, double t, double h)>;

  SpringMassParams params;
  int scheme = Euler;
  const ButcherTableau* tableau = nullptr;  // used instead of scheme when set; not owned
  CustomStep custom;                        // used instead of both when set
  State state{};
  double time = 0.0;

  template <class Observer>
  SpringRunResult run(Observer&& observe, int untilSteps = INT_MAX) {
    return springLoop(
        *this, [this] { return step(); }, observe, untilSteps);
  }
  // One step; 1 when an evaluation of it found the body at rest.
  int step();

 private:
  template <class Model, class Step, class Observer>
  friend SpringRunResult springLoop(Model&, Step&&, Observer&&, int);
  bool atRest(int settled) const;
  void start();
  const State& observed() const { return state; }
  bool massless() const { return params.mass == 0.0f; }
  void record() { ++samples_; }
  std::size_t samples() const { return samples_; }

  std::size_t samples_ = 0;
};

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
