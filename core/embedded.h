#pragma once

// Embedded Runge-Kutta pairs and the adaptive step-size control built on
// them. A pair is an explicit tableau with two weight rows: b, the
// solution's, and bHat, a second solution of another order whose
// difference from the first estimates the step's local error
//   err = h·Σ (b_i - bHat_i)·k_i.
// A step is accepted when that error, measured per component against
// atol + rtol·|x|, has a root-mean-square norm of at most 1; the next step is
// h·clamp(safety·norm^(-1/(q+1)), shrink, growth), q the lower of the two
// orders (Hairer, Nørsett & Wanner, Solving ODEs I, II.4). A step that would
// fall below what the time can still resolve ends the integration instead
// of looping.
//
// Between the ends of an accepted step the solution is continued by the
// pair's dense output: Dormand and Prince's quartic for dopri5 (Hairer's
// DOPRI5 coefficients), the cubic Hermite through both ends' states and
// derivatives otherwise (the natural dense output of Bogacki-Shampine).
// The system is called as f(x, dxdt, t), as Boost.Odeint calls it.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "tableau.h"

struct Tolerances {
  double rtol = 1e-6;
  double atol = 1e-9;
};

// x^(1/n) for a finite x > 0 by Newton's method from above, in the basic
// operations only, which IEEE 754 rounds alike everywhere: a step size
// comes out the same bits under every C library (std::pow's last bit is
// the library's own).
template <class T>
T nthRoot(T x, int n) {
  int e = 0;
  std::frexp(x, &e);                                   // x < 2^e
  const int k = e >= 0 ? e / n : -((-e + n - 1) / n);  // floor(e / n)
  T r = std::ldexp(T(1), k + 1);                       // r^n > x: the iteration falls to the root
  for (int i = 0; i < 200; ++i) {
    T power = 1;
    for (int j = 1; j < n; ++j) power *= r;
    const T next = ((n - 1) * r + x / power) / n;
    if (!(next < r)) break;
    r = next;
  }
  return r;
}

// The controller's constants, as scipy's and Hairer's codes use them.
struct StepControl {
  static constexpr double safety = 0.9;
  static constexpr double shrink = 0.2;   // the most a rejected step shrinks by
  static constexpr double growth = 10.0;  // the most an accepted step grows by
};

struct EmbeddedPair {
  enum class Dense { Hermite, Dopri5 };

  ButcherTableau tableau;    // a, c and b (the solution's weights)
  std::vector<double> bHat;  // the embedded weights
  int order = 0;             // of b
  int embeddedOrder = 0;     // of bHat
  Dense dense = Dense::Hermite;

  std::size_t stages() const { return tableau.stages(); }
  // The last stage is the derivative at the step's end (first same as last):
  // c = 1 and its row of a is b. It then serves as the next step's first.
  bool fsal() const {
    const std::size_t s = stages();
    if (s < 2 || tableau.c[s - 1] != 1.0 || tableau.b[s - 1] != 0.0) return false;
    for (std::size_t j = 0; j + 1 < s; ++j)
      if (j >= tableau.a[s - 1].size() || tableau.a[s - 1][j] != tableau.b[j]) return false;
    return true;
  }
  // An empty string, or why the pair cannot be run.
  std::string problem() const {
    if (std::string p = tableau.problem(); !p.empty()) return p;
    if (bHat.size() != stages()) return "the second weight row must have as many entries as b";
    bool differ = false;
    for (std::size_t i = 0; i < bHat.size(); ++i) {
      if (!std::isfinite(bHat[i])) return "the second weight row holds a value that is not finite";
      differ = differ || bHat[i] != tableau.b[i];
    }
    if (!differ) return "the two weight rows are equal, so they estimate no error";
    double sum = 0.0, size = 0.0;
    for (double w : bHat) {
      sum += w;
      size += std::fabs(w);
    }
    if (!meetsRule(sum, 1.0, size))
      return "the second weight row sums to " + tableauNumber(sum) +
             " but must sum to 1, as b does: otherwise its solution is not consistent";
    return "";
  }
};

