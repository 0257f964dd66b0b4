#include "figures.h"

#include <plplot/plstream.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>

#include "ballisticssetup.h"

namespace {

constexpr std::size_t kMostPoints = 20000;
constexpr int kSpreadMarks = 12;
const SchemeColour kBlack{0.0f, 0.0f, 0.0f};
const SchemeColour kGrey{0.45f, 0.45f, 0.45f};
// Drawn over a convergence point where rounding dominates.
const char* const kFloorMark = "#(847)";

Chart chart(std::string title, std::string xLabel, std::string yLabel) {
  Chart c;
  c.title = std::move(title);
  c.xLabel = std::move(xLabel);
  c.yLabel = std::move(yLabel);
  return c;
}

// PLplot's Hershey glyph for each marker of kSchemes. Its glyphs have no
// hexagon: a filled dot stands for it.
const char* glyph(const std::string& marker) {
  if (marker == "circle") return "#(840)";
  if (marker == "square") return "#(841)";
  if (marker == "triangle") return "#(842)";
  if (marker == "diamond") return "#(843)";
  if (marker == "cross") return "#(846)";
  if (marker == "plus") return "#(845)";
  if (marker == "star") return "#(844)";
  if (marker == "triangle-down") return "#(854)";
  if (marker == "hexagon") return "#(850)";
  return "";
}

// A curve of one run in its scheme's colour and marker.
Curve schemeCurve(const SchemeInfo* s, const std::string& name) {
  Curve c;
  c.label = s ? std::string(s->title) : name;
  c.colour = s ? s->colour : kGrey;
  c.marker = s ? std::string(s->marker) : "";
  return c;
}

Curve exactCurve(const char* label = "exact") {
  Curve c;
  c.label = label;
  c.colour = kBlack;
  c.style = 2;
  c.width = 1.5;
  return c;
}

// Curves that may lie on each other stay visible: the first drawn is the
// widest, and their spread marks are staggered.
void layer(Chart& c) {
  // Curves of one scheme (single and double precision) share a rank.
  std::vector<std::string> schemes;
  for (const Curve& k : c.curves)
    if (!k.marker.empty() && std::find(schemes.begin(), schemes.end(), k.marker) == schemes.end())
      schemes.push_back(k.marker);
  const int n = static_cast<int>(schemes.size());
  for (Curve& k : c.curves) {
    if (k.marker.empty()) continue;
    const int i =
        static_cast<int>(std::find(schemes.begin(), schemes.end(), k.marker) - schemes.begin());
    k.width = (1.2 + 0.9 * (n - 1 - i)) * (k.style == 1 ? 1.0 : 0.5);
    k.markOffset = i;
  }
}

std::string format(const char* f, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, f, v);
  return buf;
}

std::string flightValues(const BallisticsParams& p) {
  char buf[256];
  std::snprintf(buf, sizeof buf,
                "azimuth %g deg, elevation %g deg, mass %g kg, powder %g x %g kg m/s, gravity %g "
                "m/s^2, friction %g %s",
                ballisticsunits::panelAzimuth(p.azimuth),
                ballisticsunits::panelElevation(p.elevation), p.projectileMass, p.powderAmount,
                p.powderPower, p.gravity, p.airFriction,
                p.drag == DragLaw::Quadratic ? "kg/m (quadratic drag)" : "kg/s");
  return buf;
}

std::string springValues(const SpringMassParams& p) {
  const SpringParams& s = p.springs[0];
  char buf[256];
  std::snprintf(buf, sizeof buf, "mass %g kg, ks %g N/m, kd %g kg/s, rest %g m, gravity %g N",
                p.mass, s.ks, s.kd, s.restLength, p.gravity);
  return buf;
}

// "...; dt 0.1 s, T 1.5 s"
std::string subtitle(const std::string& values, float dt, double T, const char* whatT) {
  return values + "; dt " + format("%g", dt) + " s, T " + format("%g", T) + " s (" + whatT + ")";
}

