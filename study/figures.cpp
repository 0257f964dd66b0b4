#include "figures.h"

#include <plplot/plstream.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const char* const kMark = "#(728)";
constexpr std::size_t kMostPoints = 20000;

Chart chart(std::string title, std::string xLabel, std::string yLabel) {
  Chart c;
  c.title = std::move(title);
  c.xLabel = std::move(xLabel);
  c.yLabel = std::move(yLabel);
  return c;
}  // a small star, in the curves and the legend alike

// pbsim draws Euler red, Midpoint green and RK4 blue.
int colourOf(const SchemeInfo* s) {
  return s == nullptr ? 5 : s->scheme == Euler ? 2 : s->scheme == Midpoint ? 3 : 4;
}
std::string titleOf(const SchemeInfo* s, const std::string& name) {
  return s ? std::string(s->title) : name;
}

bool endsWith(const std::string& s, const std::string& end) {
  return s.size() >= end.size() && std::equal(end.rbegin(), end.rend(), s.rbegin());
}

struct Range {
  double lo = std::numeric_limits<double>::infinity();
  double hi = -std::numeric_limits<double>::infinity();
  void take(double v) {
    if (!std::isfinite(v)) return;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  // A little room around the data; a single value gets a unit-wide range.
  void pad(double fraction) {
    if (!(lo <= hi)) lo = 0.0, hi = 1.0;
    const double d = hi > lo ? (hi - lo) * fraction : std::max(1.0, std::fabs(lo)) * 0.5;
    lo -= d;
    hi += d;
  }
};

// The points of a curve as the axes want them: log10 of both for log-log
// charts, where non-positive and non-finite values are dropped.
void axisPoints(const Chart& chart, const Curve& c, std::vector<double>& x,
                std::vector<double>& y) {
  x.clear();
  y.clear();
  // A figure shows no more than some thousands of points of a curve; a
  // million-step flight is thinned to every k-th point (and its last).
  const std::size_t n = std::min(c.x.size(), c.y.size());
  const std::size_t stride = n / kMostPoints + 1;
  for (std::size_t i = 0; i < n; i = i + stride < n || i + 1 == n ? i + stride : n - 1) {
    double a = c.x[i], b = c.y[i];
    if (chart.logX) {
      if (!(a > 0.0)) continue;
      a = std::log10(a);
    }
    if (chart.logY) {
      if (!(b > 0.0)) continue;
      b = std::log10(b);
    }
    if (std::isfinite(a) && std::isfinite(b)) {
      x.push_back(a);
      y.push_back(b);
    }
  }
}

void drawChart(plstream& pls, const Chart& chart) {
  Range rx, ry;
  std::vector<double> x, y;
  for (const Curve& c : chart.curves) {
    axisPoints(chart, c, x, y);
    for (double v : x) rx.take(v);
    for (double v : y) ry.take(v);
  }
  auto axis = [](double v, bool log) { return log ? std::log10(v) : v; };
  if (!std::isnan(chart.xMax)) rx.hi = std::min(rx.hi, axis(chart.xMax, chart.logX));
  if (!std::isnan(chart.yMin)) ry.lo = std::max(ry.lo, axis(chart.yMin, chart.logY));
  if (!std::isnan(chart.yMax)) ry.hi = std::min(ry.hi, axis(chart.yMax, chart.logY));
  rx.pad(chart.logX ? 0.05 : 0.02);
  ry.pad(0.05);
  pls.col0(1);
  pls.lsty(1);
  pls.width(1.0);
  // The plot on the left, the legend to its right.
  pls.adv(0);
  pls.vpor(0.1, 0.78, 0.14, 0.9);
  pls.wind(rx.lo, rx.hi, ry.lo, ry.hi);
  pls.box(chart.logX ? "bcnstl" : "bcgnst", 0, 0, chart.logY ? "bcnstlv" : "bcgnstv", 0, 0);
  pls.lab(chart.xLabel.c_str(), chart.yLabel.c_str(), chart.title.c_str());

  std::vector<PLINT> options, colours, styles, markColours, markCounts;
  std::vector<PLFLT> widths, markScales;
  std::vector<const char*> labels, marks;
  for (const Curve& c : chart.curves) {
    axisPoints(chart, c, x, y);
    pls.col0(c.colour);
    pls.lsty(c.style);
    pls.width(2.0);
    if (x.size() > 1) pls.line(static_cast<PLINT>(x.size()), x.data(), y.data());
    if (c.marks && !x.empty()) pls.string(static_cast<PLINT>(x.size()), x.data(), y.data(), kMark);
    if (c.labelAtEnd && !x.empty()) {
      // Below the line's end, or above it where the bottom axis is near.
      const double below = y.back() - 0.04 * (ry.hi - ry.lo);
      const double at =
          below > ry.lo + 0.03 * (ry.hi - ry.lo) ? below : y.back() + 0.02 * (ry.hi - ry.lo);
      pls.ptex(x.back(), at, 1.0, 0.0, 0.0, c.label.c_str());
      continue;
    }
    if (c.label.empty()) continue;
    options.push_back(c.marks ? PL_LEGEND_LINE | PL_LEGEND_SYMBOL : PL_LEGEND_LINE);
    colours.push_back(c.colour);
    styles.push_back(c.style);
    widths.push_back(2.0);
    labels.push_back(c.label.c_str());
    markColours.push_back(c.colour);
    markScales.push_back(1.0);
    markCounts.push_back(c.marks ? 1 : 0);
    marks.push_back(kMark);
  }
  pls.lsty(1);
  pls.width(1.0);
  if (labels.empty()) return;
  PLFLT w = 0, h = 0;
  const PLINT n = static_cast<PLINT>(labels.size());
  pls.legend(&w, &h, PL_LEGEND_BACKGROUND | PL_LEGEND_BOUNDING_BOX,
             PL_POSITION_OUTSIDE | PL_POSITION_RIGHT, 0.02, 0.0, 0.05, 0, 1, 1, 0, 0, n,
             options.data(), 0.6, 0.7, 1.6, 0.0, colours.data(), labels.data(), nullptr, nullptr,
             nullptr, nullptr, colours.data(), styles.data(), widths.data(), markColours.data(),
             markScales.data(), markCounts.data(), marks.data());
}

}  // namespace