// The built-in pairs' coefficients, once: the pairs below are made from
// them, and an integration of a built-in pair reads them as constants.
namespace pairtables {

struct BogackiShampine {
  static constexpr const char* name = "bogacki-shampine";
  static constexpr std::size_t stages = 4;
  static constexpr double a[stages][stages] = {
      {}, {1.0 / 2}, {0.0, 3.0 / 4}, {2.0 / 9, 1.0 / 3, 4.0 / 9}};
  static constexpr double b[stages] = {2.0 / 9, 1.0 / 3, 4.0 / 9, 0.0};
  static constexpr double c[stages] = {0.0, 1.0 / 2, 3.0 / 4, 1.0};
  static constexpr double bHat[stages] = {7.0 / 24, 1.0 / 4, 1.0 / 3, 1.0 / 8};
  static constexpr int order = 3, embeddedOrder = 2;
};

struct DormandPrince {
  static constexpr const char* name = "dopri5";
  static constexpr std::size_t stages = 7;
  static constexpr double a[stages][stages] = {
      {},
      {1.0 / 5},
      {3.0 / 40, 9.0 / 40},
      {44.0 / 45, -56.0 / 15, 32.0 / 9},
      {19372.0 / 6561, -25360.0 / 2187, 64448.0 / 6561, -212.0 / 729},
      {9017.0 / 3168, -355.0 / 33, 46732.0 / 5247, 49.0 / 176, -5103.0 / 18656},
      {35.0 / 384, 0.0, 500.0 / 1113, 125.0 / 192, -2187.0 / 6784, 11.0 / 84}};
  static constexpr double b[stages] = {35.0 / 384,     0.0,       500.0 / 1113, 125.0 / 192,
                                       -2187.0 / 6784, 11.0 / 84, 0.0};
  static constexpr double c[stages] = {0.0, 1.0 / 5, 3.0 / 10, 4.0 / 5, 8.0 / 9, 1.0, 1.0};
  static constexpr double bHat[stages] = {
      5179.0 / 57600, 0.0, 7571.0 / 16695, 393.0 / 640, -92097.0 / 339200, 187.0 / 2100, 1.0 / 40};
  static constexpr int order = 5, embeddedOrder = 4;
};

// The pair of a table: row i of a holds its i entries below the diagonal.
template <class Table>
EmbeddedPair pairOf(EmbeddedPair::Dense dense) {
  EmbeddedPair pair;
  pair.tableau.name = Table::name;
  for (std::size_t i = 0; i < Table::stages; ++i) {
    pair.tableau.a.emplace_back(Table::a[i], Table::a[i] + i);
    pair.tableau.b.push_back(Table::b[i]);
    pair.tableau.c.push_back(Table::c[i]);
    pair.bHat.push_back(Table::bHat[i]);
  }
  pair.order = Table::order;
  pair.embeddedOrder = Table::embeddedOrder;
  pair.dense = dense;
  return pair;
}

}  // namespace pairtables

inline const EmbeddedPair& bogackiShampinePair() {
  static const EmbeddedPair pair =
      pairtables::pairOf<pairtables::BogackiShampine>(EmbeddedPair::Dense::Hermite);
  return pair;
}

inline const EmbeddedPair& dormandPrincePair() {
  static const EmbeddedPair pair =
      pairtables::pairOf<pairtables::DormandPrince>(EmbeddedPair::Dense::Dopri5);
  return pair;
}

// Why an adaptive integration ended before it was done.
enum class AdaptiveFailure { None, StepTooSmall };

// An adaptive integration of f from (x, t): step() takes one accepted step,
// retrying rejected ones; dense(θ) is the state at t0 + θ·h of the last
// accepted step [t0, t0 + h]. Counts every evaluation of f, accepted and
// rejected steps.
template <class T, std::size_t N, class F>
class AdaptiveIntegrator {
 public:
  using State = std::array<T, N>;

  AdaptiveIntegrator(const EmbeddedPair& pair, const Tolerances& tol, const F& f, const State& x0,
                     T t0)
      : pair_(pair),
        builtin_(builtinOf(pair)),
        tol_(tol),
        f_(f),
        fsal_(pair.fsal()),
        x_(x0),
        t_(t0) {
    evaluate(x_, k()[0], t_);
    h_ = initialStep();
  }