bool hasSuffix(std::string s, const std::string& end) {
  for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
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

// The points of a curve as the axes want them: log10 for logarithmic axes,
// where non-positive and non-finite values are dropped; a long curve
// thinned. floor receives each kept point's floor mark.
void axisPoints(const Chart& chart, const Curve& c, std::vector<double>& x, std::vector<double>& y,
                std::vector<bool>& floor) {
  x.clear();
  y.clear();
  floor.clear();
  const std::size_t n = std::min(c.x.size(), c.y.size());
  for (std::size_t i : shownPoints(n, kMostPoints)) {
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
      floor.push_back(i < c.floor.size() && c.floor[i]);
    }
  }
}

// PLplot colour-map entries, one per colour in use.
class Palette {
 public:
  explicit Palette(plstream& pls) : pls_(pls) {}
  PLINT operator()(const SchemeColour& c) {
    const int r = static_cast<int>(std::lround(c.r * 255)),
              g = static_cast<int>(std::lround(c.g * 255)),
              b = static_cast<int>(std::lround(c.b * 255));
    const int key = r << 16 | g << 8 | b;
    const auto it = index_.find(key);
    if (it != index_.end()) return it->second;
    const PLINT i = std::min<PLINT>(2 + static_cast<PLINT>(index_.size()), 15);
    pls_.scol0(i, r, g, b);
    index_[key] = i;
    return i;
  }

 private:
  plstream& pls_;
  std::map<int, PLINT> index_;
};

