#pragma once

// The ballistics model: a projectile fired from a gun at the origin flies
// under gravity and linear air friction until it reaches the ground y = 0.
// Pure computation; it knows nothing of windows or drawing.

#include <cstring>
#include <vector>

#include "integrators.h"
#include "vector3f.h"

// The parameters of one flight. Copied as a whole by the application, so the
// twelve floats and their order matter.
struct BallisticsParams {
  float azimuth = 0.0f;          // horizontal aim, radians; 0 fires along +z, positive turns to +x
  float elevation = 0.0f;        // aim above the horizontal, radians
  float projectileMass = 10.0f;  // mass of the projectile
  float powderAmount = 1.0f;     // amount of powder in the charge
  float powderPower = 10000.0f;  // impulse given by one unit of powder
  float gravity = -9.8f;         // signed acceleration along y; negative pulls down
  float airFriction = 50.0f;     // linear friction coefficient (force per unit speed)
  Vector3f target{100.0f, 100.0f, 0.0f};  // the target point; the flight never reads it
  float timeStep = 0.1f;                  // integration step
  float time = 0.0f;                      // simulated time of the current flight
};

// How a flight ended.
enum class FlightEnd {
  Landed,     // reached the ground; the last trajectory point lies on it
  StepLimit,  // still in the air after kMaxFlightSteps steps
  Stuck,      // a step left the state unchanged, so the flight could never end
};

struct FlightResult {
  FlightEnd end = FlightEnd::Landed;
  int steps = 0;  // steps taken: the trajectory holds steps + 1 points
};

// The projectile's state at launch: just above the ground over the gun,
// moving at the muzzle velocity.
constexpr float kLaunchHeight = 0.0001f;
Vector3f muzzleVelocity(const BallisticsParams& params);

class BallisticsSim {
 public:
  // A flight that has not reached the ground after this many steps is
  // stopped. Flights that land stay well below it even at a time step of 1e-6
  // (the start-up shot takes 1.43 million steps, the same shot fired straight
  // up 2.0 million), and the trajectory never takes room for more than
  // kMaxFlightSteps + 1 points, 46 MiB.
  static constexpr int kMaxFlightSteps = 4000000;

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
  FlightResult fly(Observer&& observe);
  FlightResult fly() {
    return fly([](int, const StateList&) {});
  }
  // One integration step, then params.time advances by params.timeStep.
  void step();
  void printTrajectory();

 private:
  void launch();
  void makeRoom();
  void placeGroundPoint();
};

template <class Observer>
FlightResult BallisticsSim::fly(Observer&& observe) {
  launch();
  observe(0, static_cast<const StateList&>(state));

  // Step until the height is no longer above 0 (a NaN height also ends the
  // flight). A flight that stops moving, or that is still in the air after
  // kMaxFlightSteps, would never end: it is stopped and left as it is, with no
  // ground point.
  FlightResult result;
  while (state[0].y > 0.0f) {
    if (result.steps == kMaxFlightSteps) {
      result.end = FlightEnd::StepLimit;
      return result;
    }
    const Vector3f before[2] = {state[0], state[1]};
    step();
    if (trajectory.size() == trajectory.capacity()) makeRoom();
    trajectory.push_back(state[0]);
    ++result.steps;
    observe(result.steps, static_cast<const StateList&>(state));
    if (std::memcmp(before, state.data(), sizeof before) == 0) {
      // The step left position and velocity bit for bit as they were. The
      // derivative does not depend on time, so the next step would do the
      // same again: the flight is stuck where it is.
      result.end = FlightEnd::Stuck;
      return result;
    }
  }
  placeGroundPoint();
  return result;
}

// dp/dt = v, dv/dt = -(airFriction/projectileMass)·v + (0, gravity, 0)
class BallisticSimDerivativeEvaluator final : public DerivativeEvaluator {
 public:
  explicit BallisticSimDerivativeEvaluator(BallisticsSim* sim) : sim_(sim) {}
  void evaluate(const StateList& inputs, StateList& outputs, float timeStep, float time) override;

 private:
  BallisticsSim* sim_;  // not owned
};
