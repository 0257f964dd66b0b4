#pragma once

// An explicit Runge-Kutta method given by its Butcher tableau, for schemes
// that users write themselves:
//   k_i = f(x + h·Σ_{j<i} a_ij·k_j, t + c_i·h),   x+ = x + h·Σ b_i·k_i.
// In single precision it follows the rules of the built-in schemes: every
// stage and the update are formed in double and narrowed to float once per
// component.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "integrators.h"

// How closely a sum of a tableau's coefficients must meet its rule: within
// this fraction of the larger of the target and the sum of the terms' sizes,
// so that coefficients written as decimals to 12 digits and more still pass.
constexpr double kTableauTolerance = 1e-10;

// `sum` meets `target`, where `size` is the sum of its terms' absolute values.
// A sum that overflowed meets nothing.
inline bool meetsRule(double sum, double target, double size) {
  return std::isfinite(sum) &&
         std::abs(sum - target) <= kTableauTolerance * std::max(std::abs(target), size);
}

// A coefficient as the tableau's messages show it.
inline std::string tableauNumber(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.12g", v);
  return text;
}

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
    // c = A·1: each node is where its stage sits in the step.
    for (std::size_t i = 0; i < s; ++i) {
      double sum = 0.0, size = 0.0;
      for (std::size_t j = 0; j < i; ++j) {
        sum += a[i][j];
        size += std::abs(a[i][j]);
      }
      if (!meetsRule(sum, c[i], size)) {
        const std::string row = std::to_string(i);
        return "c[" + row + "] = " + tableauNumber(c[i]) + " but row " + row + " of a sums to " +
               tableauNumber(sum) + ": c must equal the sum of its row of a";
      }
    }
    // Σ b = 1: without it the method is not consistent (order 0).
    double sum = 0.0, size = 0.0;
    for (double w : b) {
      sum += w;
      size += std::abs(w);
    }
    if (!meetsRule(sum, 1.0, size))
      return "b sums to " + tableauNumber(sum) +
             " but must sum to 1: otherwise the method is not consistent (order 0)";
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
