#include "report.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ballisticssetup.h"

namespace {

// A number in printf format `format`, or nothing for NaN.
std::string num(double v, const char* format = "%.6g") {
  if (std::isnan(v)) return "";
  char buf[64];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

std::string count(long long v) { return std::to_string(v); }

// A value the model keeps: in single precision as the float it is.
std::string modelValue(double v, Precision p) {
  return p == Precision::Single ? shortest(static_cast<float>(v)) : shortest(v);
}

// Columns padded to their widest entry: the first left-aligned, the others
// right-aligned.
class Table {
 public:
  explicit Table(std::vector<std::string> header) { rows_.push_back(std::move(header)); }
  void add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }
  void print(std::ostream& out) const {
    std::vector<std::size_t> width(rows_[0].size(), 0);
    for (const auto& row : rows_)
      for (std::size_t i = 0; i < row.size(); ++i) width[i] = std::max(width[i], row[i].size());
    for (const auto& row : rows_) {
      std::string line;
      for (std::size_t i = 0; i < row.size(); ++i) {
        const std::string pad(width[i] - row[i].size(), ' ');
        line += i == 0 ? row[i] + pad : "  " + pad + row[i];
      }
      while (!line.empty() && line.back() == ' ') line.pop_back();
      out << line << '\n';
    }
  }

 private:
  std::vector<std::vector<std::string>> rows_;
};

// One CSV line of cells.
void csvLine(std::ostream& out, const std::vector<std::string>& cells) {
  for (std::size_t i = 0; i < cells.size(); ++i) out << (i ? "," : "") << cells[i];
  out << '\n';
}

const char* fewStepsMark(bool few) { return few ? "few steps" : ""; }

// A landed flight of one step measured its path nowhere but at the launch
// point, where every scheme is exact: its max_path_error is no number.
bool pathMeasured(const FlightRun& r) { return !(r.landed() && r.size() <= 2); }

// The head line and table of a convergence study of `model`, whose error is `error`.
void printConvergence(std::ostream& out, const ConvergenceStudy& study, const char* model,
                      const char* error) {
  out << "convergence of the " << model << ": error at T = " << num(study.at) << " s, " << error
      << "; order = log2(e(2h)/e(h))\n";
  Table t({"scheme", "precision", "h [s]", "steps", "evaluations", "error [m]", "order", "floor"});
  bool anyFloor = false;
  for (const ConvergenceRow& r : study.rows) {
    anyFloor = anyFloor || r.atFloor;
    t.add({r.scheme, precisionName(r.precision), num(r.h, "%.6g"), count(r.steps),
           count(r.evaluations), num(r.error, "%.3e"), num(r.order, "%.2f"),
           r.atFloor ? "yes" : ""});
  }
  t.print(out);
  if (anyFloor)
    out << "floor: rounding (the model's single precision; for double rows double precision), "
           "not the scheme, dominates the error there; the order no longer measures the scheme.\n";
}

}  // namespace

#if defined(__cpp_lib_to_chars) || (defined(__GLIBCXX__) && __GNUC__ >= 11)