  const State& state() const { return x_; }
  T time() const { return t_; }
  // The derivative at the current state (an evaluation the next step reuses).
  const State& derivative() const { return k()[0]; }
  long long evaluations() const { return evaluations_; }
  long long accepted() const { return accepted_; }
  long long rejected() const { return rejected_; }
  AdaptiveFailure failure() const { return failure_; }
  // The last accepted step: its start, length and start state.
  T stepStart() const { return t0_; }
  T stepLength() const { return hLast_; }

  // One accepted step, no longer than `until` - time() when `until` is
  // given (a step that reaches it ends there exactly). False when the step
  // would have to fall below the smallest the time resolves.
  bool step(T until = std::numeric_limits<T>::infinity()) {
    const std::size_t s = pair_.stages();
    const int q = std::min(pair_.order, pair_.embeddedOrder);
    if (!(until - t_ > 0)) return false;
    bool rejectedOnce = false;
    for (;;) {
      const T room = until - t_;
      bool last = false;
      T h = h_;
      if (h >= room) {
        h = room;
        last = true;
      }
      const T smallest = 16 * std::numeric_limits<T>::epsilon() * larger(std::fabs(t_), T(1e-3));
      if (!(h >= smallest) && !last) {
        failure_ = AdaptiveFailure::StepTooSmall;
        return false;
      }
      attempt(h);
      // The error norm: RMS of err_i / (atol + rtol·max(|x_i|, |x+_i|)).
      T sum = 0;
#pragma GCC unroll 16
      for (std::size_t i = 0; i < N; ++i) {
        const T scale = static_cast<T>(tol_.atol) +
                        static_cast<T>(tol_.rtol) * larger(std::fabs(x_[i]), std::fabs(next_[i]));
        const T e = err_[i] / scale;
        sum += e * e;
      }
      const T norm = std::sqrt(sum / static_cast<T>(N));
      if (norm <= 1) {
        T factor =
            norm == 0 ? T(StepControl::growth) : T(StepControl::safety) / nthRoot(norm, q + 1);
        factor = std::clamp(factor, T(StepControl::shrink),
                            rejectedOnce ? T(1) : T(StepControl::growth));
        copy(x0_, x_);
        t0_ = t_;
        hLast_ = h;
        copy(x_, next_);
        t_ = last ? until : t_ + h;
        current_ ^= 1;
        if (fsal_)
          copy(k()[0], stages()[s - 1]);
        else
          evaluate(x_, k()[0], t_);
        // The step after the last one to `until` starts from the step the
        // controller wanted, not from the shortened one.
        if (!last || h_ * factor < h_) h_ = (last ? h_ : h) * factor;
        // A step that grew beyond every number (an error estimate of 0 step
        // after step) keeps its length instead.
        if (!std::isfinite(h_)) h_ = h;
        ++accepted_;
        return true;
      }
      ++rejected_;
      rejectedOnce = true;
      const T factor =
          std::isfinite(norm)
              ? std::fmax(T(StepControl::shrink), T(StepControl::safety) / nthRoot(norm, q + 1))
              : T(StepControl::shrink);
      h_ = h * factor;
      if (!(h_ >= smallest)) {
        failure_ = AdaptiveFailure::StepTooSmall;
        return false;
      }
    }
  }

  // The dense output on the last accepted step, θ in [0, 1].
  State dense(T theta) const {
    State x;
    for (std::size_t i = 0; i < N; ++i) x[i] = dense(theta, i);
    return x;
  }
  // Its entry i alone.
  T dense(T theta, std::size_t i) const {
    const T h = hLast_;
    const T t1 = 1 - theta;
    if (pair_.dense == EmbeddedPair::Dense::Dopri5) {
      // Hairer's DOPRI5 continuous output (CONTD5).
      constexpr T d1 = T(-12715105075.0L / 11282082432.0L), d3 = T(87487479700.0L / 32700410799.0L),
                  d4 = T(-10690763975.0L / 1880347072.0L),
                  d5 = T(701980252875.0L / 199316789632.0L), d6 = T(-1453857185.0L / 822651844.0L),
                  d7 = T(69997945.0L / 29380423.0L);
      const T diff = x_[i] - x0_[i];
      const T bspl = h * stages()[0][i] - diff;
      const T r4 = diff - h * k()[0][i] - bspl;
      const T r5 = h * (d1 * stages()[0][i] + d3 * stages()[2][i] + d4 * stages()[3][i] +
                        d5 * stages()[4][i] + d6 * stages()[5][i] + d7 * k()[0][i]);
      return x0_[i] + theta * (diff + t1 * (bspl + theta * (r4 + t1 * r5)));
    }
    // The cubic Hermite through (x0, f0) and (x1, f1).
    const T h00 = (1 + 2 * theta) * t1 * t1, h10 = theta * t1 * t1;
    const T h01 = theta * theta * (3 - 2 * theta), h11 = -theta * theta * t1;
    return h00 * x0_[i] + h * (h10 * stages()[0][i] + h11 * k()[0][i]) + h01 * x_[i];
  }

