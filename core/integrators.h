#pragma once

#include <memory_resource>
#include <vector>

#include "vector3f.h"

// A model's state: entry 0 the position, entry 1 the velocity. The derivative
// list has the same length: entry i is the time derivative of state entry i.
// The list is polymorphic-allocator based so the integrators' short-lived
// temporaries can live in a small buffer on the stack.
using StateList = std::pmr::vector<Vector3f>;

// What an integrator knows of a model: given a state, write its derivatives.
class DerivativeEvaluator {
 public:
  // outputs already has the length of inputs; every entry is overwritten.
  // timeStep is the length of the stage that goes with this evaluation and
  // time is the simulated time at that stage.
  virtual void evaluate(const StateList& inputs, StateList& outputs, float timeStep,
                        float time) = 0;

 protected:
  ~DerivativeEvaluator() = default;  // never deleted through this base
};

// The scheme a model integrates with, stored as a plain int.
enum IntegrationScheme { Euler = 0, Midpoint = 1, RK4 = 2 };

// One explicit step of length timeStep from time, in place. None of them
// advances time; stepWithScheme does.
void integrateEuler(StateList& state, DerivativeEvaluator& evaluator, float timeStep, float time);
void integrateMidpoint(StateList& state, DerivativeEvaluator& evaluator, float timeStep,
                       float time);
void integrateRK4(StateList& state, DerivativeEvaluator& evaluator, float timeStep, float time);

// The one-step dispatch shared by the models: integrates with the scheme
// named by `scheme` (printing "Error : Unknown integration scheme attempted"
// and leaving the state alone for any other value), then advances time by
// timeStep in single precision in every case.
void stepWithScheme(int scheme, StateList& state, DerivativeEvaluator& evaluator, float timeStep,
                    float& time);
