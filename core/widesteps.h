#pragma once

// The five schemes' steps and a user's tableau on a plain array state in a
// wide floating-point type (double, or long double for checking double): the
// scheme table (schemes.h) gives each row its wide step from here, and the
// double-precision simulators and the double rows of a convergence study
// step through it. The system is called as f(x, dxdt, t), as Boost.Odeint
// calls it. For symplectic Euler and velocity Verlet the first half of the
// state holds the positions and the second half their velocities.

#include <array>
#include <cstddef>

#include "tableau.h"

namespace widesteps {

template <class T, std::size_t N, class F>
void euler(const F& f, std::array<T, N>& x, T t, T h) {
  std::array<T, N> d;
  f(x, d, t);
  for (std::size_t i = 0; i < N; ++i) x[i] += h * d[i];
}

template <class T, std::size_t N, class F>
void midpoint(const F& f, std::array<T, N>& x, T t, T h) {
  std::array<T, N> k1, k2, m;
  f(x, k1, t);
  for (std::size_t i = 0; i < N; ++i) m[i] = x[i] + h / 2 * k1[i];
  f(m, k2, t + h / 2);
  for (std::size_t i = 0; i < N; ++i) x[i] += h * k2[i];
}

template <class T, std::size_t N, class F>
void rk4(const F& f, std::array<T, N>& x, T t, T h) {
  std::array<T, N> k1, k2, k3, k4, m;
  f(x, k1, t);
  for (std::size_t i = 0; i < N; ++i) m[i] = x[i] + h / 2 * k1[i];
  f(m, k2, t + h / 2);
  for (std::size_t i = 0; i < N; ++i) m[i] = x[i] + h / 2 * k2[i];
  f(m, k3, t + h / 2);
  for (std::size_t i = 0; i < N; ++i) m[i] = x[i] + h * k3[i];
  f(m, k4, t + h);
  for (std::size_t i = 0; i < N; ++i) x[i] += h / 6 * (((k1[i] + 2 * k2[i]) + 2 * k3[i]) + k4[i]);
}

template <class T, std::size_t N, class F>
void symplecticEuler(const F& f, std::array<T, N>& x, T t, T h) {
  constexpr std::size_t M = N / 2;
  std::array<T, N> d;
  f(x, d, t);
  for (std::size_t i = 0; i < M; ++i) {
    x[M + i] += h * d[M + i];
    x[i] += h * x[M + i];
  }
}

template <class T, std::size_t N, class F>
void verlet(const F& f, std::array<T, N>& x, T t, T h) {
  constexpr std::size_t M = N / 2;
  std::array<T, N> d1, d2, p;
  f(x, d1, t);
  for (std::size_t i = 0; i < M; ++i) {
    p[i] = x[i] + h * x[M + i] + h * h / 2 * d1[M + i];
    p[M + i] = x[M + i] + h * d1[M + i];
  }
  f(p, d2, t + h);
  for (std::size_t i = 0; i < M; ++i) {
    x[i] = p[i];
    x[M + i] += h / 2 * (d1[M + i] + d2[M + i]);
  }
}

template <class T, std::size_t N, class F>
void tableau(const ButcherTableau& tab, const F& f, std::array<T, N>& x, T t, T h) {
  const std::size_t s = tab.stages();
  std::array<std::array<T, N>, 16> k;
  std::array<T, N> m;
  for (std::size_t i = 0; i < s; ++i) {
    m = x;
    for (std::size_t j = 0; j < i; ++j) {
      const T w = h * static_cast<T>(tab.a[i][j]);
      if (w == 0) continue;
      for (std::size_t e = 0; e < N; ++e) m[e] += w * k[j][e];
    }
    f(m, k[i], t + static_cast<T>(tab.c[i]) * h);
  }
  for (std::size_t e = 0; e < N; ++e) {
    T sum = 0;
    for (std::size_t i = 0; i < s; ++i) sum += static_cast<T>(tab.b[i]) * k[i][e];
    x[e] += h * sum;
  }
}

}  // namespace widesteps
