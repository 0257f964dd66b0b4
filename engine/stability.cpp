#include "stability.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <stdexcept>

#include "numbers.h"
#include "roots.h"
#include "springmassparams.h"
#include "tables.h"

namespace {

// ---- Theory ---------------------------------------------------------------

// The stability function R(z) = Σ c_n z^n of an explicit Runge-Kutta
// scheme of the table; empty for the others.
std::vector<double> stabilityPolynomial(int scheme) {
  switch (scheme) {
    case Euler:
      return {1.0, 1.0};
    case Midpoint:
      return {1.0, 1.0, 1.0 / 2.0};
    case RK4:
      return {1.0, 1.0, 1.0 / 2.0, 1.0 / 6.0, 1.0 / 24.0};
    default:
      return {};
  }
}

// |R(hλ)|² - 1 = h·g(h) with g(h) = Σ_{n≥1} d_n h^(n-1),
// d_n = Σ_{j+k=n} c_j c_k Re(λ^j conj(λ)^k): the 1 cancels exactly, so the
// sign of g holds at any small h (for an undamped spring the low terms are
// exact zeros, not rounding).
struct GrowthPolynomial {
  std::vector<double> d;  // d[n - 1] = d_n
  GrowthPolynomial(const std::vector<double>& c, std::complex<double> lambda) {
    const std::size_t p = c.size() - 1;
    std::vector<std::complex<double>> power(p + 1), conjPower(p + 1);
    power[0] = conjPower[0] = 1.0;
    for (std::size_t j = 1; j <= p; ++j) {
      power[j] = power[j - 1] * lambda;
      conjPower[j] = conjPower[j - 1] * std::conj(lambda);
    }
    d.assign(2 * p, 0.0);
    for (std::size_t n = 1; n <= 2 * p; ++n) {
      double size = 0.0;
      for (std::size_t j = 0; j <= std::min(n, p); ++j) {
        const std::size_t k = n - j;
        if (k > p) continue;
        const double term = c[j] * c[k] * (power[j] * conjPower[k]).real();
        d[n - 1] += term;
        size += std::fabs(term);
      }
      // Terms that cancel (on an undamped spring, every d_n with n below
      // the scheme's order + 1) leave rounding, not a value.
      if (std::fabs(d[n - 1]) <= 64 * std::numeric_limits<double>::epsilon() * size) d[n - 1] = 0.0;
    }
  }
  double operator()(double h) const {
    double sum = 0.0;
    for (std::size_t n = d.size(); n-- > 0;) sum = sum * h + d[n];
    return sum;
  }
};

// The first step h > 0 at which one of `margins` turns negative (by more
// than `slack`), refined by TOMS 748 on that margin; 0 when one is negative
// already at the smallest step scanned, NaN when none turns negative up to
// the largest. The scan is geometric over [1e-8, 100]/scale.
template <class Margin>
double firstCrossing(const std::vector<Margin>& margins, double scale, double slack) {
  const double lo = 1e-8 / scale, hi = 100.0 / scale, factor = 1.01;
  double previous = lo;
  for (double h = lo; h <= hi; h *= factor) {
    for (const Margin& m : margins) {
      if (!(m(h) < -slack)) continue;
      if (h == lo) return 0.0;
      if (!(m(previous) > 0.0)) return previous;  // turned within rounding of 0 there
      const auto [a, b] = roots::refineRoot(m, previous, h);
      return 0.5 * (a + b);
    }
    previous = h;
  }
  return NAN;
}

// The Jury conditions of a 2×2 matrix: its spectral radius is below 1 while
// 1 - det, 1 - tr + det and 1 + tr + det are all above 0 (a complex pair
// leaves the unit circle, or an eigenvalue passes +1 or -1).
std::vector<std::function<double(double)>> juryMargins(const SchemeInfo& scheme, double k,
                                                       double c) {
  auto matrix = [&scheme, k, c](double h) { return stepMatrix(scheme, k, c, h); };
  auto det = [](const StepMatrix& m) { return m[0][0] * m[1][1] - m[0][1] * m[1][0]; };
  auto tr = [](const StepMatrix& m) { return m[0][0] + m[1][1]; };
  return {
      [=](double h) { return 1.0 - det(matrix(h)); },
      [=](double h) {
        const StepMatrix m = matrix(h);
        return 1.0 - tr(m) + det(m);
      },
      [=](double h) {
        const StepMatrix m = matrix(h);
        return 1.0 + tr(m) + det(m);
      },
  };
}

// ---- Trials ---------------------------------------------------------------

constexpr int kCancelEvery = 4096;

// Where a trial starts: the model's own start, at rest at the rest length,
// drawn towards the resting height where its swing would come within a
// thousand times its size of the anchor. About the resting height the
// motion is linear, so its energy grows by the same factor from any start;
// near the anchor, where the force law changes, a stable scheme's swing
// could reach it, and an unstable one's would be bounded there.
std::array<double, 2> trialStart(const SpringCase& c) {
  std::array<double, 2> x = SpringEquations<double>::startState(c.params);
  const double rest = c.exact.restingHeight(), swing = std::fabs(x[0] - rest);
  const double scale = std::fmin(1.0, 1e-3 * std::fabs(rest) / swing);
  x[0] = rest + scale * (x[0] - rest);
  return x;
}

template <class Row>
StabilityTrial trialOf(const SpringCase& c, double h, double span, const StabilitySettings& s,
                       const CancelFlag* cancel) {
  const SpringEquations<double> equations(c.params);
  std::array<double, 2> x = trialStart(c);
  const double wanted = std::ceil(span / h);
  const long long n =
      wanted >= static_cast<double>(s.maxSteps)
          ? s.maxSteps
          : std::max(s.minSteps, static_cast<long long>(std::isfinite(wanted) ? wanted : 0));
  const long long half = n / 2;
  const double limit = 1.0 + s.growth;
  double first = c.exact.energy(x[0], x[1]), second = 0.0;
  StabilityTrial trial;
  trial.steps = n;
  for (long long k = 1; k <= n; ++k) {
    Row::wide(equations, x, static_cast<double>(k - 1) * h, h);
    const double e = c.exact.energy(x[0], x[1]);
    if (!(e <= std::numeric_limits<double>::max())) {
      trial.growth = std::numeric_limits<double>::infinity();
      return trial;
    }
    // The exact motion stays below the anchor (stabilityProblem): a swing
    // that reaches it has grown, and above it the force law changes, which
    // would bound the growth it measures.
    if (x[0] >= 0.0) {
      trial.growth = e / first;
      trial.reachedAnchor = true;
      return trial;
    }
    if (k <= half) {
      first = std::fmax(first, e);
    } else {
      second = std::fmax(second, e);
      if (second > first * limit) {
        trial.growth = second / first;
        return trial;
      }
    }
    if (k % kCancelEvery == 0) checkCancel(cancel);
  }
  trial.growth = second / first;
  trial.stable = true;
  return trial;
}

std::string stepText(double h) { return readableNumber(h, "%.6g") + " s"; }

}  // namespace