std::string plotDevice(const std::string& path) {
  if (endsWith(path, ".svg")) return "svg";
  if (endsWith(path, ".png")) return "pngcairo";
  if (endsWith(path, ".pdf")) return "pdfcairo";
  return "";
}

std::string renderCharts(const std::string& path, const std::string& device,
                         const std::vector<Chart>& charts) {
  if (charts.empty()) return "nothing to draw";
  const int rows = static_cast<int>(charts.size());
  plstream pls;
  pls.sdev(device.c_str());
  pls.sfnam(path.c_str());
  pls.spage(0, 0, 900, 560 * rows, 0, 0);
  pls.scolbg(255, 255, 255);
  pls.ssub(1, rows);
  pls.init();
  pls.scol0(1, 0, 0, 0);
  pls.scol0(2, 220, 0, 0);
  pls.scol0(3, 0, 150, 0);
  pls.scol0(4, 0, 0, 230);
  pls.scol0(5, 110, 110, 110);
  pls.schr(0, 0.9);
  for (const Chart& c : charts) drawChart(pls, c);
  return "";
}

std::vector<Chart> charts(const FlightStudy& study) {
  Chart c = chart("Flight: height against horizontal distance",
                  "horizontal distance from the gun [m]", "height [m]");
  for (const FlightRun& r : study.runs) {
    Curve curve{titleOf(r.info, r.scheme), colourOf(r.info), 1, false, false, {}, {}};
    for (std::size_t k = 0; k < r.size(); ++k) {
      // Horizontal distance in the run's own precision.
      curve.x.push_back(r.precision == Precision::Single ? std::hypot(r.single.x[k], r.single.z[k])
                                                         : std::hypot(r.wide.x[k], r.wide.z[k]));
      curve.y.push_back(r.y(k));
    }
    c.curves.push_back(std::move(curve));
  }
  // The exact flight to its landing (or as long as the longest run).
  double end = 0.0;
  for (const FlightRun& r : study.runs) end = std::max(end, r.t.back());
  if (study.exactLanding) end = study.exactLanding->time;
  Curve exact{"exact", 1, 2, false, false, {}, {}};
  for (int i = 0; i <= 400; ++i) {
    const Vec3d p = study.flight.exact.position(end * i / 400);
    exact.x.push_back(std::hypot(p.x, p.z));
    exact.y.push_back(p.y);
  }
  c.curves.push_back(std::move(exact));
  return {c};
}

