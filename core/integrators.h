#pragma once

#include <cstddef>
#include <cstdio>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "vector3f.h"

class ScratchArena;

// Allocates from a ScratchArena when it has one, from the heap otherwise.
// Copies of a list always go to the heap, so a list that outlives the step
// never points into the step's arena.
template <class T>
struct ScratchAllocator {
  using value_type = T;
  ScratchArena* arena = nullptr;

  ScratchAllocator() = default;
  explicit ScratchAllocator(ScratchArena* a) : arena(a) {}
  template <class U>
  ScratchAllocator(const ScratchAllocator<U>& o) : arena(o.arena) {}

  T* allocate(std::size_t n);
  void deallocate(T* p, std::size_t n);
  ScratchAllocator select_on_container_copy_construction() const { return {}; }
  template <class U>
  bool operator==(const ScratchAllocator<U>& o) const {
    return arena == o.arena;
  }
  template <class U>
  bool operator!=(const ScratchAllocator<U>& o) const {
    return arena != o.arena;
  }
};

// A model's state: entry 0 the position, entry 1 the velocity. The derivative
// list has the same length: entry i is the time derivative of state entry i.
// The list's allocator lets the integrators' short-lived temporaries live in
// a small buffer on the stack; lists made elsewhere use the heap as usual.
using StateList = std::vector<Vector3f, ScratchAllocator<Vector3f>>;

// A bump allocator over a buffer on the stack, for the temporaries of one
// step: five lists of up to eight entries fit; the rest go to the heap.
class ScratchArena {
 public:
  ScratchArena() = default;
  ScratchArena(const ScratchArena&) = delete;
  ScratchArena& operator=(const ScratchArena&) = delete;
  // A list of n zero vectors.
  StateList list(std::size_t n) {
    return StateList(n, Vector3f(), ScratchAllocator<Vector3f>(this));
  }

  void* take(std::size_t bytes) {
    if (used_ + bytes > sizeof buffer_) return nullptr;
    void* p = buffer_ + used_;
    used_ += (bytes + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);
    return p;
  }
  bool owns(const void* p) const {
    const auto* b = static_cast<const std::byte*>(p);
    return b >= buffer_ && b < buffer_ + sizeof buffer_;
  }

 private:
  alignas(
      std::max_align_t) std::byte buffer_[5 * 8 * sizeof(Vector3f) + 5 * alignof(std::max_align_t)];
  std::size_t used_ = 0;
};

template <class T>
T* ScratchAllocator<T>::allocate(std::size_t n) {
  static_assert(alignof(T) <= alignof(std::max_align_t));
  if (arena)
    if (void* p = arena->take(n * sizeof(T))) return static_cast<T*>(p);
  return static_cast<T*>(::operator new(n * sizeof(T)));
}

template <class T>
void ScratchAllocator<T>::deallocate(T* p, std::size_t) {
  if (arena && arena->owns(p)) return;
  ::operator delete(p);
}

// What an integrator knows of a model: given a state, write its derivatives.
class DerivativeEvaluator {
 public:
  // outputs already has the length of inputs; every entry is overwritten.
  // timeStep is the length of the stage that goes with this evaluation and
  // time is the simulated time at that stage.
  virtual void evaluate(const StateList& inputs, StateList& outputs, float timeStep,
                        float time) = 0;

 protected:
  ~DerivativeEvaluator() = default;  // never deleted through this base
};

// The scheme a model integrates with, stored as a plain int.
enum IntegrationScheme { Euler = 0, Midpoint = 1, RK4 = 2 };

// Of three per-scheme flags, the one that belongs to `scheme`; nullptr for a
// value that names no scheme.
inline bool* schemeFlag(int scheme, bool& euler, bool& midpoint, bool& rk4) {
  switch (scheme) {
    case Euler:
      return &euler;
    case Midpoint:
      return &midpoint;
    case RK4:
      return &rk4;
    default:
      return nullptr;
  }
}

// One explicit step of length timeStep from time, in place. None of them
// advances time; stepWithScheme does.
//
// They are defined inline below: a model's step, built on its stack with its
// evaluator, then compiles into one function in which the evaluator's
// arithmetic is inlined and, for the models' two-entry states, every list
// entry is known, so the stages' values can stay in registers. The lists are
// still made, filled and released within each call.
inline void integrateEuler(StateList& state, DerivativeEvaluator& evaluator, float timeStep,
                           float time);
inline void integrateMidpoint(StateList& state, DerivativeEvaluator& evaluator, float timeStep,
                              float time);
inline void integrateRK4(StateList& state, DerivativeEvaluator& evaluator, float timeStep,
                         float time);

// The one-step dispatch shared by the models: integrates with the scheme
// named by `scheme` (printing "Error : Unknown integration scheme attempted"
// and leaving the state alone for any other value), then advances time by
// timeStep in single precision in every case.
inline void stepWithScheme(int scheme, StateList& state, DerivativeEvaluator& evaluator,
                           float timeStep, float& time);