double SpringModes::period() const { return 2.0 * kPi / naturalOmega; }

double StabilityRow::relativeDifference() const {
  if (!(theory > 0.0) || !std::isfinite(theory) || !std::isfinite(measured)) return NAN;
  return (measured - theory) / theory;
}

std::optional<Problem> stabilityProblem(const SpringCase& c) {
  const SpringParams& s = c.params.springs[0];
  if (!(s.ks > 0.0f))
    return Problem{"ks",
                   "must be greater than 0 for a stability limit: without a restoring force the "
                   "body does not oscillate about a resting height, and its exact motion does "
                   "not stay bounded"};
  if (s.kd < 0.0f)
    return Problem{"kd",
                   "must be 0 or more for a stability limit: a negative damping makes the exact "
                   "motion itself grow, at every time step"};
  if (c.params.gravity == 0.0f)
    return Problem{"gravity",
                   "must not be 0 for a stability limit: the body would start at rest at its "
                   "resting height, and nothing would move whose energy could grow"};
  if (c.exact.regime() == ExactSpring::NoClosedForm)
    return Problem{"", "these values give the spring no closed form to measure against"};
  if (!(c.exact.restingHeight() < 0.0))
    return Problem{"",
                   "the resting height gravity/ks - rest lies at or above the anchor, where the "
                   "spring's force law changes: the stability limit is measured on the linear "
                   "oscillator below it (take a longer rest length, or a weaker gravity)"};
  return std::nullopt;
}

