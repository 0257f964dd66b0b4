#include "integrators.h"

#include <cstddef>
#include <cstdio>

namespace {

inline float half(float h) { return static_cast<float>(static_cast<double>(h) / 2.0); }
inline float later(float t, float dt) {
  return static_cast<float>(static_cast<double>(dt) + static_cast<double>(t));
}

// out[i] = s[i] + w·d[i]
void stage(StateList& out, const StateList& s, float w, const StateList& d) {
  for (std::size_t i = 0; i < s.size(); ++i) out[i] = linearCombination(s[i], 1.0f, d[i], w);
}

// s[i] += w·d[i]
void advance(StateList& s, float w, const StateList& d) {
  for (std::size_t i = 0; i < s.size(); ++i) linearCombinationInPlace(s[i], 1.0f, d[i], w);
}

}  // namespace

void integrateEuler(StateList& state, DerivativeEvaluator& evaluator, float timeStep, float time) {
  ScratchArena scratch;
  StateList derivatives = scratch.list(state.size());
  evaluator.evaluate(state, derivatives, timeStep, time);  // k1 = f(x, t)
  advance(state, timeStep, derivatives);                   // x += h·k1
}

void integrateMidpoint(StateList& state, DerivativeEvaluator& evaluator, float timeStep,
                       float time) {
  const float h2 = half(timeStep);
  ScratchArena scratch;
  StateList derivatives1 = scratch.list(state.size());
  StateList derivatives2 = scratch.list(state.size());
  evaluator.evaluate(state, derivatives1, timeStep, time);              // k1 = f(x, t)
  stage(derivatives2, state, h2, derivatives1);                         // xm = x + h/2·k1
  evaluator.evaluate(derivatives2, derivatives1, h2, later(time, h2));  // k2 = f(xm, t + h/2)
  advance(state, timeStep, derivatives1);                               // x += h·k2
}

void integrateRK4(StateList& state, DerivativeEvaluator& evaluator, float timeStep, float time) {
  const std::size_t n = state.size();
  const float h2 = half(timeStep);
  const float tHalf = later(time, h2);
  const float tFull = later(time, timeStep);
  ScratchArena scratch;
  StateList k1 = scratch.list(n);
  StateList k2 = scratch.list(n);
  StateList k3 = scratch.list(n);
  StateList k4 = scratch.list(n);
  StateList intermediateVariables = scratch.list(n);

  evaluator.evaluate(state, k1, timeStep, time);                   // k1 = f(x, t)
  stage(intermediateVariables, state, h2, k1);                     //
  evaluator.evaluate(intermediateVariables, k2, h2, tHalf);        // k2 = f(x + h/2·k1, t + h/2)
  stage(intermediateVariables, state, h2, k2);                     //
  evaluator.evaluate(intermediateVariables, k3, h2, tHalf);        // k3 = f(x + h/2·k2, t + h/2)
  stage(intermediateVariables, state, timeStep, k3);               //
  evaluator.evaluate(intermediateVariables, k4, timeStep, tFull);  // k4 = f(x + h·k3, t + h)

  // x += h/6·(((k1 + 2·k2) + 2·k3) + k4), summed in double in that order.
  const double h6 = static_cast<double>(timeStep) / 6.0;
  auto update = [h6](float s, float a, float b, float c, float e) {
    const double sum =
        ((static_cast<double>(a) + 2.0 * static_cast<double>(b)) + 2.0 * static_cast<double>(c)) +
        static_cast<double>(e);
    return static_cast<float>(static_cast<double>(s) + h6 * sum);
  };
  for (std::size_t i = 0; i < n; ++i) {
    // Read every input before storing: the lists are distinct, but the
    // compiler cannot know that.
    const Vector3f s = state[i], a = k1[i], b = k2[i], c = k3[i], e = k4[i];
    state[i] = Vector3f(update(s.x, a.x, b.x, c.x, e.x), update(s.y, a.y, b.y, c.y, e.y),
                        update(s.z, a.z, b.z, c.z, e.z));
  }
}

void stepWithScheme(int scheme, StateList& state, DerivativeEvaluator& evaluator, float timeStep,
                    float& time) {
  switch (scheme) {
    case Euler:
      integrateEuler(state, evaluator, timeStep, time);
      break;
    case Midpoint:
      integrateMidpoint(state, evaluator, timeStep, time);
      break;
    case RK4:
      integrateRK4(state, evaluator, timeStep, time);
      break;
    default:
      std::printf("Error : Unknown integration scheme attempted\n");
      break;
  }
  time = static_cast<float>(static_cast<double>(time) + static_cast<double>(timeStep));
}