void drawChart(plstream& pls, Palette& palette, const Chart& chart) {
  Range rx, ry;
  std::vector<double> x, y;
  std::vector<bool> floor;
  for (const Curve& c : chart.curves) {
    if (c.labelAtEnd) continue;  // reference lines follow the data, not the other way round
    axisPoints(chart, c, x, y, floor);
    for (double v : x) rx.take(v);
    for (double v : y) ry.take(v);
  }
  auto axis = [](double v, bool log) { return log ? std::log10(v) : v; };
  if (!std::isnan(chart.xMin)) rx.lo = std::max(rx.lo, axis(chart.xMin, chart.logX));
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
  pls.vpor(0.1, 0.68, 0.14, 0.8);
  pls.wind(rx.lo, rx.hi, ry.lo, ry.hi);
  // Every other decade labelled on a tall logarithmic axis.
  const double yTick = chart.logY && ry.hi - ry.lo > 8.0 ? 2.0 : 0.0;
  pls.box(chart.logX ? "bcnstl" : "bcgnst", 0, 0, chart.logY ? "bcnstlv" : "bcgnstv", yTick, 0);
  pls.lab(chart.xLabel.c_str(), chart.yLabel.c_str(), "");
  pls.mtex("t", 4.2, 0.5, 0.5, chart.title.c_str());
  if (!chart.subtitle.empty()) {
    // The values on one line, the time step and T on the next.
    const std::size_t cut = chart.subtitle.find("; ");
    pls.schr(0, 0.62);
    pls.mtex("t", 2.6, 0.5, 0.5, chart.subtitle.substr(0, cut).c_str());
    if (cut != std::string::npos)
      pls.mtex("t", 1.2, 0.5, 0.5, chart.subtitle.substr(cut + 2).c_str());
    pls.schr(0, 0.9);
  }

  std::vector<PLINT> options, colours, styles, markColours, markCounts;
  std::vector<PLFLT> widths, markScales;
  std::vector<const char*> labels, marks;
  bool anyFloor = false;
  for (const Curve& c : chart.curves) {
    axisPoints(chart, c, x, y, floor);
    const PLINT colour = palette(c.colour);
    pls.col0(colour);
    pls.lsty(c.style);
    pls.width(c.width);
    if (x.size() > 1) pls.line(static_cast<PLINT>(x.size()), x.data(), y.data());
    const char* mark = glyph(c.marker);
    pls.lsty(1);
    pls.width(1.0);
    if (*mark && !x.empty()) {
      std::vector<double> mx, my;
      const std::size_t n = x.size();
      if (c.markEach || n <= kSpreadMarks) {
        mx = x;
        my = y;
      } else {
        // A dozen marks, each curve's shifted by a fifth of their spacing.
        for (int j = 0; j < kSpreadMarks; ++j) {
          const std::size_t i = static_cast<std::size_t>((j + c.markOffset % 5 / 5.0) *
                                                         static_cast<double>(n - 1) / kSpreadMarks);
          mx.push_back(x[i]);
          my.push_back(y[i]);
        }
      }
      pls.string(static_cast<PLINT>(mx.size()), mx.data(), my.data(), mark);
    }
    std::vector<double> fx, fy;
    for (std::size_t i = 0; i < x.size(); ++i)
      if (floor[i]) fx.push_back(x[i]), fy.push_back(y[i]);
    if (!fx.empty()) {
      anyFloor = true;
      pls.col0(palette(kBlack));
      pls.string(static_cast<PLINT>(fx.size()), fx.data(), fy.data(), kFloorMark);
    }
    if (c.labelAtEnd && !x.empty()) {
      pls.col0(colour);
      // Below the line's end, or above it where the bottom axis is near.
      const double below = y.back() - 0.04 * (ry.hi - ry.lo);
      const double at =
          below > ry.lo + 0.03 * (ry.hi - ry.lo) ? below : y.back() + 0.02 * (ry.hi - ry.lo);
      pls.ptex(x.back(), at, 1.0, 0.0, 0.0, c.label.c_str());
      continue;
    }
    if (c.label.empty()) continue;
    options.push_back(*mark ? PL_LEGEND_LINE | PL_LEGEND_SYMBOL : PL_LEGEND_LINE);
    colours.push_back(colour);
    styles.push_back(c.style);
    widths.push_back(std::min(c.width, 3.0));
    labels.push_back(c.label.c_str());
    markColours.push_back(colour);
    markScales.push_back(1.0);
    markCounts.push_back(*mark ? 1 : 0);
    marks.push_back(*mark ? mark : "");
  }
  if (anyFloor) {
    options.push_back(PL_LEGEND_SYMBOL);
    colours.push_back(palette(kBlack));
    styles.push_back(1);
    widths.push_back(1.0);
    labels.push_back("floor: rounding dominates");
    markColours.push_back(palette(kBlack));
    markScales.push_back(1.0);
    markCounts.push_back(1);
    marks.push_back(kFloorMark);
  }
  pls.lsty(1);
  pls.width(1.0);
  if (labels.empty()) return;
  PLFLT w = 0, h = 0;
  const PLINT n = static_cast<PLINT>(labels.size());
  pls.legend(&w, &h, PL_LEGEND_BACKGROUND | PL_LEGEND_BOUNDING_BOX,
             PL_POSITION_OUTSIDE | PL_POSITION_RIGHT, 0.02, 0.0, 0.05, 0, 1, 1, 0, 0, n,
             options.data(), 0.6, 0.6, 1.6, 0.0, colours.data(), labels.data(), nullptr, nullptr,
             nullptr, nullptr, colours.data(), styles.data(), widths.data(), markColours.data(),
             markScales.data(), markCounts.data(), marks.data());
}

// The end of the longest run, for curves of the exact solution.
template <class Run>
double longestEnd(const std::vector<Run>& runs) {
  double end = 0.0;
  for (const Run& r : runs)
    if (!r.t.empty()) end = std::max(end, r.t.back());
  return end;
}

// A run that blows up (Euler at a large step) would flatten every other
// curve: time axes end with the runs that came to rest, if any.
double settledEnd(const SpringStudy& study) {
  double end = 0.0;
  for (const SpringRun& r : study.runs)
    if (r.stop == SpringStop::AtRest) end = std::max(end, r.t.back());
  return end;
}

