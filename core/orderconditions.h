#pragma once

// The algebraic order of an explicit Runge-Kutta method: the highest p for
// which its tableau meets every Butcher order condition of orders 1..p, one
// condition per rooted tree t with |t| ≤ p,
//   Σ_i b_i·Φ_i(t) = 1/γ(t),
// with Φ(t) the tree's elementary weight (a vector over the stages, built
// from c and A) and γ(t) its density. The conditions are taken with
// c = A·1, which problem() holds the tableau to, so that the stage vectors
// can be written with c. Conditions are checked up to order 5 (17 trees):
// order 5 means "at least 5".
//
// This is the order on every smooth problem. Linear problems see only the
// trees of the tall chain, Σ b·A^(k-1)·c ... = 1/k!, so a tableau can show a
// higher order on them than its algebraic order.

#include <cmath>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tableau.h"

namespace orderconditions {

// A vector over the stages with, beside each entry, the sum of the absolute
// values of the products that make it: the size that the entry's rounding
// is measured against.
struct Weights {
  std::vector<double> value, size;
};

class Builder {
 public:
  explicit Builder(const ButcherTableau& t) : t_(t) {}
  // c
  Weights c() const {
    Weights w{t_.c, t_.c};
    for (double& v : w.size) v = std::abs(v);
    return w;
  }
  // u·v, entry by entry
  static Weights times(const Weights& u, const Weights& v) {
    Weights w = u;
    for (std::size_t i = 0; i < w.value.size(); ++i) {
      w.value[i] *= v.value[i];
      w.size[i] *= v.size[i];
    }
    return w;
  }
  // A·u: (A·u)_i = Σ_{j<i} a_ij·u_j
  Weights a(const Weights& u) const {
    const std::size_t s = t_.stages();
    Weights w{std::vector<double>(s, 0.0), std::vector<double>(s, 0.0)};
    for (std::size_t i = 0; i < s; ++i)
      for (std::size_t j = 0; j < i; ++j) {
        w.value[i] += t_.a[i][j] * u.value[j];
        w.size[i] += std::abs(t_.a[i][j]) * u.size[j];
      }
    return w;
  }
  // 1
  Weights ones() const {
    const std::size_t s = t_.stages();
    return {std::vector<double>(s, 1.0), std::vector<double>(s, 1.0)};
  }

 private:
  const ButcherTableau& t_;
};

// One rooted tree's condition: Σ b·Φ = 1/density.
struct Tree {
  int order;        // the number of its nodes
  const char* sum;  // the condition's left side, as messages write it
  int density;      // γ
  Weights (*weights)(const Builder&);
};

using B = Builder;
// The 17 trees of orders 1..5, by order.
inline const Tree kTrees[] = {
    {1, "Σ b", 1, [](const B& m) { return m.ones(); }},
    {2, "Σ b·c", 2, [](const B& m) { return m.c(); }},
    {3, "Σ b·c²", 3, [](const B& m) { return B::times(m.c(), m.c()); }},
    {3, "Σ b·A·c", 6, [](const B& m) { return m.a(m.c()); }},
    {4, "Σ b·c³", 4, [](const B& m) { return B::times(B::times(m.c(), m.c()), m.c()); }},
    {4, "Σ b·c·A·c", 8, [](const B& m) { return B::times(m.c(), m.a(m.c())); }},
    {4, "Σ b·A·c²", 12, [](const B& m) { return m.a(B::times(m.c(), m.c())); }},
    {4, "Σ b·A·A·c", 24, [](const B& m) { return m.a(m.a(m.c())); }},
    {5, "Σ b·c⁴", 5,
     [](const B& m) {
       const Weights c2 = B::times(m.c(), m.c());
       return B::times(c2, c2);
     }},
    {5, "Σ b·c²·A·c", 10, [](const B& m) { return B::times(B::times(m.c(), m.c()), m.a(m.c())); }},
    {5, "Σ b·(A·c)²", 20,
     [](const B& m) {
       const Weights ac = m.a(m.c());
       return B::times(ac, ac);
     }},
    {5, "Σ b·c·A·c²", 15, [](const B& m) { return B::times(m.c(), m.a(B::times(m.c(), m.c()))); }},
    {5, "Σ b·c·A·A·c", 30, [](const B& m) { return B::times(m.c(), m.a(m.a(m.c()))); }},
    {5, "Σ b·A·c³", 20, [](const B& m) { return m.a(B::times(B::times(m.c(), m.c()), m.c())); }},
    {5, "Σ b·A·(c·A·c)", 40, [](const B& m) { return m.a(B::times(m.c(), m.a(m.c()))); }},
    {5, "Σ b·A·A·c²", 60, [](const B& m) { return m.a(m.a(B::times(m.c(), m.c()))); }},
    {5, "Σ b·A·A·A·c", 120, [](const B& m) { return m.a(m.a(m.a(m.c()))); }},
};

}  // namespace orderconditions

// The highest order whose conditions are checked.
constexpr int kMaxCheckedOrder = 5;

// A condition the tableau does not meet.
struct FailedCondition {
  int order = 0;     // the order it belongs to
  std::string sum;   // its left side: "Σ b·c³"
  int density = 1;   // it must equal 1/density
  double value = 0;  // what the tableau's sum is
};

struct OrderReport {
  int order = 0;  // 0..kMaxCheckedOrder; kMaxCheckedOrder means "at least"
  // The first condition of order `order + 1` that fails; none at the
  // highest checked order.
  std::optional<FailedCondition> failed;

  // "order 3: Σ b·c³ = 0.26 but must be 1/4 for order 4", or
  // "order 5 (at least: conditions are checked up to order 5)".
  std::string text() const {
    const std::string head = "order " + std::to_string(order);
    if (!failed)
      return head + " (at least: conditions are checked up to order " +
             std::to_string(kMaxCheckedOrder) + ")";
    const std::string target = failed->density == 1 ? "1" : "1/" + std::to_string(failed->density);
    return head + ": " + failed->sum + " = " + tableauNumber(failed->value) + " but must be " +
           target + " for order " + std::to_string(failed->order);
  }
};

// The tableau's algebraic order and the first condition it fails. A tableau
// with a problem() is refused with std::invalid_argument.
inline OrderReport orderReport(const ButcherTableau& tableau) {
  if (const std::string p = tableau.problem(); !p.empty()) throw std::invalid_argument(p);
  const orderconditions::Builder builder(tableau);
  OrderReport report;
  for (const orderconditions::Tree& tree : orderconditions::kTrees) {
    const orderconditions::Weights phi = tree.weights(builder);
    double sum = 0.0, size = 0.0;
    for (std::size_t i = 0; i < tableau.stages(); ++i) {
      sum += tableau.b[i] * phi.value[i];
      size += std::abs(tableau.b[i]) * phi.size[i];
    }
    if (!meetsRule(sum, 1.0 / tree.density, size)) {
      report.order = tree.order - 1;
      report.failed = FailedCondition{tree.order, tree.sum, tree.density, sum};
      return report;
    }
  }
  report.order = kMaxCheckedOrder;
  return report;
}

// The tableau's algebraic order, 0..kMaxCheckedOrder (that one meaning "at
// least"). The tableau must have no problem().
inline int algebraicOrder(const ButcherTableau& tableau) { return orderReport(tableau).order; }