namespace integrators_detail {

inline float half(float h) { return static_cast<float>(static_cast<double>(h) / 2.0); }
inline float later(float t, float dt) {
  return static_cast<float>(static_cast<double>(dt) + static_cast<double>(t));
}

// Calls f(i) for every entry i of a list of length n. A length known at
// compile time is written out entry by entry.
template <class F>
inline void forEachEntry(std::size_t n, F&& f) {
  for (std::size_t i = 0; i < n; ++i) f(i);
}
template <class F, std::size_t... I>
inline void forEachEntry(std::index_sequence<I...>, F&& f) {
  (f(I), ...);
}
template <std::size_t N, class F>
inline void forEachEntry(std::integral_constant<std::size_t, N>, F&& f) {
  forEachEntry(std::make_index_sequence<N>(), f);
}

// The three schemes over a state of length n: a std::size_t, or a
// std::integral_constant for a length known at compile time.

// out[i] = s[i] + w·d[i]
template <class Length>
inline void stage(Length n, StateList& out, const StateList& s, float w, const StateList& d) {
  forEachEntry(n, [&](std::size_t i) { out[i] = linearCombination(s[i], 1.0f, d[i], w); });
}

// s[i] += w·d[i]
template <class Length>
inline void advance(Length n, StateList& s, float w, const StateList& d) {
  forEachEntry(n, [&](std::size_t i) { linearCombinationInPlace(s[i], 1.0f, d[i], w); });
}

template <class Length>
inline void euler(Length n, StateList& state, DerivativeEvaluator& evaluator, float timeStep,
                  float time) {
  ScratchArena scratch;
  StateList derivatives = scratch.list(n);
  evaluator.evaluate(state, derivatives, timeStep, time);  // k1 = f(x, t)
  advance(n, state, timeStep, derivatives);                // x += h·k1
}

template <class Length>
inline void midpoint(Length n, StateList& state, DerivativeEvaluator& evaluator, float timeStep,
                     float time) {
  const float h2 = half(timeStep);
  ScratchArena scratch;
  StateList derivatives1 = scratch.list(n);
  StateList derivatives2 = scratch.list(n);
  evaluator.evaluate(state, derivatives1, timeStep, time);              // k1 = f(x, t)
  stage(n, derivatives2, state, h2, derivatives1);                      // xm = x + h/2·k1
  evaluator.evaluate(derivatives2, derivatives1, h2, later(time, h2));  // k2 = f(xm, t + h/2)
  advance(n, state, timeStep, derivatives1);                            // x += h·k2
}

template <class Length>
inline void rk4(Length n, StateList& state, DerivativeEvaluator& evaluator, float timeStep,
                float time) {
  const float h2 = half(timeStep);
  const float tHalf = later(time, h2);
  const float tFull = later(time, timeStep);
  ScratchArena scratch;
  StateList k1 = scratch.list(n);
  StateList k2 = scratch.list(n);
  StateList k3 = scratch.list(n);
  StateList k4 = scratch.list(n);
  StateList intermediateVariables = scratch.list(n);

  evaluator.evaluate(state, k1, timeStep, time);                   // k1 = f(x, t)
  stage(n, intermediateVariables, state, h2, k1);                  //
  evaluator.evaluate(intermediateVariables, k2, h2, tHalf);        // k2 = f(x + h/2·k1, t + h/2)
  stage(n, intermediateVariables, state, h2, k2);                  //
  evaluator.evaluate(intermediateVariables, k3, h2, tHalf);        // k3 = f(x + h/2·k2, t + h/2)
  stage(n, intermediateVariables, state, timeStep, k3);            //
  evaluator.evaluate(intermediateVariables, k4, timeStep, tFull);  // k4 = f(x + h·k3, t + h)

  // x += h/6·(((k1 + 2·k2) + 2·k3) + k4), summed in double in that order.
  const double h6 = static_cast<double>(timeStep) / 6.0;
  auto update = [h6](float s, float a, float b, float c, float e) {
    const double sum =
        ((static_cast<double>(a) + 2.0 * static_cast<double>(b)) + 2.0 * static_cast<double>(c)) +
        static_cast<double>(e);
    return static_cast<float>(static_cast<double>(s) + h6 * sum);
  };
  forEachEntry(n, [&](std::size_t i) {
    // Read every input before storing: the lists are distinct, but the
    // compiler cannot know that.
    const Vector3f s = state[i], a = k1[i], b = k2[i], c = k3[i], e = k4[i];
    state[i] = Vector3f(update(s.x, a.x, b.x, c.x, e.x), update(s.y, a.y, b.y, c.y, e.y),
                        update(s.z, a.z, b.z, c.z, e.z));
  });
}

// For the schemes that treat positions and velocities apart, the state's
// first half holds the positions and its second half their velocities, whose
// derivatives (the accelerations) are the second half of the derivative list.

// Symplectic (semi-implicit) Euler: v += h·a(x, v), then x += h·v with the
// new v. One evaluation.
template <class Length>
inline void symplecticEuler(Length n, StateList& state, DerivativeEvaluator& evaluator,
                            float timeStep, float time) {
  ScratchArena scratch;
  StateList derivatives = scratch.list(n);
  const std::size_t m = static_cast<std::size_t>(n) / 2;
  evaluator.evaluate(state, derivatives, timeStep, time);
  for (std::size_t i = 0; i < m; ++i) {
    linearCombinationInPlace(state[m + i], 1.0f, derivatives[m + i], timeStep);  // v += h·a
    linearCombinationInPlace(state[i], 1.0f, state[m + i], timeStep);            // x += h·v
  }
}

// Velocity Verlet for velocity-dependent forces: with a = a(x, v),
//   x+ = x + h·v + h²/2·a,  a+ = a(x+, v + h·a),  v+ = v + h/2·(a + a+).
// The predicted velocity in the second evaluation keeps the order 2 where
// the force depends on the velocity. Two evaluations; each update is formed
// in double and narrowed once per component.
template <class Length>
inline void verlet(Length n, StateList& state, DerivativeEvaluator& evaluator, float timeStep,
                   float time) {
  ScratchArena scratch;
  StateList d1 = scratch.list(n);
  StateList d2 = scratch.list(n);
  StateList predicted = scratch.list(n);
  const std::size_t m = static_cast<std::size_t>(n) / 2;
  const double h = static_cast<double>(timeStep);
  const double hh2 = h * h / 2.0;
  const double h2 = h / 2.0;
  auto wide = [](float v) { return static_cast<double>(v); };
  evaluator.evaluate(state, d1, timeStep, time);  // a = a(x, v)
  for (std::size_t i = 0; i < m; ++i) {
    const Vector3f x = state[i], v = state[m + i], a = d1[m + i];
    predicted[i] = Vector3f(static_cast<float>(wide(x.x) + h * wide(v.x) + hh2 * wide(a.x)),
                            static_cast<float>(wide(x.y) + h * wide(v.y) + hh2 * wide(a.y)),
                            static_cast<float>(wide(x.z) + h * wide(v.z) + hh2 * wide(a.z)));
    predicted[m + i] = linearCombination(v, 1.0f, a, timeStep);
  }
  evaluator.evaluate(predicted, d2, timeStep, later(time, timeStep));  // a+
  for (std::size_t i = 0; i < m; ++i) {
    const Vector3f v = state[m + i], a = d1[m + i], b = d2[m + i];
    state[i] = predicted[i];
    state[m + i] = Vector3f(static_cast<float>(wide(v.x) + h2 * (wide(a.x) + wide(b.x))),
                            static_cast<float>(wide(v.y) + h2 * (wide(a.y) + wide(b.y))),
                            static_cast<float>(wide(v.z) + h2 * (wide(a.z) + wide(b.z))));
  }
}

// Runs scheme(n, ...) with the length as a compile-time constant for the
// models' two-entry states, as a run-time value otherwise.
template <class Scheme>
inline void withLength(const StateList& state, Scheme&& scheme) {
  if (state.size() == 2)
    scheme(std::integral_constant<std::size_t, 2>());
  else
    scheme(state.size());
}

}  // namespace integrators_detail