// The convergence figure of `model`: error against the time step, with a
// reference slope for each order shown, or against the evaluations.
std::vector<Chart> convergenceCharts(const ConvergenceStudy& study, const std::string& model,
                                     const std::string& values, float dt, const std::string& kind) {
  const bool work = kind == "work", tolerance = kind == "tolerance";
  const bool landing = study.quantity == ConvergenceQuantity::Landing;
  const std::string error = landing ? "landing miss" : "error at T";
  const std::string axis = error + " [m]";
  Chart c = work ? chart("Convergence of the " + model + ": " + error + " against the work",
                         "derivative evaluations", axis)
            : tolerance
                ? chart("Convergence of the " + model + ": " + error + " against the tolerance",
                        "rtol", axis)
                : chart("Convergence of the " + model + ": " + error + " against the time step",
                        "time step h [s]", axis);
  c.subtitle = landing ? values + "; dt " + format("%g", dt) + " s (landing point)"
                       : subtitle(values, dt, study.at, "errors taken at T");
  c.logX = c.logY = true;
  std::string current;
  bool currentDouble = false;
  double rtolLo = INFINITY, rtolHi = -INFINITY;
  for (const ConvergenceRow& r : study.rows) {
    const bool adaptive = !std::isnan(r.rtol);
    // The step figure shows the fixed-step schemes, the tolerance figure the
    // adaptive ones, the work figure both.
    if ((tolerance && !adaptive) || (!work && !tolerance && adaptive)) continue;
    const bool wide = r.precision == Precision::Double;
    if (c.curves.empty() || r.scheme != current || wide != currentDouble) {
      current = r.scheme;
      currentDouble = wide;
      Curve k = schemeCurve(r.info, r.scheme);
      // Adaptive schemes have double rows only: no single curve to tell apart.
      k.label += wide && !adaptive ? " (double)" : "";
      k.style = wide && !adaptive ? 2 : 1;
      k.markEach = true;
      c.curves.push_back(std::move(k));
    }
    Curve& k = c.curves.back();
    k.x.push_back(work ? static_cast<double>(r.evaluations) : tolerance ? r.rtol : r.h);
    k.y.push_back(r.error);
    k.floor.push_back(r.atFloor);
    if (adaptive) rtolLo = std::min(rtolLo, r.rtol), rtolHi = std::max(rtolHi, r.rtol);
  }
  layer(c);
  if (work) return {c};
  if (tolerance) {
    // Tolerance proportionality: the error the tolerance asks for.
    if (rtolLo <= rtolHi) {
      Curve ref;
      ref.label = "error = rtol";
      ref.colour = kGrey;
      ref.style = 2;
      ref.width = 1.0;
      ref.labelAtEnd = true;
      ref.x = {rtolHi, rtolLo};
      ref.y = {rtolHi, rtolLo};
      c.curves.push_back(std::move(ref));
    }
    return {c};
  }
  for (const ReferenceSlope& s : referenceSlopes(study)) {
    Curve ref;
    ref.label = "slope " + std::to_string(s.order);
    ref.colour = kGrey;
    ref.style = 2;
    ref.width = 1.0;
    ref.labelAtEnd = true;
    ref.x = {s.h0, s.hEnd};
    ref.y = {s.e0, s.eEnd};
    c.curves.push_back(std::move(ref));
  }
  return {c};
}

}  // namespace

std::vector<std::size_t> shownPoints(std::size_t n, std::size_t most) {
  std::vector<std::size_t> shown;
  if (n == 0) return shown;
  const std::size_t stride = most == 0 ? n : n / most + 1;
  for (std::size_t i = 0; i < n; i += stride) shown.push_back(i);
  if (shown.back() != n - 1) shown.push_back(n - 1);
  return shown;
}

std::string plotDevice(const std::string& path) {
  if (hasSuffix(path, ".svg")) return "svg";
  if (hasSuffix(path, ".png")) return "pngcairo";
  if (hasSuffix(path, ".pdf")) return "pdfcairo";
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
  pls.schr(0, 0.9);
  Palette palette(pls);
  for (const Chart& c : charts) drawChart(pls, palette, c);
  return "";
}