SpringModes springModes(const SpringCase& c) {
  // The model's own Jacobian, J = [[0, 1], [-ks/m, -kd/m]].
  const SpringEquations<double> equations(c.params);
  std::array<std::array<double, 2>, 2> jac{};
  equations.jacobian(SpringEquations<double>::startState(c.params), jac, 0.0);
  SpringModes m;
  m.k = -jac[1][0];
  m.c = -jac[1][1];
  m.a = m.c / 2.0;
  m.naturalOmega = std::sqrt(m.k);
  const double w2 = m.k - m.a * m.a;
  m.oscillates = w2 > 0.0;
  if (m.oscillates) {
    m.omega = std::sqrt(w2);
    m.lambda = {std::complex<double>(-m.a, m.omega), std::complex<double>(-m.a, -m.omega)};
  } else {
    const double r = std::sqrt(-w2);
    m.lambda = {std::complex<double>(-m.a - r, 0.0), std::complex<double>(-m.a + r, 0.0)};
  }
  return m;
}

StepMatrix stepMatrix(const SchemeInfo& scheme, double k, double c, double h) {
  auto times = [](const StepMatrix& x, const StepMatrix& y) {
    StepMatrix r{};
    for (int i = 0; i < 2; ++i)
      for (int l = 0; l < 2; ++l) r[i][l] = x[i][0] * y[0][l] + x[i][1] * y[1][l];
    return r;
  };
  if (const std::vector<double> poly = stabilityPolynomial(scheme.scheme); !poly.empty()) {
    // R(hJ) = Σ c_n (hJ)^n.
    StepMatrix r{{{0.0, 0.0}, {0.0, 0.0}}}, power{{{1.0, 0.0}, {0.0, 1.0}}};
    const StepMatrix hj{{{0.0, h}, {-k * h, -c * h}}};
    for (std::size_t n = 0; n < poly.size(); ++n) {
      for (int i = 0; i < 2; ++i)
        for (int l = 0; l < 2; ++l) r[i][l] += poly[n] * power[i][l];
      power = times(power, hj);
    }
    return r;
  }
  if (scheme.scheme == SymplecticEuler) {
    // v+ = v + h·(-k·u - c·v), u+ = u + h·v+.
    const double vu = -h * k, vv = 1.0 - h * c;
    return {{{1.0 + h * vu, h * vv}, {vu, vv}}};
  }
  if (scheme.scheme == Verlet) {
    // a = -k·u - c·v; u+ = u + h·v + h²/2·a; v* = v + h·a;
    // a+ = -k·u+ - c·v*; v+ = v + h/2·(a + a+).
    const double h2 = h * h / 2.0;
    const double uu = 1.0 - h2 * k, uv = h - h2 * c;            // u+
    const double pu = -h * k, pv = 1.0 - h * c;                 // v*
    const double au = -k, av = -c;                              // a
    const double bu = -k * uu - c * pu, bv = -k * uv - c * pv;  // a+
    return {{{uu, uv}, {h / 2.0 * (au + bu), 1.0 + h / 2.0 * (av + bv)}}};
  }
  throw std::invalid_argument(std::string(scheme.name) +
                              " has no step matrix here: it is not an explicit scheme");
}

double spectralRadius(const StepMatrix& m) {
  const double tr = m[0][0] + m[1][1], det = m[0][0] * m[1][1] - m[0][1] * m[1][0];
  const double disc = tr * tr / 4.0 - det;
  if (disc < 0.0) return std::sqrt(std::fabs(det));  // a complex pair: |λ|² = det
  const double r = std::sqrt(disc);
  return std::fmax(std::fabs(tr / 2.0 + r), std::fabs(tr / 2.0 - r));
}

