#include "report.h"

#include <cmath>
#include <cstdio>
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

const std::string& name(const std::string& s) { return s; }

// The head line and table of a convergence study of `model`, whose error is `error`.
void printConvergence(std::ostream& out, const ConvergenceStudy& study, const char* model,
                      const char* error) {
  out << "convergence of the " << model << ": error at T = " << num(study.at) << " s, " << error
      << "; order = log2(e(2h)/e(h))\n";
  Table t({"scheme", "precision", "h [s]", "steps", "evaluations", "error [m]", "order", ""});
  bool anyFloor = false;
  for (const ConvergenceRow& r : study.rows) {
    anyFloor = anyFloor || r.atFloor;
    t.add({name(r.scheme), precisionName(r.precision), num(r.h, "%.6g"), count(r.steps),
           count(r.evaluations), num(r.error, "%.3e"), num(r.order, "%.2f"),
           r.atFloor ? "floor" : ""});
  }
  t.print(out);
  if (anyFloor)
    out << "floor: rounding (the model's single precision; for double rows double precision), "
           "not the scheme, dominates the error there; the order no longer measures the scheme.\n";
}

}  // namespace

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
  Table t({"scheme", "steps", "evaluations", "landing x [m]", "landing z [m]", "flight time [s]",
           "landing miss [m]", "max error [m]", "wall [ms]"});
  for (const FlightRun& r : study.runs) {
    t.add({name(r.scheme), count(r.steps), count(r.evaluations), num(r.landingX), num(r.landingZ),
           num(r.flightTime), num(r.landingMiss, "%.3e"), num(r.maxPathError, "%.3e"),
           num(r.wallMs, "%.3f")});
  }
  if (const auto& e = study.exactLanding)
    t.add({"exact", "", "", num(e->x), num(e->z), num(e->time), "", "", ""});
  t.print(out);
  for (const FlightRun& r : study.runs) {
    if (r.stop == FlightEnd::StepLimit)
      out << name(r.scheme) << ": still in the air after " << r.steps
          << " steps, where pbsim stops a flight\n";
    else if (r.stop == FlightEnd::Stuck)
      out << name(r.scheme) << ": stopped after " << r.steps
          << " steps: the projectile no longer moves\n";
  }
  if (!study.exactLanding) out << "exact: the projectile never comes down\n";
}

void printTable(std::ostream& out, const SpringStudy& study) {
  const SpringMassParams& p = study.spring.params;
  const SpringParams& s = p.springs[0];
  char head[512];
  std::snprintf(head, sizeof head,
                "spring: mass %g kg, ks %g N/m, kd %g kg/s, rest length %g m, gravity %g N "
                "(a force on the body, not an acceleration), dt %g s\n",
                p.mass, s.ks, s.kd, s.restLength, p.gravity, p.timeStep);
  out << head;
  Table t({"scheme", "steps", "evaluations", "final height [m]", "rest height g/ks-L [m]",
           "max height error [m]", "energy drift [J]", "wall [ms]"});
  for (std::size_t i = 0; i < study.runs.size(); ++i) {
    const SpringRun& r = study.runs[i];
    t.add({name(r.scheme), count(r.steps), count(r.evaluations), num(r.finalHeight),
           num(r.restingHeight), num(r.maxHeightError, "%.3e"),
           num(study.lastEnergyMiss[i], "%.3e"), num(r.wallMs, "%.3f")});
  }
  t.print(out);
  out << "The resting height g/ks - L does not depend on the mass: gravity acts here as a "
         "constant force.\n"
         "Energy: 1/2 m v^2 + 1/2 ks (y - rest height)^2; drift: the run's energy at its last "
         "step minus the exact energy then.\n";
  for (const SpringRun& r : study.runs)
    if (r.stop == SpringStop::SampleLimit)
      out << name(r.scheme) << ": not at rest after " << r.steps
          << " steps, where pbsim stops a run\n";
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
  out << "scheme,step,t,x,y,z,exact_x,exact_y,exact_z,error\n";
  for (std::size_t i = 0; i < study.runs.size(); ++i) {
    const FlightRun& r = study.runs[i];
    for (std::size_t k = 0; k < r.size(); ++k) {
      if (progress && k % 65536 == 0)
        progress("CSV, " + r.scheme + " " + std::to_string(100 * k / r.size()) + "%");
      const double error = study.pointError[i][k];
      out << r.scheme << ',' << k << ',' << num(r.t[k], "%.10g") << ',' << num(r.x(k), "%.9g")
          << ',' << num(r.y(k), "%.9g") << ',' << num(r.z(k), "%.9g") << ','
          << num(r.exactX[k], "%.10g") << ',' << num(r.exactY[k], "%.10g") << ','
          << num(r.exactZ[k], "%.10g") << ',' << num(error, "%.6g") << '\n';
    }
  }
}

void writeCsv(std::ostream& out, const SpringStudy& study, const Progress& progress) {
  out << "scheme,step,t,y,v,exact_y,error,energy\n";
  for (const SpringRun& r : study.runs) {
    for (std::size_t k = 0; k < r.size(); ++k) {
      if (progress && k % 65536 == 0)
        progress("CSV, " + r.scheme + " " + std::to_string(100 * k / r.size()) + "%");
      out << r.scheme << ',' << k << ',' << num(r.t[k], "%.10g") << ',' << num(r.height(k), "%.9g")
          << ',' << num(r.speed(k), "%.9g") << ',' << num(r.exactY[k], "%.10g") << ','
          << num(r.heightError[k], "%.6g") << ',' << num(r.energy[k], "%.6g") << '\n';
    }
  }
}

void writeCsv(std::ostream& out, const ConvergenceStudy& study, const Progress&) {
  out << "scheme,h,steps,evaluations,error,order\n";
  for (const ConvergenceRow& r : study.rows) {
    out << r.scheme << (r.precision == Precision::Double ? "-double" : "") << ','
        << num(r.h, "%.9g") << ',' << r.steps << ',' << r.evaluations << ',' << num(r.error, "%.6g")
        << ',' << num(r.order, "%.4f") << '\n';
  }
}
