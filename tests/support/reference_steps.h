#pragma once

// One step of each scheme written out on a plain array of six floats
// (position, velocity) from the precision rules: every stage state and update
// formed in double and narrowed to float once per component, h/2 narrowed,
// RK4's bracket ((k1 + 2·k2) + 2·k3) + k4 in double. The tests hold the
// integrators and the models' steps to it bit for bit.

#include <array>

#include "integrators.h"

namespace refstep {

using Arr = std::array<float, 6>;

// x + w·k, entry by entry.
inline Arr axpy(const Arr& x, float w, const Arr& k) {
  Arr r{};
  for (int i = 0; i < 6; ++i) r[i] = static_cast<float>(double(x[i]) + double(k[i]) * double(w));
  return r;
}

// f: Arr -> Arr, the derivative.
template <class F>
Arr step(int scheme, const Arr& x, const F& f, float h) {
  const float h2 = static_cast<float>(double(h) / 2);
  if (scheme == Euler) return axpy(x, h, f(x));
  if (scheme == Midpoint) return axpy(x, h, f(axpy(x, h2, f(x))));
  const Arr k1 = f(x), k2 = f(axpy(x, h2, k1)), k3 = f(axpy(x, h2, k2)), k4 = f(axpy(x, h, k3));
  Arr r{};
  for (int i = 0; i < 6; ++i)
    r[i] = static_cast<float>(
        double(x[i]) +
        double(h) / 6 *
            (((double(k1[i]) + 2 * double(k2[i])) + 2 * double(k3[i])) + double(k4[i])));
  return r;
}

}  // namespace refstep
