#pragma once

// Implicit one-step schemes on a plain array state: backward Euler
//   x+ = x + h·f(x+, t + h)
// and the implicit midpoint rule
//   x+ = x + h·f((x + x+)/2, t + h/2),
// each step's equation solved by Newton's method. The system is called as
// f(x, dxdt, t), as Boost.Odeint calls it; a system with a member
// jacobian(x, J, t) (J[i][j] = ∂f_i/∂x_j) gives its own Jacobian, any other
// has it estimated by forward differences. The Jacobian is taken once per
// step, at the step's start (simplified Newton), and again where the
// iteration is whenever it converges slowly: for a system linear in the
// state the first iteration already solves the step, and the second only
// confirms it; a nonlinear force converges to rounding in a few more.
// A step whose iteration does not converge within kNewtonIterations, or
// whose matrix I - θ·h·J is singular, throws NewtonFailure.

#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>

constexpr int kNewtonIterations = 20;

struct NewtonFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

namespace implicitsteps {

template <class T, std::size_t N>
using Matrix = std::array<std::array<T, N>, N>;

template <class F, class X, class J, class T, class = void>
struct HasJacobian : std::false_type {};
template <class F, class X, class J, class T>
struct HasJacobian<F, X, J, T,
                   std::void_t<decltype(std::declval<const F&>().jacobian(
                       std::declval<const X&>(), std::declval<J&>(), std::declval<T>()))>>
    : std::true_type {};

// ∂f/∂x at (x, t): the system's own, or forward differences.
template <class T, std::size_t N, class F>
void jacobian(const F& f, const std::array<T, N>& x, T t, Matrix<T, N>& jac) {
  if constexpr (HasJacobian<F, std::array<T, N>, Matrix<T, N>, T>::value) {
    f.jacobian(x, jac, t);
  } else {
    std::array<T, N> f0, f1, xp = x;
    f(x, f0, t);
    const T root = std::sqrt(std::numeric_limits<T>::epsilon());
    for (std::size_t j = 0; j < N; ++j) {
      const T d = root * std::fmax(T(1), std::fabs(x[j]));
      xp[j] = x[j] + d;
      f(xp, f1, t);
      xp[j] = x[j];
      for (std::size_t i = 0; i < N; ++i) jac[i][j] = (f1[i] - f0[i]) / d;
    }
  }
}

// LU factors of m with partial pivoting, in place; false when m is singular.
template <class T, std::size_t N>
bool factor(Matrix<T, N>& m, std::array<std::size_t, N>& pivot) {
  for (std::size_t k = 0; k < N; ++k) {
    std::size_t p = k;
    for (std::size_t i = k + 1; i < N; ++i)
      if (std::fabs(m[i][k]) > std::fabs(m[p][k])) p = i;
    if (!(m[p][k] != 0) || !std::isfinite(m[p][k])) return false;
    pivot[k] = p;
    std::swap(m[k], m[p]);
    for (std::size_t i = k + 1; i < N; ++i) {
      m[i][k] /= m[k][k];
      for (std::size_t j = k + 1; j < N; ++j) m[i][j] -= m[i][k] * m[k][j];
    }
  }
  return true;
}

template <class T, std::size_t N>
void solve(const Matrix<T, N>& lu, const std::array<std::size_t, N>& pivot, std::array<T, N>& b) {
  for (std::size_t k = 0; k < N; ++k) {
    std::swap(b[k], b[pivot[k]]);
    for (std::size_t i = k + 1; i < N; ++i) b[i] -= lu[i][k] * b[k];
  }
  for (std::size_t k = N; k-- > 0;) {
    for (std::size_t j = k + 1; j < N; ++j) b[k] -= lu[k][j] * b[j];
    b[k] /= lu[k][k];
  }
}

// The step x+ = x + h·f(x + θ·(x+ - x), t + θ·h) for θ = 1 (backward
// Euler) or θ = 1/2 (implicit midpoint), in place.
template <class T, std::size_t N, class F>
void thetaStep(const F& f, std::array<T, N>& x, T t, T h, T theta, const char* scheme) {
  Matrix<T, N> m;
  jacobian(f, x, t + theta * h, m);
  for (std::size_t i = 0; i < N; ++i)
    for (std::size_t j = 0; j < N; ++j) m[i][j] = (i == j ? T(1) : T(0)) - theta * h * m[i][j];
  std::array<std::size_t, N> pivot{};
  if (!factor(m, pivot))
    throw NewtonFailure(std::string(scheme) +
                        ": the step's Newton matrix I - h·J is singular at this time step");
  // Converged when the correction, and what the iteration's rate says is
  // left after it, are down to rounding; a correction that stops shrinking
  // near rounding is rounding's noise.
  const T eps = std::numeric_limits<T>::epsilon();
  std::array<T, N> next = x, stage, d;
  T previous = 0;
  for (int iteration = 1; iteration <= kNewtonIterations; ++iteration) {
    for (std::size_t i = 0; i < N; ++i) stage[i] = x[i] + theta * (next[i] - x[i]);
    f(stage, d, t + theta * h);
    // The residual next - x - h·f(stage), negated, solved for the correction.
    T size = 0, change = 0;
    for (std::size_t i = 0; i < N; ++i) d[i] = x[i] + h * d[i] - next[i];
    solve(m, pivot, d);
    for (std::size_t i = 0; i < N; ++i) {
      next[i] += d[i];
      size = std::fmax(size, std::fabs(next[i]));
      change = std::fmax(change, std::fabs(d[i]));
    }
    if (!std::isfinite(change)) break;
    const T floor = 4 * eps * (1 + size);
    bool converged = change <= floor;
    if (!converged && iteration > 1) {
      const T rate = change / previous;
      converged = rate < 1 ? change * rate / (1 - rate) <= floor : change <= 1000 * floor;
    }
    if (converged) {
      x = next;
      return;
    }
    // Slow convergence: the force is far from linear over the step, so the
    // Jacobian is taken again where the iteration now is.
    if (iteration > 1 && change > previous / 10) {
      for (std::size_t i = 0; i < N; ++i) stage[i] = x[i] + theta * (next[i] - x[i]);
      jacobian(f, stage, t + theta * h, m);
      for (std::size_t i = 0; i < N; ++i)
        for (std::size_t j = 0; j < N; ++j) m[i][j] = (i == j ? T(1) : T(0)) - theta * h * m[i][j];
      if (!factor(m, pivot)) break;
    }
    previous = change;
  }
  throw NewtonFailure(std::string(scheme) + ": Newton's method did not converge in " +
                      std::to_string(kNewtonIterations) + " iterations");
}

template <class T, std::size_t N, class F>
void backwardEuler(const F& f, std::array<T, N>& x, T t, T h) {
  thetaStep(f, x, t, h, T(1), "backward-euler");
}

template <class T, std::size_t N, class F>
void implicitMidpoint(const F& f, std::array<T, N>& x, T t, T h) {
  thetaStep(f, x, t, h, T(1) / T(2), "implicit-midpoint");
}

}  // namespace implicitsteps
