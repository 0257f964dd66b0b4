#pragma once

// The ballistics model's parameters, its launch state, its limits and its
// equations of motion: what the closed-form flight and the simulators share.
// A projectile fired from a gun at the origin flies under gravity and air
// friction until it reaches the ground y = 0. pbsim's friction is linear in
// the velocity; the headless front ends can also fly quadratic drag, the
// law of real air, which has no closed form.

#include <array>
#include <cmath>

#include "vector3f.h"

// How the air's friction depends on the velocity v: linear, -airFriction·v
// (airFriction in kg/s, pbsim's model), or quadratic, -airFriction·|v|·v
// (airFriction in kg/m).
enum class DragLaw { Linear, Quadratic };

// The parameters of one flight. Copied as a whole by the application, so the
// twelve floats and their order matter; the drag law follows them.
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
  DragLaw drag = DragLaw::Linear;
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

// A flight that has not reached the ground after this many steps is stopped.
// Flights that land stay well below it even at a time step of 1e-6 (the
// start-up shot takes 1.43 million steps, the same shot fired straight up
// 2.0 million), and the trajectory never takes room for more than
// kMaxFlightSteps + 1 points, 46 MiB.
constexpr int kMaxFlightSteps = 4000000;

// The projectile's state at launch: just above the ground over the gun,
// moving at the muzzle velocity (computed in single precision, as the model
// keeps it).
constexpr float kLaunchHeight = 0.0001f;
Vector3f muzzleVelocity(const BallisticsParams& params);
inline Vector3f launchPosition() { return Vector3f(0.0f, kLaunchHeight, 0.0f); }

// The fraction of the last segment that lies above the ground, from the
// heights of the last point above it and of the point below: where the
// ground point and the flight time are interpolated.
inline double groundFraction(double aboveY, double belowY) { return aboveY / (aboveY - belowY); }

// The equations of motion in a wide type T (double, or long double), as a
// system for Boost.Odeint and the wide steppers: the state is
// (x, y, z, vx, vy, vz), dp/dt = v, dv/dt = -k·v + (0, g, 0) with
// k = airFriction/projectileMass; with quadratic drag dv/dt = -k·|v|·v + (0, g, 0).
template <class T>
struct FlightEquations {
  using State = std::array<T, 6>;
  T k, g;
  bool quadratic;

  explicit FlightEquations(const BallisticsParams& p)
      : k(static_cast<T>(p.airFriction) / static_cast<T>(p.projectileMass)),
        g(static_cast<T>(p.gravity)),
        quadratic(p.drag == DragLaw::Quadratic) {}

  void operator()(const State& x, State& dxdt, T) const {
    for (int i = 0; i < 3; ++i) dxdt[i] = x[3 + i];
    if (quadratic) {
      using std::sqrt;
      const T ks = k * sqrt(x[3] * x[3] + x[4] * x[4] + x[5] * x[5]);
      for (int i = 3; i < 6; ++i) dxdt[i] = -ks * x[i];
    } else {
      for (int i = 3; i < 6; ++i) dxdt[i] = -k * x[i];
    }
    dxdt[4] += g;
  }

  // ∂f/∂x at x, for the implicit schemes' Newton iteration.
  void jacobian(const State& x, std::array<State, 6>& jac, T) const {
    for (auto& row : jac) row.fill(0);
    for (int i = 0; i < 3; ++i) jac[i][3 + i] = 1;
    if (quadratic) {
      // ∂(-k·|v|·v)/∂v = -k·(|v|·I + v·vᵀ/|v|)
      using std::sqrt;
      const T speed = sqrt(x[3] * x[3] + x[4] * x[4] + x[5] * x[5]);
      for (int i = 3; i < 6; ++i)
        for (int j = 3; j < 6; ++j)
          jac[i][j] = -k * ((i == j ? speed : T(0)) + (speed > 0 ? x[i] * x[j] / speed : T(0)));
    } else {
      for (int i = 3; i < 6; ++i) jac[i][i] = -k;
    }
  }

  // The model's launch state, widened.
  static State launchState(const BallisticsParams& p) {
    const Vector3f v0 = muzzleVelocity(p);
    return {0,
            static_cast<T>(kLaunchHeight),
            0,
            static_cast<T>(v0.x),
            static_cast<T>(v0.y),
            static_cast<T>(v0.z)};
  }
};