StabilityBound theoryLimit(const SchemeInfo& scheme, const SpringModes& modes) {
  if (scheme.kind == SchemeKind::Adaptive)
    return {NAN, "not applicable: an adaptive scheme chooses its own steps"};
  if (scheme.kind == SchemeKind::Implicit) return {NAN, "none (A-stable)"};
  const double scale = std::max(std::abs(modes.lambda[0]), std::abs(modes.lambda[1]));
  if (const std::vector<double> poly = stabilityPolynomial(scheme.scheme); !poly.empty()) {
    if (scheme.scheme == Euler && modes.oscillates) {
      const double a = modes.a, w = modes.omega;
      return {2.0 * a / (a * a + w * w), "h < 2a/(a²+ω²)"};
    }
    std::vector<GrowthPolynomial> margins;
    margins.emplace_back(poly, modes.lambda[0]);
    if (!modes.oscillates) margins.emplace_back(poly, modes.lambda[1]);
    // Stable while every g(h) <= 0; firstCrossing looks for a margin < 0.
    std::vector<std::function<double(double)>> negated;
    for (const GrowthPolynomial& g : margins) negated.emplace_back([g](double h) { return -g(h); });
    return {firstCrossing(negated, scale, 0.0), "|R(hλ)| = 1"};
  }
  return {firstCrossing(juryMargins(scheme, modes.k, modes.c), scale, 1e-12),
          "spectral radius = 1"};
}

StabilityTrial stabilityTrial(const SpringCase& c, const SchemeInfo& scheme, double h,
                              const StabilitySettings& settings, const CancelFlag* cancel) {
  if (scheme.kind == SchemeKind::Adaptive)
    throw std::invalid_argument(std::string(scheme.name) +
                                " chooses its own steps: a fixed step's stability does not apply");
  const double span = settings.periods * springModes(c).period();
  StabilityTrial trial;
  Schemes::visit(scheme.scheme, [&](auto row) {
    try {
      trial = trialOf<decltype(row)>(c, h, span, settings, cancel);
    } catch (const NewtonFailure& e) {
      trial = StabilityTrial{};
      trial.failure = e.what();
    }
  });
  return trial;
}

std::vector<RunScheme> stabilitySchemes() {
  std::vector<RunScheme> out;
  for (const SchemeInfo& s : kSchemes)
    if (s.kind != SchemeKind::Adaptive) out.emplace_back(&s);
  return out;
}

