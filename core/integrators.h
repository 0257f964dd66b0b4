#pragma once

#include <cstddef>
#include <new>
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
void integrateEuler(StateList& state, DerivativeEvaluator& evaluator, float timeStep, float time);
void integrateMidpoint(StateList& state, DerivativeEvaluator& evaluator, float timeStep,
                       float time);
void integrateRK4(StateList& state, DerivativeEvaluator& evaluator, float timeStep, float time);

// The one-step dispatch shared by the models: integrates with the scheme
// named by `scheme` (printing "Error : Unknown integration scheme attempted"
// and leaving the state alone for any other value), then advances time by
// timeStep in single precision in every case.
void stepWithScheme(int scheme, StateList& state, DerivativeEvaluator& evaluator, float timeStep,
                    float& time);
