#include "report.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "ballisticssetup.h"

namespace {

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

// The readable table of a summary: every field in the descriptors' order, the
// flags gathered into a last column "note" (a convergence table keeps its
// one flag, floor, in its place).
template <class Run, std::size_t N>
Table summaryTable(const std::vector<Run>& rows, const std::array<Field<Run>, N>& fields,
                   bool flagsAsNote) {
  std::vector<std::string> header;
  for (const Field<Run>& f : fields)
    if (!(flagsAsNote && f.kind == Kind::Flag)) header.push_back(heading(f.name, f.unit));
  if (flagsAsNote) header.emplace_back("note");
  Table t(header);
  for (const Run& r : rows) {
    std::vector<std::string> cells;
    std::string note;
    for (const Field<Run>& f : fields) {
      if (flagsAsNote && f.kind == Kind::Flag) {
        const std::string word = readableCell(f, r);
        note += (note.empty() || word.empty() ? "" : ", ") + word;
        continue;
      }
      cells.push_back(readableCell(f, r));
    }
    if (flagsAsNote) cells.push_back(note);
    t.add(cells);
  }
  return t;
}

// The head line and table of a convergence study of `model`, whose error is `error`.
void printConvergence(std::ostream& out, const ConvergenceStudy& study, const char* model,
                      const char* error) {
  if (study.quantity == ConvergenceQuantity::Landing)
    out << "convergence of the " << model
        << "'s landing point: error = landing miss, the ground point's distance to the "
           "exact landing point (the ground point placed by --landing)";
  else
    out << "convergence of the " << model << ": error at T = " << readableNumber(study.at, "%.6g")
        << " s, " << error;
  out << "; order = log2(e(2h)/e(h))\n";
  summaryTable(study.rows, kConvergenceFields, false).print(out);
  bool anyRtol = false;
  for (const ConvergenceRow& r : study.rows) anyRtol = anyRtol || !std::isnan(r.rtol);
  if (anyRtol)
    out << "rtol rows (adaptive schemes): each level divides rtol and atol by 10; order = "
           "log(e(rtol_prev)/e(rtol)) / log(rtol_prev/rtol), 1 when the error follows the "
           "tolerance.\n";
  bool anyFloor = false;
  for (const ConvergenceRow& r : study.rows) anyFloor = anyFloor || r.atFloor;
  if (anyFloor)
    out << "floor: rounding (the model's single precision; for double rows double precision), "
           "not the scheme, dominates the error there; the order no longer measures the scheme.\n";
}

void printNotes(std::ostream& out, const std::vector<Note>& notes) {
  for (const Note& n : notes) out << n.text << '\n';
}

}  // namespace

void printTable(std::ostream& out, const FlightStudy& study) {
  const BallisticsParams& p = study.flight.params;
  char head[512];
  std::snprintf(head, sizeof head,
                "flight: azimuth %g deg, elevation %g deg, mass %g kg, powder %g x %g kg m/s, "
                "gravity %g m/s^2 (an acceleration), air friction %g %s, dt %g s\n",
                ballisticsunits::panelAzimuth(p.azimuth),
                ballisticsunits::panelElevation(p.elevation), p.projectileMass, p.powderAmount,
                p.powderPower, p.gravity, p.airFriction,
                p.drag == DragLaw::Quadratic ? "kg/m (quadratic drag)" : "kg/s", p.timeStep);
  out << head;
  Table t = summaryTable(study.runs, kFlightSummary, true);
  if (const auto& e = study.exactLanding) {
    std::vector<std::string> row;
    for (const Field<FlightRun>& f : kFlightSummary)
      if (f.kind != Kind::Flag)
        row.push_back(f.name == "scheme"
                          ? std::string(study.flight.judge())
                          : readableNumber(exactLandingValue(*e, f.name), f.readable));
    row.emplace_back();  // note
    t.add(row);
  }
  t.print(out);
  const std::string judge = study.flight.judge();
  out << "path_error: distance to the " << judge
      << " position at the same time, at the launch point and after every step (not the ground "
         "point); landing_miss: the ground point's distance to the "
      << judge << " landing point.\n";
  printNotes(out, notes(study, "--dt"));
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
  if (study.until) out << ", until " << readableNumber(*study.until, "%.6g") << " s";
  out << '\n';
  summaryTable(study.runs, kSpringSummary, true).print(out);
  out << "resting_height = gravity/ks - rest length does not depend on the mass: gravity acts "
         "here as a constant force.\n"
         "energy E = 1/2 m v^2 + 1/2 ks (y - resting_height)^2; energy_drift: the largest "
         "|E - E0| / E0 over the run.\n";
  printNotes(out, notes(study, "--dt"));
}

void printTable(std::ostream& out, const FlightConvergence& study) {
  printConvergence(out, study, "flight",
                   study.params.drag == DragLaw::Quadratic
                       ? "distance to the reference position (RKF 7(8) in long double)"
                       : "distance to the exact position");
}

void printTable(std::ostream& out, const SpringConvergence& study) {
  printConvergence(out, study, "spring", "height error");
}

template <class Study>
std::vector<std::string> warningsOf(const Study& study) {
  std::vector<std::string> lines;
  for (const Note& n : notes(study, "--dt"))
    if (!n.warning.empty()) lines.push_back(n.warning);
  return lines;
}

std::vector<std::string> warnings(const FlightStudy& study) { return warningsOf(study); }
std::vector<std::string> warnings(const SpringStudy& study) { return warningsOf(study); }
std::vector<std::string> warnings(const ConvergenceStudy&) { return {}; }

void printTable(std::ostream& out, const SpringStability& study) {
  const SpringMassParams& p = study.params;
  const SpringParams& s = p.springs[0];
  char head[512];
  std::snprintf(head, sizeof head,
                "stability on the spring: mass %g kg, ks %g N/m, kd %g kg/s, rest length %g m, "
                "gravity %g N; the largest stable dt per scheme, measured and in theory "
                "(unstable at dt: at --dt %g s)\n",
                p.mass, s.ks, s.kd, s.restLength, p.gravity, p.timeStep);
  out << head;
  summaryTable(study.rows, kStabilityFields, true).print(out);
  for (const std::string& line : stabilityNotes(study)) out << line << '\n';
}

std::vector<std::string> warnings(const SpringStability&) { return {}; }