StabilityStudy studyStability(const SpringCase& c, const std::vector<RunScheme>& schemes,
                              const StabilitySettings& settings, const Progress& progress,
                              const CancelFlag* cancel) {
  if (auto p = stabilityProblem(c)) throw std::invalid_argument(p->text());
  for (const RunScheme& s : schemes)
    if (!s.builtin)
      throw std::invalid_argument(
          "a stability study measures the built-in schemes, whose step matrices it knows, not " +
          (s.name().empty() ? std::string("a scheme of your own") : "'" + s.name() + "'"));
  StabilityStudy study;
  study.modes = springModes(c);
  study.dt = c.params.timeStep;
  study.settings = settings;
  const double start = study.modes.period() / 64.0;
  for (const RunScheme& s : schemes) {
    const SchemeInfo& info = *s.builtin;
    StabilityRow row;
    row.scheme = std::string(info.name);
    row.info = &info;
    const StabilityBound theory = theoryLimit(info, study.modes);
    row.theory = theory.limit;
    row.bound = theory.bound;
    if (info.kind == SchemeKind::Adaptive) {
      study.rows.push_back(row);
      continue;
    }
    if (progress) progress("stability, " + row.scheme);
    auto trial = [&](double h) {
      StabilityTrial t = stabilityTrial(c, info, h, settings, cancel);
      row.searchedTo = std::isnan(row.searchedTo) ? h : std::fmax(row.searchedTo, h);
      if (!t.failure.empty() && row.failure.empty()) row.failure = t.failure;
      return t;
    };
    // A first bracket [lo, hi]: lo stable, hi unstable.
    double lo = NAN, hi = NAN;
    long long loSteps = 0;
    const StabilityTrial first = trial(start);
    if (first.stable) {
      lo = start;
      loSteps = first.steps;
      for (int i = 0; i < settings.searchDoublings; ++i) {
        const double h = 2.0 * lo;
        const StabilityTrial t = trial(h);
        if (!t.failure.empty()) break;
        if (!t.stable) {
          hi = h;
          break;
        }
        lo = h;
        loSteps = t.steps;
      }
    } else if (first.failure.empty()) {
      hi = start;
      for (int i = 0; i < settings.searchDoublings; ++i) {
        const double h = hi / 2.0;
        const StabilityTrial t = trial(h);
        if (t.stable) {
          lo = h;
          loSteps = t.steps;
          break;
        }
        hi = h;
      }
    }
    // Bisection (geometric) of the bracket.
    if (std::isfinite(lo) && std::isfinite(hi)) {
      for (int i = 0; i < 200 && hi / lo - 1.0 > settings.resolution; ++i) {
        const double h = std::sqrt(lo * hi);
        if (!(h > lo && h < hi)) break;
        const StabilityTrial t = trial(h);
        if (t.stable) {
          lo = h;
          loSteps = t.steps;
        } else {
          hi = h;
        }
      }
      row.measured = lo;
      row.steps = loSteps;
    } else if (std::isfinite(lo)) {
      row.steps = loSteps;  // stable at every step tried
    } else if (std::isfinite(hi)) {
      row.measured = 0.0;  // unstable at every step tried
    }
    row.unstable = hi;
    const StabilityTrial atDt = stabilityTrial(c, info, study.dt, settings, cancel);
    row.unstableAtDt = !atDt.stable;
    study.rows.push_back(row);
  }
  return study;
}

std::vector<std::string> stabilityNotes(const StabilityStudy& study) {
  const StabilitySettings& s = study.settings;
  const SpringModes& m = study.modes;
  std::vector<std::string> out;
  out.push_back(
      "measured_dt: the largest dt at which the energy's largest value over the second half of " +
      readableNumber(s.periods, "%.6g") +
      " natural periods (2π/sqrt(ks/m) = " + stepText(m.period()) + "; at least " +
      std::to_string(s.minSteps) + ", at most " + std::to_string(s.maxSteps) +
      " steps) stays within " + readableNumber(100.0 * s.growth, "%.6g") +
      "% of that over the first half, bisected to a relative " +
      readableNumber(s.resolution, "%.1e") + "; theory_dt: the bound the scheme's step matrix " +
      "gives on λ = -a ± iω" +
      (m.oscillates ? " (a = " + readableNumber(m.a, "%.6g") +
                          " 1/s, ω = " + readableNumber(m.omega, "%.6g") + " 1/s)"
                    : " (here real: λ = " + readableNumber(m.lambda[0].real(), "%.6g") + " and " +
                          readableNumber(m.lambda[1].real(), "%.6g") +
                          " 1/s, the spring does not oscillate)") +
      ".");
  for (const StabilityRow& r : study.rows) {
    if (r.info && r.info->kind == SchemeKind::Adaptive) {
      out.push_back(r.scheme + ": " + r.bound + ".");
      continue;
    }
    if (!r.failure.empty())
      out.push_back(r.scheme + ": the search stopped where a step failed: " + r.failure + ".");
    if (std::isnan(r.measured) && std::isfinite(r.searchedTo))
      out.push_back(r.scheme + ": stable at every dt tried, up to " + stepText(r.searchedTo) + ".");
    if (r.theory == 0.0)
      out.push_back(r.scheme +
                    ": unstable at every dt in theory (|R(hλ)| > 1 for every h > 0 on an "
                    "undamped spring): its measured_dt is only where the growth over the span "
                    "falls below what a trial resolves.");
  }
  return out;
}
