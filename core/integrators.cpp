#include "integrators.h"

#include <cstddef>
#include <cstdio>

namespace {

// Backing store for the temporaries of one step: a bump allocator over a
// buffer on the stack. Five lists of up to eight entries (RK4 on any state we
// use) fit without touching the heap; longer states fall back to operator new.
// Memory is given back all at once when the step returns.
class Scratch final : public std::pmr::memory_resource {
 public:
  Scratch() = default;
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  // A list of n zero vectors.
  StateList list(std::size_t n) { return StateList(n, Vector3f(), this); }

 private:
  void* do_allocate(std::size_t bytes, std::size_t align) override {
    const std::size_t start = (used_ + align - 1) & ~(align - 1);
    if (start + bytes <= sizeof buffer_) {
      used_ = start + bytes;
      return buffer_ + start;
    }
    return std::pmr::new_delete_resource()->allocate(bytes, align);
  }
  void do_deallocate(void* p, std::size_t bytes, std::size_t align) override {
    const auto* b = static_cast<const std::byte*>(p);
    if (b < buffer_ || b >= buffer_ + sizeof buffer_)
      std::pmr::new_delete_resource()->deallocate(p, bytes, align);
  }
  bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override {
    return this == &other;
  }

  alignas(std::max_align_t) std::byte buffer_[5 * 8 * sizeof(Vector3f)];
  std::size_t used_ = 0;
};

inline float half(float h) { return static_cast<float>(static_cast<double>(h) / 2.0); }
inline float later(float t, float dt) {
  return static_cast<float>(static_cast<double>(dt) + static_cast<double>(t));
}

// out[i] = s[i] + w·d[i]
void stage(StateList& out, const StateList& s, float w, const StateList& d) {
  for (std::size_t i = 0; i < s.size(); ++i) out[i] = linearCombination(s[i], 1.0f, d[i], w);
}

// s[i] += w·d[i]
void advance(StateList& s, float w, const StateList& d) {
  for (std::size_t i = 0; i < s.size(); ++i) linearCombinationInPlace(s[i], 1.0f, d[i], w);
}

}  // namespace

void integrateEuler(StateList& state, DerivativeEvaluator& evaluator, float timeStep, float time) {
  Scratch scratch;
  StateList derivatives = scratch.list(state.size());
  evaluator.evaluate(state, derivatives, timeStep, time);  // k1 = f(x, t)
  advance(state, timeStep, derivatives);                   // x += h·k1
}

void integrateMidpoint(StateList& state, DerivativeEvaluator& evaluator, float timeStep,
                       float time) {
  const float h2 = half(timeStep);
  Scratch scratch;
  StateList derivatives1 = scratch.list(state.size());
  StateList derivatives2 = scratch.list(state.size());
  evaluator.evaluate(state, derivatives1, timeStep, time);              // k1 = f(x, t)
  stage(derivatives2, state, h2, derivatives1);                         // xm = x + h/2·k1
  evaluator.evaluate(derivatives2, derivatives1, h2, later(time, h2));  // k2 = f(xm, t + h/2)
  advance(state, timeStep, derivatives1);                               // x += h·k2
}

void integrateRK4(StateList& state, DerivativeEvaluator& evaluator, float timeStep, float time) {
  const std::size_t n = state.size();
  const float h2 = half(timeStep);
  const float tHalf = later(time, h2);
  const float tFull = later(time, timeStep);
  Scratch scratch;
  StateList k1 = scratch.list(n);
  StateList k2 = scratch.list(n);
  StateList k3 = scratch.list(n);
  StateList k4 = scratch.list(n);
  StateList intermediateVariables = scratch.list(n);

  evaluator.evaluate(state, k1, timeStep, time);                   // k1 = f(x, t)
  stage(intermediateVariables, state, h2, k1);                     //
  evaluator.evaluate(intermediateVariables, k2, h2, tHalf);        // k2 = f(x + h/2·k1, t + h/2)
  stage(intermediateVariables, state, h2, k2);                     //
  evaluator.evaluate(intermediateVariables, k3, h2, tHalf);        // k3 = f(x + h/2·k2, t + h/2)
  stage(intermediateVariables, state, timeStep, k3);               //
  evaluator.evaluate(intermediateVariables, k4, timeStep, tFull);  // k4 = f(x + h·k3, t + h)

  // x += h/6·(((k1 + 2·k2) + 2·k3) + k4), summed in double in that order.
  const double h6 = static_cast<double>(timeStep) / 6.0;
  auto update = [h6](float& s, float a, float b, float c, float e) {
    const double sum =
        ((static_cast<double>(a) + 2.0 * static_cast<double>(b)) + 2.0 * static_cast<double>(c)) +
        static_cast<double>(e);
    s = static_cast<float>(static_cast<double>(s) + h6 * sum);
  };
  for (std::size_t i = 0; i < n; ++i) {
    update(state[i].x, k1[i].x, k2[i].x, k3[i].x, k4[i].x);
    update(state[i].y, k1[i].y, k2[i].y, k3[i].y, k4[i].y);
    update(state[i].z, k1[i].z, k2[i].z, k3[i].z, k4[i].z);
  }
}

void stepWithScheme(int scheme, StateList& state, DerivativeEvaluator& evaluator, float timeStep,
                    float& time) {
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