inline void integrateEuler(StateList& state, DerivativeEvaluator& evaluator, float timeStep,
                           float time) {
  integrators_detail::withLength(
      state, [&](auto n) { integrators_detail::euler(n, state, evaluator, timeStep, time); });
}

inline void integrateMidpoint(StateList& state, DerivativeEvaluator& evaluator, float timeStep,
                              float time) {
  integrators_detail::withLength(
      state, [&](auto n) { integrators_detail::midpoint(n, state, evaluator, timeStep, time); });
}

inline void integrateRK4(StateList& state, DerivativeEvaluator& evaluator, float timeStep,
                         float time) {
  integrators_detail::withLength(
      state, [&](auto n) { integrators_detail::rk4(n, state, evaluator, timeStep, time); });
}

inline void stepWithScheme(int scheme, StateList& state, DerivativeEvaluator& evaluator,
                           float timeStep, float& time) {
  switch (scheme) {
    case Euler:
      integrateEuler(state, evaluator, timeStep, time);
      break;
    case Midpoint:
      integrateMidpoint(state, evaluator, timeStep, time);
      break;
    case RK4:
      integrateRK4(state, evaluator, timeStep, time);
      break;
    default:
      std::printf("Error : Unknown integration scheme attempted\n");
      break;
  }
  time = static_cast<float>(static_cast<double>(time) + static_cast<double>(timeStep));
}

// The two schemes beside pbsim's three, with the same signature.
inline void integrateSymplecticEuler(StateList& state, DerivativeEvaluator& evaluator,
                                     float timeStep, float time) {
  integrators_detail::withLength(state, [&](auto n) {
    integrators_detail::symplecticEuler(n, state, evaluator, timeStep, time);
  });
}

inline void integrateVerlet(StateList& state, DerivativeEvaluator& evaluator, float timeStep,
                            float time) {
  integrators_detail::withLength(
      state, [&](auto n) { integrators_detail::verlet(n, state, evaluator, timeStep, time); });
}
