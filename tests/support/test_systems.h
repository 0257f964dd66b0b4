#pragma once

// Small systems with known behaviour, shared by the tests.

#include <cmath>
#include <vector>

#include "integrators.h"

namespace testsys {

// Every entry's derivative is the same constant vector.
struct ConstantEvaluator : DerivativeEvaluator {
  Vector3f d;
  explicit ConstantEvaluator(Vector3f v) : d(v) {}
  void evaluate(const StateList& in, StateList& out, float, float) override {
    for (std::size_t i = 0; i < in.size(); ++i) out[i] = d;
  }
};

// Free fall: position' = velocity, velocity' = (0, g, 0).
struct FreeFallEvaluator : DerivativeEvaluator {
  float g;
  explicit FreeFallEvaluator(float g_) : g(g_) {}
  void evaluate(const StateList& in, StateList& out, float, float) override {
    out[0] = in[1];
    out[1] = Vector3f(0.0f, g, 0.0f);
  }
};

// Harmonic oscillator along x: x'' = -w²·x. Exact solution from (x0, v0):
// x(t) = x0·cos(wt) + v0/w·sin(wt).
struct OscillatorEvaluator : DerivativeEvaluator {
  float w2;
  explicit OscillatorEvaluator(float omegaSquared) : w2(omegaSquared) {}
  void evaluate(const StateList& in, StateList& out, float, float) override {
    out[0] = in[1];
    out[1] = Vector3f(static_cast<float>(-double(w2) * double(in[0].x)), 0.0f, 0.0f);
  }
};

// Records what every evaluation saw, and answers with a fixed derivative.
struct RecordingEvaluator : DerivativeEvaluator {
  struct Call {
    std::vector<Vector3f> inputs;
    std::size_t outputSize;
    float timeStep;
    float time;
  };
  std::vector<Call> calls;
  Vector3f answer{1.0f, 2.0f, 3.0f};
  void evaluate(const StateList& in, StateList& out, float timeStep, float time) override {
    calls.push_back({std::vector<Vector3f>(in.begin(), in.end()), out.size(), timeStep, time});
    for (auto& o : out) o = answer;
  }
};

}  // namespace testsys
