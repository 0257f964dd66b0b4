#pragma once

// What is known about each integration scheme, for everything that names,
// draws or compares them: the command-line name, the display name, the order
// of the global error, the derivative evaluations per step, and the colour
// and marker every front end draws it with.
//
// Values 0-2 are pbsim's own schemes (core/integrators.h, stepWithScheme).
// The other two exist for the energy lesson of the headless and browser
// front ends; pbsim's dispatch does not know them.

#include <cmath>
#include <string>
#include <string_view>

#include "integrators.h"

// The schemes beside pbsim's three.
enum ExtraScheme { SymplecticEuler = 3, Verlet = 4 };

struct SchemeColour {
  float r, g, b;  // 0..1
};

struct SchemeInfo {
  int scheme;               // IntegrationScheme or ExtraScheme value
  std::string_view name;    // lower case, as typed on a command line
  std::string_view title;   // as shown to users
  int order;                // global error ~ h^order
  int evaluations;          // derivative evaluations per step
  SchemeColour colour;      // pbsim's trajectory colours for its three schemes
  std::string_view marker;  // circle, square, triangle, diamond, cross
};

inline constexpr SchemeInfo kSchemes[] = {
    {Euler, "euler", "Euler", 1, 1, {1.0f, 0.0f, 0.0f}, "circle"},
    {Midpoint, "midpoint", "Midpoint", 2, 2, {0.0f, 1.0f, 0.0f}, "square"},
    {RK4, "rk4", "RK4", 4, 4, {0.0f, 0.0f, 1.0f}, "triangle"},
    {SymplecticEuler, "symplectic-euler", "Symplectic Euler", 1, 1, {1.0f, 0.55f, 0.0f}, "diamond"},
    {Verlet, "verlet", "Velocity Verlet", 2, 2, {0.6f, 0.0f, 0.75f}, "cross"},
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

// Every scheme's name, comma separated, for messages.
inline std::string schemeNames() {
  std::string names;
  for (const SchemeInfo& s : kSchemes) names += (names.empty() ? "" : ", ") + std::string(s.name);
  return names;
}

// The order a scheme shows between two runs: with errors e(h) and e(h/2),
// log2(e(h)/e(h/2)).
inline double observedOrder(double errorAtH, double errorAtHalfH) {
  return std::log2(errorAtH / errorAtHalfH);
}
