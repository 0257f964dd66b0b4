#pragma once

// What is known about each integration scheme, for everything that names or
// compares them: the command-line name, the display name, the order of the
// global error and the derivative evaluations per step.

#include <cmath>
#include <string_view>

#include "integrators.h"

struct SchemeInfo {
  IntegrationScheme scheme;
  std::string_view name;   // lower case, as typed on a command line
  std::string_view title;  // as shown to users
  int order;               // global error ~ h^order
  int evaluations;         // derivative evaluations per step
};

inline constexpr SchemeInfo kSchemes[] = {
    {Euler, "euler", "Euler", 1, 1},
    {Midpoint, "midpoint", "Midpoint", 2, 2},
    {RK4, "rk4", "RK4", 4, 4},
};

// The entry of a scheme value, or nullptr for a value that names no scheme.
inline const SchemeInfo* schemeInfo(int scheme) {
  for (const SchemeInfo& s : kSchemes)
    if (s.scheme == scheme) return &s;
  return nullptr;
}

// The entry whose name is `name` (lower case), or nullptr.
inline const SchemeInfo* schemeNamed(std::string_view name) {
  for (const SchemeInfo& s : kSchemes)
    if (s.name == name) return &s;
  return nullptr;
}

// The order a scheme shows between two runs: with errors e(h) and e(h/2),
// log2(e(h)/e(h/2)).
inline double observedOrder(double errorAtH, double errorAtHalfH) {
  return std::log2(errorAtH / errorAtHalfH);
}
