#pragma once

// The scheme table: every integration scheme once, with what is known about
// it (the command-line name, the display name, the order of the global
// error, the derivative evaluations per step, the colour and marker every
// front end draws it with) and what steps it: its single-precision step on a
// model's StateList, and its wide step on a plain array state in double or
// long double.
//
// A row is a type, as a stepper is in Boost.Odeint: `info`, a static
// `single(state, evaluator, h, t)` and a static template
// `wide(f, x, t, h)`. An explicit Runge-Kutta scheme that needs no stepper of
// its own derives both steps from its tableau (FromTableau). Every dispatch
// on a scheme value outside pbsim's own stepWithScheme goes through
// Schemes::visit, so a row without a step does not compile and a value that
// names no row is refused.
//
// Values 0-2 are pbsim's own schemes (integrators.h, stepWithScheme), which
// keeps its dispatch and its message for an unknown value. The others exist
// for the lessons of the headless and browser front ends.

#include <array>
#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "embedded.h"
#include "implicit.h"
#include "integrators.h"
#include "tableau.h"
#include "widesteps.h"

// The schemes beside pbsim's three.
enum ExtraScheme {
  SymplecticEuler = 3,
  Verlet = 4,
  BackwardEuler = 5,
  ImplicitMidpoint = 6,
  BogackiShampine = 7,
  Dopri5 = 8
};

// How a scheme steps: explicitly with a fixed step, implicitly with a fixed
// step (Newton's method on each step's equation, double precision only), or
// with an adaptive step from an embedded pair (double precision only).
enum class SchemeKind { Explicit, Implicit, Adaptive };
inline const char* schemeKindName(SchemeKind kind) {
  switch (kind) {
    case SchemeKind::Explicit:
      return "explicit";
    case SchemeKind::Implicit:
      return "implicit";
    case SchemeKind::Adaptive:
      return "adaptive";
  }
  return "";
}

struct SchemeColour {
  float r, g, b;  // 0..1
};

struct SchemeInfo {
  int scheme;               // IntegrationScheme or ExtraScheme value: the row's place in the table
  std::string_view name;    // lower case, as typed on a command line
  std::string_view title;   // as shown to users
  int order;                // global error ~ h^order
  int evaluations;          // derivative evaluations per step
  SchemeColour colour;      // pbsim's trajectory colours for its three schemes
  std::string_view marker;  // circle, square, triangle, diamond, cross, plus, star,
                            // triangle-down, hexagon
  SchemeKind kind = SchemeKind::Explicit;
  // An adaptive scheme's order is its solution's; its evaluations are those
  // of an accepted step (the first same as last stage reused). An implicit
  // scheme's evaluations are those of a step on a model linear in the state
  // (one Newton iteration and the one that confirms it); runs count them.
};