 private:
  std::array<State, 16>& k() { return buffers_[current_]; }
  const std::array<State, 16>& k() const { return buffers_[current_]; }
  const std::array<State, 16>& stages() const { return buffers_[current_ ^ 1]; }

  // std::fmax of two magnitudes (neither is -0), inline: the larger, or the
  // one that is a number where the other is not.
  static T larger(T a, T b) { return (a >= b || b != b) ? a : b; }

  // Entry by entry: the entries of the states and stages are written one
  // by one (by f, by the stages' sums) and read back soon after, which the
  // processor serves from its pending stores only where the reads are of
  // the same width as the writes.
  static void copy(State& to, const State& from) {
#pragma GCC unroll 16
    for (std::size_t i = 0; i < N; ++i) to[i] = from[i];
  }

  void evaluate(const State& x, State& d, T t) {
    f_(x, d, t);
    ++evaluations_;
  }

  // The stages of a step of h from (x_, t_) into k(), its solution into
  // next_ and its error estimate into err_.
  void attempt(T h) {
    // A built-in pair's step with its constants: where h is finite and so
    // large that no h·a_ij of a nonzero a_ij is 0, the same operations in the
    // same order as below, unrolled.
    if (std::isfinite(h) && std::fabs(h) >= std::numeric_limits<T>::min()) {
      switch (builtin_) {
        case Builtin::DormandPrince:
          return attemptWith<pairtables::DormandPrince>(h);
        case Builtin::BogackiShampine:
          return attemptWith<pairtables::BogackiShampine>(h);
        case Builtin::None:
          break;
      }
    }
    const std::size_t s = pair_.stages();
    const ButcherTableau& tab = pair_.tableau;
    State stage;
    for (std::size_t i = 1; i < s; ++i) {
      stage = x_;
      for (std::size_t j = 0; j < i; ++j) {
        const T w = h * static_cast<T>(tab.a[i][j]);
        if (w == 0) continue;
        for (std::size_t e = 0; e < N; ++e) stage[e] += w * k()[j][e];
      }
      evaluate(stage, k()[i], t_ + static_cast<T>(tab.c[i]) * h);
    }
    if (fsal_) {
      next_ = stage;  // the last stage is the solution
    } else {
      for (std::size_t e = 0; e < N; ++e) {
        T sum = 0;
        for (std::size_t i = 0; i < s; ++i) sum += static_cast<T>(tab.b[i]) * k()[i][e];
        next_[e] = x_[e] + h * sum;
      }
    }
    for (std::size_t e = 0; e < N; ++e) {
      T sum = 0;
      for (std::size_t i = 0; i < s; ++i)
        sum += static_cast<T>(tab.b[i] - pair_.bHat[i]) * k()[i][e];
      err_[e] = h * sum;
    }
  }

  enum class Builtin { None, BogackiShampine, DormandPrince };
  static Builtin builtinOf(const EmbeddedPair& pair) {
    if (&pair == &dormandPrincePair()) return Builtin::DormandPrince;
    if (&pair == &bogackiShampinePair()) return Builtin::BogackiShampine;
    return Builtin::None;
  }

