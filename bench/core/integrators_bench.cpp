// Nanoseconds per step of our steppers on the projectile system (position,
// velocity; linear drag and gravity), beside Boost.Odeint's euler and
// runge_kutta4 on the same system in single precision.

#include <benchmark/benchmark.h>

#include <array>
#include <boost/numeric/odeint.hpp>

#include "integrators.h"

namespace {

constexpr float kDrag = -0.05f;  // -airFriction / projectileMass at start-up
constexpr float kGravity = -9.8f;
constexpr float kStep = 0.001f;

struct Projectile : DerivativeEvaluator {
  void evaluate(const StateList& in, StateList& out, float, float) override {
    out[0] = in[1];
    Vector3f a = in[1] * kDrag;
    a.y = static_cast<float>(static_cast<double>(a.y) + kGravity);
    out[1] = a;
  }
};

template <int Scheme>
void BM_Ours(benchmark::State& st) {
  StateList s{Vector3f(0, 0.0001f, 0), Vector3f(-1.2279f, 7.0711f, 6.9636f)};
  Projectile ev;
  float t = 0;
  for (auto _ : st) {
    stepWithScheme(Scheme, s, ev, kStep, t);
    benchmark::DoNotOptimize(s.data());
  }
  st.SetItemsProcessed(st.iterations());
}

// The same derivative, computed with the same arithmetic (products in double,
// narrowed to float), so that the two sides differ only in their steppers.
using OdeState = std::array<float, 6>;
struct OdeProjectile {
  void operator()(const OdeState& x, OdeState& dxdt, float) const {
    for (int i = 0; i < 3; ++i) dxdt[i] = x[3 + i];
    for (int i = 0; i < 3; ++i)
      dxdt[3 + i] = static_cast<float>(static_cast<double>(x[3 + i]) * kDrag);
    dxdt[4] = static_cast<float>(static_cast<double>(dxdt[4]) + kGravity);
  }
};

template <class Stepper>
void BM_Odeint(benchmark::State& st) {
  OdeState x{0, 0.0001f, 0, -1.2279f, 7.0711f, 6.9636f};
  Stepper stepper;
  float t = 0;
  for (auto _ : st) {
    stepper.do_step(OdeProjectile{}, x, t, kStep);
    t += kStep;
    benchmark::DoNotOptimize(x.data());
  }
  st.SetItemsProcessed(st.iterations());
}

namespace ode = boost::numeric::odeint;
BENCHMARK(BM_Ours<Euler>)->Name("step/euler/pbsim");
BENCHMARK(BM_Odeint<ode::euler<OdeState, float>>)->Name("step/euler/odeint");
BENCHMARK(BM_Ours<Midpoint>)->Name("step/midpoint/pbsim");
BENCHMARK(BM_Ours<RK4>)->Name("step/rk4/pbsim");
BENCHMARK(BM_Odeint<ode::runge_kutta4<OdeState, float>>)->Name("step/rk4/odeint");

}  // namespace