namespace schemerows {

struct EulerRow {
  static constexpr SchemeInfo info{Euler, "euler", "Euler", 1, 1, {1.0f, 0.0f, 0.0f}, "circle"};
  static void single(StateList& s, DerivativeEvaluator& e, float h, float t) {
    integrateEuler(s, e, h, t);
  }
  template <class T, std::size_t N, class F>
  static void wide(const F& f, std::array<T, N>& x, T t, T h) {
    widesteps::euler(f, x, t, h);
  }
};

struct MidpointRow {
  static constexpr SchemeInfo info{Midpoint, "midpoint",         "Midpoint", 2,
                                   2,        {0.0f, 1.0f, 0.0f}, "square"};
  static void single(StateList& s, DerivativeEvaluator& e, float h, float t) {
    integrateMidpoint(s, e, h, t);
  }
  template <class T, std::size_t N, class F>
  static void wide(const F& f, std::array<T, N>& x, T t, T h) {
    widesteps::midpoint(f, x, t, h);
  }
};

struct RK4Row {
  static constexpr SchemeInfo info{RK4, "rk4", "RK4", 4, 4, {0.0f, 0.0f, 1.0f}, "triangle"};
  static void single(StateList& s, DerivativeEvaluator& e, float h, float t) {
    integrateRK4(s, e, h, t);
  }
  template <class T, std::size_t N, class F>
  static void wide(const F& f, std::array<T, N>& x, T t, T h) {
    widesteps::rk4(f, x, t, h);
  }
};

struct SymplecticEulerRow {
  static constexpr SchemeInfo info{
      SymplecticEuler,     "symplectic-euler", "Symplectic Euler", 1, 1,
      {1.0f, 0.55f, 0.0f}, "diamond"};
  static void single(StateList& s, DerivativeEvaluator& e, float h, float t) {
    integrateSymplecticEuler(s, e, h, t);
  }
  template <class T, std::size_t N, class F>
  static void wide(const F& f, std::array<T, N>& x, T t, T h) {
    widesteps::symplecticEuler(f, x, t, h);
  }
};

struct VerletRow {
  static constexpr SchemeInfo info{Verlet, "verlet", "Velocity Verlet", 2, 2, {0.6f, 0.0f, 0.75f},
                                   "cross"};
  static void single(StateList& s, DerivativeEvaluator& e, float h, float t) {
    integrateVerlet(s, e, h, t);
  }
  template <class T, std::size_t N, class F>
  static void wide(const F& f, std::array<T, N>& x, T t, T h) {
    widesteps::verlet(f, x, t, h);
  }
};

struct BackwardEulerRow {
  static constexpr SchemeInfo info{BackwardEuler,      "backward-euler", "Backward Euler",    1, 2,
                                   {0.0f, 0.5f, 0.5f}, "plus",           SchemeKind::Implicit};
  template <class T, std::size_t N, class F>
  static void wide(const F& f, std::array<T, N>& x, T t, T h) {
    implicitsteps::backwardEuler(f, x, t, h);
  }
};

struct ImplicitMidpointRow {
  static constexpr SchemeInfo info{
      ImplicitMidpoint, "implicit-midpoint", "Implicit Midpoint", 2, 2, {0.55f, 0.27f, 0.07f},
      "star",           SchemeKind::Implicit};
  template <class T, std::size_t N, class F>
  static void wide(const F& f, std::array<T, N>& x, T t, T h) {
    implicitsteps::implicitMidpoint(f, x, t, h);
  }
};

// An adaptive row's wide step is one step of its solution's weights at the
// given h, for checking the pair's tableau; runs of the row control h.
struct BogackiShampineRow {
  static constexpr SchemeInfo info{
      BogackiShampine,    "bogacki-shampine", "Bogacki-Shampine 3(2)", 3, 3,
      {0.8f, 0.0f, 0.5f}, "triangle-down",    SchemeKind::Adaptive};
  static const EmbeddedPair& pair() { return bogackiShampinePair(); }
  template <class T, std::size_t N, class F>
  static void wide(const F& f, std::array<T, N>& x, T t, T h) {
    widesteps::tableau(pair().tableau, f, x, t, h);
  }
};

struct Dopri5Row {
  static constexpr SchemeInfo info{Dopri5,
                                   "dopri5",
                                   "Dormand-Prince 5(4)",
                                   5,
                                   6,
                                   {0.45f, 0.45f, 0.0f},
                                   "hexagon",
                                   SchemeKind::Adaptive};
  static const EmbeddedPair& pair() { return dormandPrincePair(); }
  template <class T, std::size_t N, class F>
  static void wide(const F& f, std::array<T, N>& x, T t, T h) {
    widesteps::tableau(pair().tableau, f, x, t, h);
  }
};

// Both steps of a row that is an explicit Runge-Kutta method given by its
// tableau: Row provides `info` and a static `tableau()` (whose problem() is
// empty; the scheme table's test runs every row).
template <class Row>
struct FromTableau {
  static void single(StateList& s, DerivativeEvaluator& e, float h, float t) {
    integrateTableau(Row::tableau(), s, e, h, t);
  }
  template <class T, std::size_t N, class F>
  static void wide(const F& f, std::array<T, N>& x, T t, T h) {
    widesteps::tableau(Row::tableau(), f, x, t, h);
  }
};

// What every row must provide, checked when the table is made.
struct ProbeSystem {
  void operator()(const std::array<double, 2>&, std::array<double, 2>&, double) const {}
};
template <class Row, class = void>
struct HasWide : std::false_type {};
template <class Row>
struct HasWide<
    Row, std::void_t<decltype(Row::info),
                     decltype(static_cast<void (*)(const ProbeSystem&, std::array<double, 2>&,
                                                   double, double)>(
                         &Row::template wide<double, 2, ProbeSystem>)),
                     decltype(static_cast<void (*)(const ProbeSystem&, std::array<long double, 2>&,
                                                   long double, long double)>(
                         &Row::template wide<long double, 2, ProbeSystem>))>> : std::true_type {};
template <class Row, class = void>
struct HasSingle : std::false_type {};
template <class Row>
struct HasSingle<Row, std::void_t<decltype(static_cast<void (*)(StateList&, DerivativeEvaluator&,
                                                                float, float)>(&Row::single))>>
    : std::true_type {};
template <class Row, class = void>
struct HasPair : std::false_type {};
template <class Row>
struct HasPair<Row, std::void_t<decltype(&Row::pair)>> : std::true_type {};

template <class Row>
constexpr bool rowIsComplete() {
  if (!HasWide<Row>::value) return false;
  if constexpr (HasWide<Row>::value) {
    if (Row::info.kind == SchemeKind::Explicit) return HasSingle<Row>::value;
    if (Row::info.kind == SchemeKind::Adaptive) return HasPair<Row>::value;
  }
  return true;
}

}  // namespace schemerows