std::vector<Chart> charts(const FlightStudy& study, const std::string& kind) {
  const FlightCase& fc = study.flight;
  const double end = study.exactLanding ? study.exactLanding->time : longestEnd(study.runs);
  const std::string judge = fc.judge();
  const std::string sub =
      subtitle(flightValues(fc.params), fc.params.timeStep, end,
               study.exactLanding ? (judge + " flight time").c_str() : "longest run");
  if (kind == "error") {
    Chart c = chart("Flight: path_error, distance to the " + judge + " position at the same time",
                    "time t [s]", "path_error [m]");
    c.subtitle = sub;
    c.logY = true;
    for (const FlightRun& r : study.runs) {
      Curve k = schemeCurve(r.info, r.scheme);
      k.x = r.t;
      k.y = r.pathError;
      c.curves.push_back(std::move(k));
    }
    layer(c);
    return {c};
  }
  Chart c = chart("Flight: height against horizontal distance",
                  "horizontal distance from the gun [m]", "height [m]");
  c.subtitle = sub;
  for (const FlightRun& r : study.runs) {
    Curve k = schemeCurve(r.info, r.scheme);
    for (std::size_t i = 0; i < r.size(); ++i) {
      // Horizontal distance in the run's own precision.
      k.x.push_back(r.precision == Precision::Single ? std::hypot(r.single.x[i], r.single.z[i])
                                                     : std::hypot(r.wide.x[i], r.wide.z[i]));
      k.y.push_back(r.y(i));
    }
    c.curves.push_back(std::move(k));
  }
  layer(c);
  // The exact flight to its landing (or as long as the longest run).
  Curve exact = exactCurve(fc.judge());
  for (int i = 0; i <= 400; ++i) {
    const Vec3d p = fc.position(end * i / 400);
    exact.x.push_back(std::hypot(p.x, p.z));
    exact.y.push_back(p.y);
  }
  c.curves.push_back(std::move(exact));
  return {c};
}