std::vector<Chart> charts(const SpringStudy& study) {
  const ExactSpring& exact = study.spring.exact;
  Chart heights = chart("Spring: height of the body against time", "time [s]", "height [m]");
  Chart energy = chart("Energy about the resting height: 1/2 m v#u2#d + 1/2 ks (y - y*)#u2#d",
                       "time [s]", "energy [J]");
  energy.logY = true;
  double end = 0.0;
  const bool closedForm = exact.regime() != ExactSpring::NoClosedForm;
  for (const SpringRun& r : study.runs) {
    Curve h{titleOf(r.info, r.scheme), colourOf(r.info), 1, false, false, {}, {}};
    Curve e = h;
    for (std::size_t k = 0; k < r.size(); ++k) {
      h.x.push_back(r.t[k]);
      h.y.push_back(r.height(k));
      if (closedForm) {
        e.x.push_back(r.t[k]);
        e.y.push_back(r.energy[k]);
      }
    }
    end = std::max(end, h.x.empty() ? 0.0 : h.x.back());
    heights.curves.push_back(std::move(h));
    energy.curves.push_back(std::move(e));
  }
  Curve exactH{"exact", 1, 2, false, false, {}, {}};
  Curve exactE = exactH;
  for (int i = 0; i <= 1000; ++i) {
    const double t = end * i / 1000;
    if (!exact.holdsAt(t)) break;
    exactH.x.push_back(t);
    exactH.y.push_back(exact.height(t));
    exactE.x.push_back(t);
    exactE.y.push_back(exact.energy(exact.height(t), exact.velocity(t)));
  }
  // A run that blows up (Euler at a large step) would flatten every other
  // curve: the window follows the exact motion and the runs that come to
  // rest, and a diverging run leaves it.
  double settledEnd = 0.0;
  for (const SpringRun& r : study.runs)
    if (r.stop == SpringStop::AtRest)
      settledEnd = std::max(settledEnd, r.steps * double(r.params.timeStep));
  if (settledEnd > 0.0) heights.xMax = energy.xMax = settledEnd;
  if (exactH.y.size() > 1) {
    const auto [lo, hi] = std::minmax_element(exactH.y.begin(), exactH.y.end());
    const double span = std::max(*hi - *lo, 1e-3);
    heights.yMin = *lo - span;
    heights.yMax = *hi + span;
    // Energies from a hundred times the start down to the last useful digits.
    const double most = *std::max_element(exactE.y.begin(), exactE.y.end());
    energy.yMax = 100.0 * most;
    energy.yMin = 1e-12 * most;
  }
  heights.curves.push_back(std::move(exactH));
  energy.curves.push_back(std::move(exactE));
  if (!closedForm) return {heights};
  return {heights, energy};
}

namespace {

// The convergence figure of `model`.
std::vector<Chart> convergenceCharts(const ConvergenceStudy& study, const std::string& model) {
  Chart c = chart("Convergence of the " + model + ": error at T against the time step",
                  "time step h [s]", "error at T [m]");
  c.logX = c.logY = true;
  std::string current;
  bool currentDouble = false;
  for (const ConvergenceRow& r : study.rows) {
    const bool wide = r.precision == Precision::Double;
    if (c.curves.empty() || r.scheme != current || wide != currentDouble) {
      current = r.scheme;
      currentDouble = wide;
      c.curves.push_back({titleOf(r.info, r.scheme) + (wide ? " (double)" : ""),
                          colourOf(r.info),
                          wide ? 2 : 1,
                          true,
                          false,
                          {},
                          {}});
    }
    c.curves.back().x.push_back(r.h);
    c.curves.back().y.push_back(r.error);
  }
  // Reference slopes 1, 2 and 4, each starting a little below the coarsest
  // single-precision point of the scheme of that order, so that both stay visible.
  for (const SchemeInfo& s : kSchemes) {
    for (const ConvergenceRow& r : study.rows) {
      if (r.info != &s || r.precision == Precision::Double || !(r.error > 0.0)) continue;
      double hMin = r.h;
      for (const ConvergenceRow& q : study.rows) hMin = std::min(hMin, q.h);
      const double e0 = r.error / 4.0;
      Curve ref{"slope " + std::to_string(s.order),      5, 2, false, true, {r.h, hMin},
                {e0, e0 * std::pow(hMin / r.h, s.order)}};
      c.curves.push_back(std::move(ref));
      break;
    }
  }
  return {c};
}

}  // namespace

std::vector<Chart> charts(const FlightConvergence& study) {
  return convergenceCharts(study, "flight");
}

std::vector<Chart> charts(const SpringConvergence& study) {
  return convergenceCharts(study, "spring");
}
