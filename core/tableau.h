#pragma once

// An explicit Runge-Kutta method given by its Butcher tableau, for schemes
// that users write themselves:
//   k_i = f(x + h·Σ_{j<i} a_ij·k_j, t + c_i·h),   x+ = x + h·Σ b_i·k_i.
// In single precision it follows the rules of the built-in schemes: every
// stage and the update are formed in double and narrowed to float once per
// component.

#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "integrators.h"

struct ButcherTableau {
  std::string name;
  std::vector<std::vector<double>> a;  // s rows; row i has at least i entries, only j < i are read
  std::vector<double> b;               // s weights
  std::vector<double> c;               // s nodes

  std::size_t stages() const { return b.size(); }

  // An empty string, or why the tableau cannot be run.
  std::string problem() const {
    const std::size_t s = b.size();
    if (s == 0) return "the tableau has no stages (b is empty)";
    if (s > 16) return "the tableau has more than 16 stages";
    if (c.size() != s) return "c must have as many entries as b";
    if (a.size() != s) return "a must have as many rows as b has entries";
    for (std::size_t i = 0; i < s; ++i) {
      if (a[i].size() < i) return "row " + std::to_string(i) + " of a is too short";
      for (std::size_t j = 0; j < a[i].size(); ++j) {
        if (!std::isfinite(a[i][j])) return "a holds a value that is not finite";
        if (j >= i && a[i][j] != 0.0)
          return "a is not explicit: a[" + std::to_string(i) + "][" + std::to_string(j) +
                 "] must be 0";
      }
      if (!std::isfinite(b[i]) || !std::isfinite(c[i]))
        return "b or c holds a value that is not finite";
    }
    return "";
  }
};

// One step of the tableau's method on a model's state, in place; time is not
// advanced. The tableau must have no problem().
inline void integrateTableau(const ButcherTableau& tableau, StateList& state,
                             DerivativeEvaluator& evaluator, float timeStep, float time) {
  const std::size_t n = state.size();
  const std::size_t s = tableau.stages();
  const double h = static_cast<double>(timeStep);
  std::vector<StateList> k(s, StateList(n));
  StateList stage(n);
  for (std::size_t i = 0; i < s; ++i) {
    for (std::size_t e = 0; e < n; ++e) {
      double x = state[e].x, y = state[e].y, z = state[e].z;
      for (std::size_t j = 0; j < i; ++j) {
        const double w = h * tableau.a[i][j];
        if (w == 0.0) continue;
        x += w * static_cast<double>(k[j][e].x);
        y += w * static_cast<double>(k[j][e].y);
        z += w * static_cast<double>(k[j][e].z);
      }
      stage[e] = Vector3f(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
    }
    const float t = static_cast<float>(static_cast<double>(time) + tableau.c[i] * h);
    evaluator.evaluate(stage, k[i], timeStep, t);
  }
  for (std::size_t e = 0; e < n; ++e) {
    double x = 0.0, y = 0.0, z = 0.0;
    for (std::size_t i = 0; i < s; ++i) {
      x += tableau.b[i] * static_cast<double>(k[i][e].x);
      y += tableau.b[i] * static_cast<double>(k[i][e].y);
      z += tableau.b[i] * static_cast<double>(k[i][e].z);
    }
    state[e] = Vector3f(static_cast<float>(static_cast<double>(state[e].x) + h * x),
                        static_cast<float>(static_cast<double>(state[e].y) + h * y),
                        static_cast<float>(static_cast<double>(state[e].z) + h * z));
  }
}
