#pragma once

// A scheme as Python gives it: a name of the scheme table, a
// ButcherTableau, or a callable step(f, t, state, h) -> new_state.

#include <pybind11/pybind11.h>

#include <memory>
#include <vector>

#include "cases.h"

namespace py = pybind11;

// The derivative of the run in progress, as the Python callable f(t, state)
// sees it. It lives as long as the run; a user who keeps f and calls it
// afterwards gets an error, not a dangling pointer.
struct DerivativeSlot {
  const CustomScheme::Derivative* current = nullptr;
  std::size_t n = 0;
};

struct PyScheme {
  RunScheme scheme;
  std::shared_ptr<DerivativeSlot> slot;  // set for a callable
  bool custom() const { return static_cast<bool>(slot); }
};

PyScheme toScheme(const py::handle& value);
// At least one scheme.
std::vector<PyScheme> toSchemes(const py::iterable& schemes);

// Ends the user's access to a run's derivative, however the run ends.
struct SlotGuard {
  std::shared_ptr<DerivativeSlot> slot;
  ~SlotGuard() {
    if (slot) slot->current = nullptr;
  }
};
