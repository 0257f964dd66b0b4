#pragma once

// The ballistics model: a projectile fired from a gun at the origin flies
// under gravity and linear air friction until it reaches the ground y = 0.
// Pure computation; it knows nothing of windows or drawing.

#include <array>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

#include "ballisticsparams.h"
#include "flightloop.h"
#include "integrators.h"
#include "tableau.h"
#include "vector3f.h"

class BallisticsSim {
 public:
  // See ballisticsparams.h.
  static constexpr int kMaxFlightSteps = ::kMaxFlightSteps;

  BallisticsParams params;
  int scheme = Euler;                // an IntegrationScheme value; not validated
  std::vector<Vector3f> trajectory;  // launch point first, ground point last
  StateList state;                   // [0] position, [1] velocity

  void setScheme(int newScheme);
  // One whole flight from params with scheme; prints one console line.
  void simulate();
  // The same flight without console output (apart from the message of a
  // scheme value that names no scheme). observe(step, state) sees the launch
  // state as step 0 and the state after every step, before the last point is
  // moved onto the ground.
  template <class Observer>
  FlightResult fly(Observer&& observe) {
    return flyLoop(
        *this, [this] { step(); }, observe);
  }
  FlightResult fly() {
    return fly([](int, const StateList&) {});
  }
  // The same flight with any scheme of schemes.h, pbsim's three with the
  // same bits as fly(), or with `tableau` when it is given.
  template <class Observer>
  FlightResult flyAnyScheme(Observer&& observe, const ButcherTableau* tableau = nullptr) {
    if (tableau)
      return flyLoop(
          *this, [this, tableau] { stepTableau(*tableau); }, observe);
    return flyLoop(
        *this, [this] { stepAnyScheme(); }, observe);
  }
  // One integration step, then params.time advances by params.timeStep.
  void step();
  void stepAnyScheme();
  void stepTableau(const ButcherTableau& tableau);
  void printTrajectory();
  // The state every flight starts from: at the launch point with the
  // muzzle velocity.
  static StateList launchState(const BallisticsParams& params);

 private:
  template <class Model, class Step, class Observer>
  friend FlightResult flyLoop(Model&, Step&&, Observer&&);
  struct Bits {
    Vector3f position, velocity;
  };
  void launch();
  double height() const { return state[0].y; }
  Bits bits() const { return {state[0], state[1]}; }
  bool unchanged(const Bits& before) const {
    return std::memcmp(&before, state.data(), sizeof before) == 0;
  }
  const StateList& observed() const { return state; }
  void record() {
    if (trajectory.size() == trajectory.capacity()) makeRoom();
    trajectory.push_back(state[0]);
  }
  void makeRoom();
  void placeGroundPoint();

  std::optional<double> estimatedPoints_;  // from the closed-form landing, once per flight
};

// The same flight in double precision: the same launch state (the muzzle
// velocity as the single-precision model computes it), loop, stops and step
// limit, with every scheme of schemes.h, a tableau, or a step of the
// caller's own. It keeps no trajectory: observers record what they need.
class BallisticsSimDouble {
 public:
  using State = std::array<double, 6>;  // x, y, z, vx, vy, vz
  // One step of the caller's own: advances the state from time t by h.
  using CustomStep = std::function<void(State& state, double t, double h)>;

  BallisticsParams params;
  int scheme = Euler;
  const ButcherTableau* tableau = nullptr;  // used instead of scheme when set; not owned
  CustomStep custom;                        // used instead of both when set
  State state{};
  double time = 0.0;

  template <class Observer>
  FlightResult fly(Observer&& observe) {
    return flyLoop(
        *this, [this] { step(); }, observe);
  }
  void step();
  // After a landed flight: the point on the ground, interpolated along the
  // last step as the single-precision model does.
  const std::array<double, 3>& groundPoint() const { return ground_; }

 private:
  template <class Model, class Step, class Observer>
  friend FlightResult flyLoop(Model&, Step&&, Observer&&);
  void launch();
  double height() const { return state[1]; }
  State bits() const { return state; }
  bool unchanged(const State& before) const {
    return std::memcmp(&before, state.data(), sizeof before) == 0;
  }
  const State& observed() const { return state; }
  void record() {}
  void placeGroundPoint();

  std::array<double, 3> above_{}, ground_{};
};

// dp/dt = v, dv/dt = -(airFriction/projectileMass)·v + (0, gravity, 0)
class BallisticSimDerivativeEvaluator final : public DerivativeEvaluator {
 public:
  explicit BallisticSimDerivativeEvaluator(BallisticsSim* sim) : sim_(sim) {}
  void evaluate(const StateList& inputs, StateList& outputs, float timeStep, float time) override;

 private:
  BallisticsSim* sim_;  // not owned
};

// With quadratic drag: dv/dt = -(airFriction/projectileMass)·|v|·v + (0, gravity, 0),
// under the same arithmetic rule.
class QuadraticDragEvaluator final : public DerivativeEvaluator {
 public:
  explicit QuadraticDragEvaluator(BallisticsSim* sim) : sim_(sim) {}
  void evaluate(const StateList& inputs, StateList& outputs, float timeStep, float time) override;

 private:
  BallisticsSim* sim_;  // not owned
};
