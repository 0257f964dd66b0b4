#pragma once

// The spring-mass model's parameters, start state, limits, at-rest rule and
// equations of motion: what the closed-form motion and the simulators share.
// A body hangs on one damped spring whose upper end is fixed at the origin
// and moves along y until it comes to rest.

#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

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

// A run that has not come to rest ends when the trajectory holds this many
// samples (the start plus 14999 steps).
constexpr std::size_t kMaxSpringSamples = 15000;

// The at-rest rule: an evaluation whose speed and acceleration are both
// below kSettleThreshold in magnitude settles its step, and the run ends
// after a settled step whose final speed is at most kRestSpeed.
constexpr float kSettleThreshold = 0.00001f;
constexpr float kRestSpeed = 0.001f;

// The body starts at rest, the spring unstretched below the anchor.
inline float startHeight(const SpringMassParams& p) { return -p.springs[0].restLength; }

// The equations of motion in a wide type T, the model's whole force law:
// state (y, v), dy/dt = v,
// dv/dt = (-ks·(|y| - L)·sign(y) - kd·v + gravity)/mass, sign(0) = +1.
template <class T>
struct SpringEquations {
  using State = std::array<T, 2>;
  T mass, ks, kd, length, gravity;

  explicit SpringEquations(const SpringMassParams& p)
      : mass(p.mass),
        ks(p.springs[0].ks),
        kd(p.springs[0].kd),
        length(p.springs[0].restLength),
        gravity(p.gravity) {}

  T acceleration(T y, T v) const {
    const T side = y >= 0 ? 1 : -1;
    return ((std::fabs(y) - length) * -ks * side - kd * v + gravity) / mass;
  }
  void operator()(const State& x, State& dxdt, T) const {
    dxdt[0] = x[1];
    dxdt[1] = acceleration(x[0], x[1]);
  }
  // ∂f/∂x, for the implicit schemes' Newton iteration (the spring's force
  // is linear in the height on either side of the anchor).
  void jacobian(const State&, std::array<State, 2>& jac, T) const {
    jac = {{{0, 1}, {-ks / mass, -kd / mass}}};
  }
  static State startState(const SpringMassParams& p) { return {static_cast<T>(startHeight(p)), 0}; }
};
