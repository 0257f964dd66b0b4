#include "integrators.h"

#include <gtest/gtest.h>

#include <array>
#include <boost/numeric/odeint.hpp>
#include <cmath>
#include <random>
#include <string>

#include "reference_steps.h"
#include "test_systems.h"

namespace {

constexpr int kSchemes[] = {Euler, Midpoint, RK4};

TEST(Integrators, ConstantDerivativeAddsHTimesD) {
  for (int scheme : kSchemes) {
    testsys::ConstantEvaluator ev(Vector3f(1.5f, -2.0f, 0.25f));
    StateList s{Vector3f(1, 2, 3), Vector3f(-4, 5, 6), Vector3f()};
    float time = 2.0f;
    stepWithScheme(scheme, s, ev, 0.5f, time);
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].x, 1.75f);
    EXPECT_EQ(s[0].y, 1.0f);
    EXPECT_EQ(s[1].z, 6.125f);
    EXPECT_EQ(s[2].x, 0.75f);
    EXPECT_EQ(time, 2.5f) << "scheme " << scheme;
  }
}

TEST(Integrators, FreeFallIsExactForMidpointAndRK4) {
  const float g = -9.8f, h = 0.25f;
  const Vector3f p(1, 2, 3), v(0.5f, 4, -1);
  for (int scheme : kSchemes) {
    testsys::FreeFallEvaluator ev(g);
    StateList s{p, v};
    float t = 0;
    stepWithScheme(scheme, s, ev, h, t);
    const double drop = scheme == Euler ? 0.0 : 0.5 * h * h * g;
    EXPECT_FLOAT_EQ(s[0].x, p.x + h * v.x);
    EXPECT_FLOAT_EQ(s[0].y, static_cast<float>(p.y + h * v.y + drop)) << "scheme " << scheme;
    EXPECT_FLOAT_EQ(s[0].z, p.z + h * v.z);
    EXPECT_FLOAT_EQ(s[1].y, v.y + h * g);
  }
}

TEST(Integrators, StagesSeeTheRightStatesStepsAndTimes) {
  const float h = 0.5f, t = 1.0f;
  const Vector3f x0(10, 20, 30), d(1, 2, 3);  // d: what the recorder answers
  struct Expect {
    int scheme;
    std::vector<float> steps, times, stageOffsets;  // stage state = x0 + offset·d
  };
  const Expect cases[] = {
      {Euler, {h}, {t}, {0}},
      {Midpoint, {h, h / 2}, {t, t + h / 2}, {0, h / 2}},
      {RK4, {h, h / 2, h / 2, h}, {t, t + h / 2, t + h / 2, t + h}, {0, h / 2, h / 2, h}},
  };
  for (const Expect& c : cases) {
    testsys::RecordingEvaluator ev;
    StateList s{x0};
    float time = t;
    stepWithScheme(c.scheme, s, ev, h, time);
    ASSERT_EQ(ev.calls.size(), c.steps.size()) << "scheme " << c.scheme;
    for (std::size_t i = 0; i < ev.calls.size(); ++i) {
      EXPECT_EQ(ev.calls[i].timeStep, c.steps[i]);
      EXPECT_EQ(ev.calls[i].time, c.times[i]);
      EXPECT_EQ(ev.calls[i].outputSize, 1u);
      EXPECT_EQ(ev.calls[i].inputs[0].y, x0.y + c.stageOffsets[i] * d.y);
    }
    EXPECT_EQ(s[0].z, x0.z + h * d.z);  // every stage derivative is d
  }
}

TEST(Integrators, EmptyStateStillEvaluatesEveryStage) {
  const std::size_t expected[] = {1, 2, 4};
  for (int scheme : kSchemes) {
    testsys::RecordingEvaluator ev;
    StateList s;
    float time = 0;
    stepWithScheme(scheme, s, ev, 0.1f, time);
    EXPECT_EQ(ev.calls.size(), expected[scheme]);
    for (const auto& call : ev.calls) EXPECT_TRUE(call.inputs.empty() && call.outputSize == 0);
    EXPECT_TRUE(s.empty());
  }
}