  // attempt() for the pair of Table. Each entry of a stage sums x and
  // h·a_ij·k_j in the order of j, leaving out the columns whose a_ij is 0
  // (as attempt() leaves out those whose h·a_ij is); the solution and the
  // error sum every column, in order.
  template <class Table>
  void attemptWith(T h) {
    // The stages are formed in next_, which the last of them (the solution
    // of a pair whose first stage is the last one's) then holds.
    stagesFrom<Table>(h, next_, std::make_index_sequence<Table::stages - 1>());
    if (!fsal_) {
#pragma GCC unroll 16
      for (std::size_t e = 0; e < N; ++e)
        next_[e] = x_[e] + h * columnsSum<Table::b>(e, std::make_index_sequence<Table::stages>());
    }
#pragma GCC unroll 16
    for (std::size_t e = 0; e < N; ++e)
      err_[e] = h * errorSum<Table>(e, std::make_index_sequence<Table::stages>());
  }

  template <class Table, std::size_t... I>
  void stagesFrom(T h, State& stage, std::index_sequence<I...>) {
    (stageOf<Table, I + 1>(h, stage, std::make_index_sequence<I + 1>()), ...);
  }

  template <class Table, std::size_t I, std::size_t... J>
  void stageOf(T h, State& stage, std::index_sequence<J...>) {
    const T w[] = {h * static_cast<T>(Table::a[I][J])...};
#pragma GCC unroll 16
    for (std::size_t e = 0; e < N; ++e) {
      T sum = x_[e];
      ((Table::a[I][J] != 0 ? void(sum += w[J] * k()[J][e]) : void()), ...);
      stage[e] = sum;
    }
    evaluate(stage, k()[I], t_ + static_cast<T>(Table::c[I]) * h);
  }

  template <const double* Weights, std::size_t... J>
  T columnsSum(std::size_t e, std::index_sequence<J...>) const {
    T sum = 0;
    ((sum += static_cast<T>(Weights[J]) * k()[J][e]), ...);
    return sum;
  }

  template <class Table, std::size_t... J>
  T errorSum(std::size_t e, std::index_sequence<J...>) const {
    T sum = 0;
    ((sum += static_cast<T>(Table::b[J] - Table::bHat[J]) * k()[J][e]), ...);
    return sum;
  }

  // Hairer's starting step (HINIT): one Euler step of a size from the
  // state's and derivative's norms, then h from the second derivative's.
  T initialStep() {
    const int p = std::min(pair_.order, pair_.embeddedOrder) + 1;
    T d0 = 0, d1 = 0;
    State scale;
    for (std::size_t i = 0; i < N; ++i) {
      scale[i] = static_cast<T>(tol_.atol) + static_cast<T>(tol_.rtol) * std::fabs(x_[i]);
      d0 += (x_[i] / scale[i]) * (x_[i] / scale[i]);
      d1 += (k()[0][i] / scale[i]) * (k()[0][i] / scale[i]);
    }
    d0 = std::sqrt(d0 / N);
    d1 = std::sqrt(d1 / N);
    T h0 = (d0 < T(1e-5) || d1 < T(1e-5)) ? T(1e-6) : T(0.01) * d0 / d1;
    State x1, f1;
    for (std::size_t i = 0; i < N; ++i) x1[i] = x_[i] + h0 * k()[0][i];
    evaluate(x1, f1, t_ + h0);
    T d2 = 0;
    for (std::size_t i = 0; i < N; ++i) {
      const T e = (f1[i] - k()[0][i]) / scale[i];
      d2 += e * e;
    }
    d2 = std::sqrt(d2 / N) / h0;
    const T m = std::fmax(d1, d2);
    const T h1 = m <= T(1e-15) ? std::fmax(T(1e-6), h0 * T(1e-3)) : nthRoot(T(0.01) / m, p);
    return std::fmin(100 * h0, h1);
  }

  const EmbeddedPair& pair_;
  Builtin builtin_;
  Tolerances tol_;
  const F& f_;
  bool fsal_;
  State x_, x0_{}, next_{}, err_{};
  T t_, t0_ = 0, h_ = 0, hLast_ = 0;
  // The stages of the step being taken, k(), and of the last accepted one,
  // stages(): an accepted step's become the last accepted step's by
  // swapping the two buffers' roles.
  std::array<std::array<State, 16>, 2> buffers_{};
  std::size_t current_ = 0;
  long long evaluations_ = 0, accepted_ = 0, rejected_ = 0;
  AdaptiveFailure failure_ = AdaptiveFailure::None;
};