std::vector<Chart> charts(const SpringStudy& study, const std::string& kind) {
  const ExactSpring& exact = study.spring.exact;
  const SpringMassParams& p = study.spring.params;
  const double end = longestEnd(study.runs);
  const std::string sub = subtitle(springValues(p), p.timeStep, study.until ? *study.until : end,
                                   study.until ? "--until" : "longest run");
  const bool closedForm = exact.regime() != ExactSpring::NoClosedForm;
  const double settled = settledEnd(study);
  const double xMax = settled > 0.0 ? settled : std::nan("");

  // The exact motion over the runs' time, while it holds.
  std::vector<double> et, ey, ev;
  for (int i = 0; i <= 1000; ++i) {
    const double t = end * i / 1000;
    if (!exact.holdsAt(t)) break;
    et.push_back(t);
    ey.push_back(exact.height(t));
    ev.push_back(exact.velocity(t));
  }
  // A window around the exact motion, as wide again on each side.
  auto around = [](const std::vector<double>& v, double& lo, double& hi) {
    if (v.size() < 2) return;
    const auto [a, b] = std::minmax_element(v.begin(), v.end());
    const double span = std::max(*b - *a, 1e-3);
    lo = *a - span;
    hi = *b + span;
  };

  if (kind == "error") {
    Chart c = chart("Spring: height_error, distance to the exact height", "time t [s]",
                    "height_error [m]");
    c.subtitle = sub;
    c.logY = true;
    c.xMax = xMax;
    for (const SpringRun& r : study.runs) {
      Curve k = schemeCurve(r.info, r.scheme);
      k.x = r.t;
      k.y = r.heightError;
      c.curves.push_back(std::move(k));
    }
    layer(c);
    return {c};
  }
  if (kind == "phase") {
    Chart c = chart("Spring: phase portrait, velocity against height", "height y [m]",
                    "velocity v [m/s]");
    c.subtitle = sub;
    for (const SpringRun& r : study.runs) {
      Curve k = schemeCurve(r.info, r.scheme);
      for (std::size_t i = 0; i < r.size(); ++i) {
        k.x.push_back(r.height(i));
        k.y.push_back(r.speed(i));
      }
      c.curves.push_back(std::move(k));
    }
    layer(c);
    around(ey, c.xMin, c.xMax);
    around(ev, c.yMin, c.yMax);
    Curve e = exactCurve();
    e.x = ey;
    e.y = ev;
    c.curves.push_back(std::move(e));
    return {c};
  }
  if (kind == "energy") {
    Chart energy = chart("Spring: energy 1/2 m v#u2#d + 1/2 ks (y - y*)#u2#d against time",
                         "time t [s]", "energy [J]");
    Chart drift = chart("Energy deviation |E - E0| / E0; its largest value is energy_drift",
                        "time t [s]", "|E - E0| / E0");
    energy.subtitle = drift.subtitle = sub;
    drift.logY = true;
    energy.xMax = drift.xMax = xMax;
    for (const SpringRun& r : study.runs) {
      Curve k = schemeCurve(r.info, r.scheme);
      Curve d = k;
      d.label += " (drift " + format("%.3g", r.energyDrift) + ")";
      k.x = d.x = r.t;
      k.y = r.energy;
      const double e0 = r.energy.empty() ? NAN : r.energy[0];
      for (double e : r.energy) d.y.push_back(std::fabs(e - e0) / e0);
      energy.curves.push_back(std::move(k));
      drift.curves.push_back(std::move(d));
    }
    // The damping's work added back: what is left is the integrator's own drift.
    Chart balance = chart("Energy balance |E + W_damping - E0| / E0: the integrator's own drift",
                          "time t [s]", "|E + W - E0| / E0");
    balance.subtitle = sub;
    balance.logY = true;
    balance.xMax = xMax;
    for (const SpringRun& r : study.runs) {
      Curve b = schemeCurve(r.info, r.scheme);
      b.label += " (balance " + format("%.3g", r.energyBalanceDrift) + ")";
      b.x = r.t;
      const double e0 = r.energy.empty() ? NAN : r.energy[0];
      for (std::size_t i = 0; i < r.size(); ++i)
        b.y.push_back(std::fabs(r.energy[i] + r.dampingWork[i] - e0) / e0);
      balance.curves.push_back(std::move(b));
    }
    layer(energy);
    layer(balance);
    layer(drift);
    if (closedForm && !et.empty()) {
      Curve e = exactCurve();
      e.x = et;
      for (std::size_t i = 0; i < et.size(); ++i) e.y.push_back(exact.energy(ey[i], ev[i]));
      const double most = *std::max_element(e.y.begin(), e.y.end());
      energy.yMin = 0.0;
      energy.yMax = 4.0 * most;
      energy.curves.push_back(std::move(e));
    }
    return {energy, balance, drift};
  }
  Chart c = chart("Spring: height of the body against time", "time t [s]", "height y [m]");
  c.subtitle = sub;
  c.xMax = xMax;
  for (const SpringRun& r : study.runs) {
    Curve k = schemeCurve(r.info, r.scheme);
    k.x = r.t;
    for (std::size_t i = 0; i < r.size(); ++i) k.y.push_back(r.height(i));
    c.curves.push_back(std::move(k));
  }
  layer(c);
  around(ey, c.yMin, c.yMax);
  Curve e = exactCurve();
  e.x = et;
  e.y = ey;
  c.curves.push_back(std::move(e));
  return {c};
}

std::vector<Chart> charts(const FlightConvergence& study, const std::string& kind) {
  return convergenceCharts(study, "flight", flightValues(study.params), study.params.timeStep,
                           kind);
}

std::vector<Chart> charts(const SpringConvergence& study, const std::string& kind) {
  return convergenceCharts(study, "spring", springValues(study.params), study.params.timeStep,
                           kind);
}