TEST(Integrators, UnknownSchemeReportsAndOnlyAdvancesTime) {
  for (int scheme : {3, -1}) {
    testsys::RecordingEvaluator ev;
    StateList s{Vector3f(1, 2, 3)};
    float time = 1.0f;
    testing::internal::CaptureStdout();
    stepWithScheme(scheme, s, ev, 0.25f, time);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error : Unknown integration scheme attempted\n");
    EXPECT_TRUE(ev.calls.empty());
    EXPECT_EQ(s[0].y, 2.0f);
    EXPECT_EQ(time, 1.25f);
  }
}

// ---------------------------------------------------------------------------
// Bit-for-bit agreement with the precision rules, written out independently
// on plain float arrays: every stage state and update is formed in double
// and narrowed to float once per component; h/2 and t + h/2 are narrowed;
// RK4's bracket is ((k1 + 2·k2) + 2·k3) + k4 in double.

constexpr int N = 6;  // two vectors
using refstep::Arr;

// Linear drag and gravity, with its own arithmetic narrowed the same way.
struct DragEvaluator : DerivativeEvaluator {
  float c, g;
  DragEvaluator(float c_, float g_) : c(c_), g(g_) {}
  void evaluate(const StateList& in, StateList& out, float, float) override {
    out[0] = in[1];
    Vector3f a = in[1] * c;
    a.y = static_cast<float>(double(a.y) + g);
    out[1] = a;
  }
  Arr f(const Arr& s) const {
    Arr r{};
    for (int i = 0; i < 3; ++i) r[i] = s[3 + i];
    for (int i = 0; i < 3; ++i) r[3 + i] = static_cast<float>(double(s[3 + i]) * c);
    r[4] = static_cast<float>(double(r[4]) + g);
    return r;
  }
};

TEST(Integrators, MatchPrecisionRulesBitForBit) {
  std::mt19937 rng(12345);
  std::uniform_real_distribution<float> value(-100, 100), stepLen(1e-6f, 0.5f), coef(-10, 0),
      grav(-20, 20);
  int compared = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    const int scheme = kSchemes[trial % 3];
    DragEvaluator ev(coef(rng), grav(rng));
    Arr x{};
    for (float& v : x) v = value(rng);
    const float h = stepLen(rng);
    StateList s{Vector3f(x[0], x[1], x[2]), Vector3f(x[3], x[4], x[5])};
    float t = value(rng);
    stepWithScheme(scheme, s, ev, h, t);
    const Arr want = refstep::step(
        scheme, x, [&ev](const Arr& a) { return ev.f(a); }, h);
    const Arr got{s[0].x, s[0].y, s[0].z, s[1].x, s[1].y, s[1].z};
    for (int i = 0; i < N; ++i, ++compared)
      ASSERT_EQ(got[i], want[i]) << "trial " << trial << " scheme " << scheme << " comp " << i;
  }
  EXPECT_EQ(compared, 3000 * N);
}

// The bracket's summation order shows only when double additions round and a
// later stage cancels an earlier one: script such stage derivatives.
struct ScriptedEvaluator : DerivativeEvaluator {
  std::array<float, 4> k;
  int call = 0;
  void evaluate(const StateList&, StateList& out, float, float) override {
    out[0] = Vector3f(k[call], -k[call], 0.0f);
    ++call;
  }
};

TEST(Integrators, Rk4BracketSummedInStatedOrder) {
  std::mt19937 rng(99);
  std::uniform_real_distribution<float> mant(1, 2);
  std::uniform_int_distribution<int> expo(-40, 40), sign(0, 1);
  int differs = 0;  // cases where another order would have given another float
  for (int trial = 0; trial < 3000; ++trial) {
    ScriptedEvaluator ev;
    for (float& v : ev.k) v = std::ldexp(mant(rng), expo(rng)) * (sign(rng) ? 1 : -1);
    // Every other trial: k3 cancels k1, so what survives depends on the order.
    if (trial % 2) ev.k[2] = -ev.k[0] / 2;
    const float x0 = std::ldexp(mant(rng), expo(rng)), h = 0.1f;
    StateList s{Vector3f(x0, x0, 0)};
    integrateRK4(s, ev, h, 0);
    const double k1 = ev.k[0], k2 = ev.k[1], k3 = ev.k[2], k4 = ev.k[3];
    const float want = static_cast<float>(x0 + double(h) / 6 * (((k1 + 2 * k2) + 2 * k3) + k4));
    const float other = static_cast<float>(x0 + double(h) / 6 * (((k1 + k4) + 2 * k3) + 2 * k2));
    ASSERT_EQ(s[0].x, want) << "trial " << trial;
    differs += want != other;
  }
  EXPECT_GT(differs, 10);  // the data does exercise the order
}