template <class... Rows>
struct SchemeTable {
  static_assert((schemerows::rowIsComplete<Rows>() && ...),
                "every scheme row needs `info` and a wide step `wide` for double and long "
                "double; an explicit row also a single-precision step `single`, an adaptive "
                "row its embedded `pair()`");

  static constexpr SchemeInfo infos[] = {Rows::info...};
  static constexpr std::size_t size = sizeof...(Rows);

  // Calls visit(Row{}) for the row whose value is `scheme`; false when no
  // row has that value.
  template <class Visitor>
  static bool visit(int scheme, Visitor&& visitor) {
    return ((scheme == Rows::info.scheme ? (visitor(Rows{}), true) : false) || ...);
  }

 private:
  static constexpr bool valuesArePlaces() {
    int place = 0;
    for (const SchemeInfo& s : infos)
      if (s.scheme != place++) return false;
    return true;
  }
  static_assert(valuesArePlaces(), "a scheme's value must be its place in the table");
};

using Schemes = SchemeTable<schemerows::EulerRow, schemerows::MidpointRow, schemerows::RK4Row,
                            schemerows::SymplecticEulerRow, schemerows::VerletRow,
                            schemerows::BackwardEulerRow, schemerows::ImplicitMidpointRow,
                            schemerows::BogackiShampineRow, schemerows::Dopri5Row>;

// The rows' descriptions, in the table's order.
inline constexpr const auto& kSchemes = Schemes::infos;

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

// One single-precision step of any scheme of the table. pbsim's three and
// any value that names no scheme go to pbsim's dispatch (stepWithScheme,
// which says the value is unknown); time advances as there.
inline void stepWithAnyScheme(int scheme, StateList& state, DerivativeEvaluator& evaluator,
                              float timeStep, float& time) {
  if (scheme == Euler || scheme == Midpoint || scheme == RK4)
    return stepWithScheme(scheme, state, evaluator, timeStep, time);
  if (!Schemes::visit(scheme, [&](auto row) {
        using Row = decltype(row);
        if constexpr (schemerows::HasSingle<Row>::value)
          Row::single(state, evaluator, timeStep, time);
        else
          throw std::invalid_argument(std::string(Row::info.name) +
                                      " runs in double precision only");
      }))
    return stepWithScheme(scheme, state, evaluator, timeStep, time);
  time = static_cast<float>(static_cast<double>(time) + static_cast<double>(timeStep));
}

// The embedded pair of an adaptive scheme's value, or nullptr.
inline const EmbeddedPair* schemePair(int scheme) {
  const EmbeddedPair* pair = nullptr;
  Schemes::visit(scheme, [&](auto row) {
    if constexpr (schemerows::HasPair<decltype(row)>::value) pair = &decltype(row)::pair();
  });
  return pair;
}

// Whether a scheme has a single-precision step (pbsim's arithmetic).
inline bool hasSingleStep(const SchemeInfo& s) { return s.kind == SchemeKind::Explicit; }

// One wide step of the scheme with value `scheme`, or of `tab` when it is
// given. A value that names no scheme throws std::invalid_argument.
template <class T, std::size_t N, class F>
void stepWide(int scheme, const ButcherTableau* tab, const F& f, std::array<T, N>& x, T t, T h) {
  if (tab) return widesteps::tableau(*tab, f, x, t, h);
  if (!Schemes::visit(scheme, [&](auto row) { decltype(row)::wide(f, x, t, h); }))
    throw std::invalid_argument("no integration scheme has the value " + std::to_string(scheme));
}