std::string shortest(double v) {
  if (std::isnan(v)) return "";
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

std::string shortest(float v) {
  if (std::isnan(v)) return "";
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

#else

// Without a floating-point std::to_chars (Emscripten's libc++): the fewest
// correctly rounded digits that read back, written as to_chars writes them,
// fixed or scientific, whichever is shorter (fixed on a tie).
namespace {

template <class T>
std::string shortestOf(T v, int most, T (*read)(const char*, char**)) {
  if (std::isnan(v)) return "";
  if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
  if (v == 0) return std::signbit(v) ? "-0" : "0";
  char buf[64];
  int lo = 1, hi = most;  // reading back is monotonic in the number of digits
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    std::snprintf(buf, sizeof buf, "%.*e", mid - 1, static_cast<double>(v));
    if (read(buf, nullptr) == v)
      hi = mid;
    else
      lo = mid + 1;
  }
  std::snprintf(buf, sizeof buf, "%.*e", lo - 1, static_cast<double>(v));
  const std::string sci = buf;
  const bool negative = sci[0] == '-';
  const std::size_t e = sci.find('e');
  std::string digits;
  for (std::size_t i = negative; i < e; ++i)
    if (sci[i] != '.') digits += sci[i];
  const int exponent = std::atoi(sci.c_str() + e + 1);
  std::string fixed;
  if (exponent >= 0) {
    const std::size_t point = static_cast<std::size_t>(exponent) + 1;
    fixed = digits.size() <= point ? digits + std::string(point - digits.size(), '0')
                                   : digits.substr(0, point) + "." + digits.substr(point);
  } else {
    fixed = "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  }
  if (negative) fixed = "-" + fixed;
  return fixed.size() <= sci.size() ? fixed : sci;
}

}  // namespace

std::string shortest(double v) { return shortestOf<double>(v, 17, std::strtod); }
std::string shortest(float v) { return shortestOf<float>(v, 9, std::strtof); }

#endif

void printTable(std::ostream& out, const FlightStudy& study) {
  const BallisticsParams& p = study.flight.params;
  char head[512];
  std::snprintf(head, sizeof head,
                "flight: azimuth %g deg, elevation %g deg, mass %g kg, powder %g x %g kg m/s, "
                "gravity %g m/s^2 (an acceleration), air friction %g kg/s, dt %g s\n",
                ballisticsunits::panelAzimuth(p.azimuth),
                ballisticsunits::panelElevation(p.elevation), p.projectileMass, p.powderAmount,
                p.powderPower, p.gravity, p.airFriction, p.timeStep);
  out << head;
  Table t({"scheme", "steps", "evaluations", "stop", "landing_x [m]", "landing_z [m]",
           "flight_time [s]", "landing_miss [m]", "max_path_error [m]", "wall_ms", "note"});
  for (const FlightRun& r : study.runs) {
    t.add({r.scheme, count(r.steps), count(r.evaluations), stopName(r.stop), num(r.landingX),
           num(r.landingZ), num(r.flightTime), num(r.landingMiss, "%.3e"),
           pathMeasured(r) ? num(r.maxPathError, "%.3e") : "none", num(r.wallMs, "%.3f"),
           fewStepsMark(r.fewSteps())});
  }
  if (const auto& e = study.exactLanding)
    t.add({"exact", "", "", "", num(e->x), num(e->z), num(e->time), "", "", "", ""});
  t.print(out);
  out << "path_error: distance to the exact position at the same time, at the launch point and "
         "after every step (not the ground point); landing_miss: the ground point's distance "
         "to the exact landing point.\n";
  for (const FlightRun& r : study.runs) {
    if (r.stop == FlightEnd::StepLimit)
      out << r.scheme << ": still in the air after " << r.steps
          << " steps, where pbsim stops a flight (step_limit)\n";
    else if (r.stop == FlightEnd::Stuck)
      out << r.scheme << ": stopped after " << r.steps
          << " steps: a step left position and velocity unchanged, so the projectile no longer "
             "moves (stuck)\n";
    else if (r.fewSteps())
      out << r.scheme << ": few steps: landed after " << r.steps
          << (r.steps == 1 ? " step" : " steps")
          << "; its errors say nothing about the scheme (take a smaller --dt)\n";
  }
  if (!study.exactLanding) out << "exact: the projectile never comes down\n";
}

void printTable(std::ostream& out, const SpringStudy& study) {
  const SpringMassParams& p = study.spring.params;
  const SpringParams& s = p.springs[0];
  char head[512];
  std::snprintf(head, sizeof head,
                "spring: mass %g kg, ks %g N/m, kd %g kg/s, rest length %g m, gravity %g N "
                "(a force on the body, not an acceleration), dt %g s",
                p.mass, s.ks, s.kd, s.restLength, p.gravity, p.timeStep);
  out << head;
  if (study.until) out << ", until " << num(*study.until) << " s";
  out << '\n';
  Table t({"scheme", "steps", "evaluations", "stop", "final_height [m]", "resting_height [m]",
           "max_height_error [m]", "energy_drift", "wall_ms", "note"});
  for (const SpringRun& r : study.runs) {
    t.add({r.scheme, count(r.steps), count(r.evaluations), stopName(r.stop), num(r.finalHeight),
           num(r.restingHeight), num(r.maxHeightError, "%.3e"), num(r.energyDrift, "%.3e"),
           num(r.wallMs, "%.3f"), fewStepsMark(r.fewSteps())});
  }
  t.print(out);
  out << "resting_height = gravity/ks - rest length does not depend on the mass: gravity acts "
         "here as a constant force.\n"
         "energy E = 1/2 m v^2 + 1/2 ks (y - resting_height)^2; energy_drift: the largest "
         "|E - E0| / E0 over the run.\n";
  for (const SpringRun& r : study.runs) {
    if (r.stop == SpringStop::SampleLimit)
      out << r.scheme << ": not at rest after " << r.steps
          << " steps, where pbsim stops a run (sample_limit)\n";
    else if (r.stop == SpringStop::NotRun)
      out << r.scheme << ": not run: the body has no mass\n";
    else if (r.fewSteps())
      out << r.scheme << ": few steps: at rest after " << r.steps
          << (r.steps == 1 ? " step" : " steps")
          << "; its errors say nothing about the scheme (take a smaller --dt)\n";
  }
  const ExactSpring& e = study.spring.exact;
  if (e.regime() == ExactSpring::NoClosedForm)
    out << "exact: no closed form for these values (it needs mass > 0 and ks > 0)\n";
  else if (std::isfinite(e.validUntil()))
    out << "exact: the body reaches the anchor at " << num(e.validUntil())
        << " s, where the force law changes; errors cover the time before it\n";
}

void printTable(std::ostream& out, const FlightConvergence& study) {
  printConvergence(out, study, "flight", "distance to the exact position");
}

void printTable(std::ostream& out, const SpringConvergence& study) {
  printConvergence(out, study, "spring", "height error");
}

void writeCsv(std::ostream& out, const FlightStudy& study, const Progress& progress) {
  out << "scheme,step,t,x,y,z,vx,vy,vz,exact_x,exact_y,exact_z,path_error\n";
  for (const FlightRun& r : study.runs) {
    const Precision p = r.precision;
    for (std::size_t k = 0; k < r.size(); ++k) {
      if (progress && k % 65536 == 0)
        progress("CSV, " + r.scheme + " " + std::to_string(100 * k / r.size()) + "%");
      csvLine(out, {r.scheme, count(static_cast<long long>(k)), modelValue(r.t[k], p),
                    modelValue(r.x(k), p), modelValue(r.y(k), p), modelValue(r.z(k), p),
                    modelValue(r.vx(k), p), modelValue(r.vy(k), p), modelValue(r.vz(k), p),
                    shortest(r.exactX[k]), shortest(r.exactY[k]), shortest(r.exactZ[k]),
                    shortest(r.pathError[k])});
    }
  }
}

void writeCsv(std::ostream& out, const SpringStudy& study, const Progress& progress) {
  out << "scheme,step,t,y,v,exact_y,height_error,energy\n";
  for (const SpringRun& r : study.runs) {
    const Precision p = r.precision;
    for (std::size_t k = 0; k < r.size(); ++k) {
      if (progress && k % 65536 == 0)
        progress("CSV, " + r.scheme + " " + std::to_string(100 * k / r.size()) + "%");
      csvLine(out, {r.scheme, count(static_cast<long long>(k)), modelValue(r.t[k], p),
                    modelValue(r.height(k), p), modelValue(r.speed(k), p), shortest(r.exactY[k]),
                    shortest(r.heightError[k]), shortest(r.energy[k])});
    }
  }
}

void writeCsv(std::ostream& out, const ConvergenceStudy& study, const Progress&) {
  out << "scheme,precision,h,steps,evaluations,error,order,floor\n";
  for (const ConvergenceRow& r : study.rows)
    csvLine(out, {r.scheme, precisionName(r.precision), shortest(static_cast<float>(r.h)),
                  count(r.steps), count(r.evaluations), shortest(r.error), shortest(r.order),
                  r.atFloor ? "1" : "0"});
}

void writeSummary(std::ostream& out, const FlightStudy& study) {
  out << "scheme,steps,evaluations,stop,few_steps,landing_x,landing_z,flight_time,landing_miss,"
         "max_path_error,wall_ms\n";
  for (const FlightRun& r : study.runs)
    csvLine(out,
            {r.scheme, count(r.steps), count(r.evaluations), stopName(r.stop),
             r.fewSteps() ? "1" : "0", modelValue(r.landingX, r.precision),
             modelValue(r.landingZ, r.precision), shortest(r.flightTime), shortest(r.landingMiss),
             pathMeasured(r) ? shortest(r.maxPathError) : "", shortest(r.wallMs)});
  if (const auto& e = study.exactLanding)
    csvLine(out, {"exact", "", "", "", "", shortest(e->x), shortest(e->z), shortest(e->time), "",
                  "", ""});
}

void writeSummary(std::ostream& out, const SpringStudy& study) {
  out << "scheme,steps,evaluations,stop,few_steps,final_height,resting_height,max_height_error,"
         "energy_drift,wall_ms\n";
  for (const SpringRun& r : study.runs)
    csvLine(out, {r.scheme, count(r.steps), count(r.evaluations), stopName(r.stop),
                  r.fewSteps() ? "1" : "0", modelValue(r.finalHeight, r.precision),
                  shortest(r.restingHeight), shortest(r.maxHeightError), shortest(r.energyDrift),
                  shortest(r.wallMs)});
}

void writeSummary(std::ostream& out, const ConvergenceStudy& study) { writeCsv(out, study); }

std::vector<std::string> warnings(const FlightStudy& study) {
  std::vector<std::string> lines;
  const auto& landing = study.exactLanding;
  for (const FlightRun& r : study.runs)
    if (r.fewSteps())
      lines.push_back(r.scheme + " ended after " + count(r.steps) +
                      (r.steps == 1 ? " step" : " steps") + " of --dt " + num(r.params.timeStep) +
                      " s" +
                      (landing ? " (the exact flight lasts " + num(landing->time) + " s)" : "") +
                      ": its numbers say nothing about the scheme; take a smaller --dt");
  return lines;
}

std::vector<std::string> warnings(const SpringStudy& study) {
  std::vector<std::string> lines;
  for (const SpringRun& r : study.runs)
    if (r.fewSteps())
      lines.push_back(r.scheme + " came to rest after " + count(r.steps) +
                      (r.steps == 1 ? " step" : " steps") + " of --dt " + num(r.params.timeStep) +
                      " s: its numbers say nothing about the scheme; take a smaller --dt");
  return lines;
}

std::vector<std::string> warnings(const ConvergenceStudy&) { return {}; }