// ---------------------------------------------------------------------------
// Order of accuracy on the harmonic oscillator x'' = -x, x(0) = 1, v(0) = 0:
// x(T) = cos T. Halving h divides the global error by about 2^p.

double globalError(int scheme, float h, float T) {
  testsys::OscillatorEvaluator ev(1.0f);
  StateList s{Vector3f(1, 0, 0), Vector3f(0, 0, 0)};
  float t = 0;
  const int steps = static_cast<int>(std::lround(T / h));
  for (int i = 0; i < steps; ++i) stepWithScheme(scheme, s, ev, h, t);
  return std::fabs(double(s[0].x) - std::cos(double(steps) * h));
}

TEST(Integrators, ObservedOrderOnOscillator) {
  // Step sizes are chosen so the truncation error stays far above the
  // single-precision round-off that accumulates over the run.
  struct Case {
    int scheme;
    float h;
    double lo, hi;
  };
  const Case cases[] = {
      {Euler, 0.01f, 1.8, 2.2}, {Midpoint, 0.05f, 3.5, 4.5}, {RK4, 0.25f, 13.0, 19.0}};
  for (const Case& c : cases) {
    const double coarse = globalError(c.scheme, c.h, 4.0f);
    const double fine = globalError(c.scheme, c.h / 2, 4.0f);
    const double ratio = coarse / fine;
    EXPECT_GT(ratio, c.lo) << "scheme " << c.scheme << " errors " << coarse << " " << fine;
    EXPECT_LT(ratio, c.hi) << "scheme " << c.scheme << " errors " << coarse << " " << fine;
  }
}

// ---------------------------------------------------------------------------
// Boost.Odeint's steppers on the same projectile system (double precision)
// agree with one of our steps to within a few float ulps.

using OdeState = std::array<double, N>;

struct OdeDrag {
  double c, g;
  void operator()(const OdeState& x, OdeState& dxdt, double) const {
    for (int i = 0; i < 3; ++i) dxdt[i] = x[3 + i];
    for (int i = 0; i < 3; ++i) dxdt[3 + i] = c * x[3 + i];
    dxdt[4] += g;
  }
};

TEST(Integrators, AgreeWithOdeint) {
  namespace ode = boost::numeric::odeint;
  std::mt19937 rng(777);
  std::uniform_real_distribution<float> value(-50, 50), stepLen(1e-3f, 0.2f), coef(-5, 0);
  ode::euler<OdeState> euler;
  ode::runge_kutta4<OdeState> rk4;
  // A few ulps of the largest component: each stage narrows to float once.
  constexpr std::int64_t kUlps = 8;
  for (int trial = 0; trial < 500; ++trial) {
    const float c = coef(rng), g = -9.8f, h = stepLen(rng);
    OdeState x{};
    for (double& v : x) v = value(rng);
    for (int scheme : {Euler, RK4}) {
      DragEvaluator ev(c, g);
      StateList s{Vector3f(float(x[0]), float(x[1]), float(x[2])),
                  Vector3f(float(x[3]), float(x[4]), float(x[5]))};
      float t = 0;
      stepWithScheme(scheme, s, ev, h, t);
      OdeState y = x;
      if (scheme == Euler)
        euler.do_step(OdeDrag{c, g}, y, 0.0, double(h));
      else
        rk4.do_step(OdeDrag{c, g}, y, 0.0, double(h));
      const float got[N] = {s[0].x, s[0].y, s[0].z, s[1].x, s[1].y, s[1].z};
      double scale = 0;
      for (double v : y) scale = std::max(scale, std::fabs(v));
      const double tol = kUlps * std::nextafter(float(scale), INFINITY) - kUlps * float(scale);
      for (int i = 0; i < N; ++i)
        ASSERT_NEAR(got[i], y[i], tol) << "trial " << trial << " scheme " << scheme;
    }
  }
}

}  // namespace
