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

std::string name(const SchemeInfo* s) { return std::string(s->name); }

}  // namespace

void printFlightTable(std::ostream& out, const FlightStudy& study) {
  const BallisticsParams& p = study.params;
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
    const bool landed = r.result.end == FlightEnd::Landed;
    const Vector3f& g = r.trajectory.back();
    t.add({name(r.scheme), count(r.result.steps), count(r.evaluations), landed ? num(g.x) : "",
           landed ? num(g.z) : "", num(r.flightTime), num(r.landingMiss, "%.3e"),
           num(r.maxError, "%.3e"), num(r.wallSeconds * 1e3, "%.3f")});
  }
  if (const auto tl = study.exact.landingTime()) {
    const Vec3d e = study.exact.position(*tl);
    t.add({"exact", "", "", num(e.x), num(e.z), num(*tl), "", "", ""});
  }
  t.print(out);
  for (const FlightRun& r : study.runs) {
    if (r.result.end == FlightEnd::StepLimit)
      out << name(r.scheme) << ": still in the air after " << r.result.steps
          << " steps, where pbsim stops a flight\n";
    else if (r.result.end == FlightEnd::Stuck)
      out << name(r.scheme) << ": stopped after " << r.result.steps
          << " steps: the projectile no longer moves\n";
  }
  if (!study.exact.landingTime()) out << "exact: the projectile never comes down\n";
}

void printSpringTable(std::ostream& out, const SpringStudy& study) {
  const SpringMassParams& p = study.params;
  const SpringParams& s = p.springs[0];
  char head[512];
  std::snprintf(head, sizeof head,
                "spring: mass %g kg, ks %g N/m, kd %g kg/s, rest length %g m, gravity %g N "
                "(a force on the body, not an acceleration), dt %g s\n",
                p.mass, s.ks, s.kd, s.restLength, p.gravity, p.timeStep);
  out << head;
  Table t({"scheme", "steps", "evaluations", "final height [m]", "rest height g/ks-L [m]",
           "max height error [m]", "energy drift [J]", "wall [ms]"});
  const double rest = static_cast<double>(p.gravity) / s.ks - s.restLength;
  for (const SpringRun& r : study.runs) {
    t.add({name(r.scheme), count(r.result.steps), count(r.evaluations),
           r.result.ran ? num(r.heights.back()) : "", num(rest), num(r.maxError, "%.3e"),
           num(r.energyDrift, "%.3e"), num(r.wallSeconds * 1e3, "%.3f")});
  }
  t.print(out);
  out << "The resting height g/ks - L does not depend on the mass: gravity acts here as a "
         "constant force.\n"
         "Energy: 1/2 m v^2 + 1/2 ks (y - rest height)^2; drift: the run's energy at its last "
         "step minus the exact energy then.\n";
  for (const SpringRun& r : study.runs)
    if (r.result.ran && !r.result.settled)
      out << name(r.scheme) << ": not at rest after " << r.result.steps
          << " steps, where pbsim stops a run\n";
  const ExactSpring& e = study.exact;
  if (e.regime() == ExactSpring::NoClosedForm)
    out << "exact: no closed form for these values (it needs mass > 0 and ks > 0)\n";
  else if (std::isfinite(e.validUntil()))
    out << "exact: the body reaches the anchor at " << num(e.validUntil())
        << " s, where the force law changes; errors cover the time before it\n";
}

void printConvergenceTable(std::ostream& out, const ConvergenceStudy& study, StudyModel model) {
  out << "convergence of the " << (model == StudyModel::Flight ? "flight" : "spring")
      << ": error at T = " << num(study.at) << " s, "
      << (model == StudyModel::Flight ? "distance to the exact position" : "height error")
      << "; order = log2(e(2h)/e(h))\n";
  Table t({"scheme", "precision", "h [s]", "steps", "evaluations", "error [m]", "order", ""});
  bool anyFloor = false;
  for (const ConvergenceRow& r : study.rows) {
    anyFloor = anyFloor || r.atFloor;
    t.add({name(r.scheme), r.doublePrecision ? "double" : "single", num(r.h, "%.6g"),
           count(r.steps), count(r.evaluations), num(r.error, "%.3e"), num(r.order, "%.2f"),
           r.atFloor ? "floor" : ""});
  }
  t.print(out);
  if (anyFloor)
    out << "floor: rounding (the model's single precision; for double rows double precision), "
           "not the scheme, dominates the error there; the order no longer measures the scheme.\n";
}

void writeFlightCsv(std::ostream& out, const FlightStudy& study, const Progress& progress) {
  out << "scheme,step,t,x,y,z,exact_x,exact_y,exact_z,error\n";
  for (const FlightRun& r : study.runs) {
    for (std::size_t k = 0; k < r.trajectory.size(); ++k) {
      if (progress && k % 65536 == 0)
        progress("CSV, " + std::string(r.scheme->name) + " " +
                 std::to_string(100 * k / r.trajectory.size()) + "%");
      const Vector3f& p = r.trajectory[k];
      const double t = r.timeAt(k);
      const Vec3d e = study.exact.position(t);
      const double error = std::hypot(p.x - e.x, p.y - e.y, p.z - e.z);
      out << r.scheme->name << ',' << k << ',' << num(t, "%.10g") << ',' << num(p.x, "%.9g") << ','
          << num(p.y, "%.9g") << ',' << num(p.z, "%.9g") << ',' << num(e.x, "%.10g") << ','
          << num(e.y, "%.10g") << ',' << num(e.z, "%.10g") << ',' << num(error, "%.6g") << '\n';
    }
  }
}

void writeSpringCsv(std::ostream& out, const SpringStudy& study) {
  out << "scheme,step,t,y,v,exact_y,error,energy\n";
  for (const SpringRun& r : study.runs) {
    for (std::size_t k = 0; k < r.heights.size(); ++k) {
      const double t = static_cast<double>(k) * r.timeStep;
      const bool holds = study.exact.holdsAt(t);
      const double y = r.heights[k], v = r.speeds[k];
      const double exact = holds ? study.exact.height(t) : NAN;
      const double energy =
          study.exact.regime() == ExactSpring::NoClosedForm ? NAN : study.exact.energy(y, v);
      out << r.scheme->name << ',' << k << ',' << num(t, "%.10g") << ',' << num(y, "%.9g") << ','
          << num(v, "%.9g") << ',' << num(exact, "%.10g") << ','
          << num(std::fabs(y - exact), "%.6g") << ',' << num(energy, "%.6g") << '\n';
    }
  }
}

void writeConvergenceCsv(std::ostream& out, const ConvergenceStudy& study) {
  out << "scheme,h,steps,evaluations,error,order\n";
  for (const ConvergenceRow& r : study.rows) {
    out << r.scheme->name << (r.doublePrecision ? "-double" : "") << ',' << num(r.h, "%.9g") << ','
        << r.steps << ',' << r.evaluations << ',' << num(r.error, "%.6g") << ','
        << num(r.order, "%.4f") << '\n';
  }
}
