#include "tables.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// One CSV line of cells.
void csvLine(std::ostream& out, const std::vector<std::string>& cells) {
  for (std::size_t i = 0; i < cells.size(); ++i) out << (i ? "," : "") << cells[i];
  out << '\n';
}

template <class Table>
void headerLine(std::ostream& out, const Table& table) {
  std::vector<std::string> names;
  for (const auto& c : table) names.emplace_back(c.name);
  csvLine(out, names);
}

template <class Run, std::size_t N>
void writePoints(std::ostream& out, const std::vector<Run>& runs,
                 const std::array<Column<Run>, N>& columns, const Progress& progress,
                 const char* judge = "exact") {
  out << "scheme";
  for (const Column<Run>& c : columns) out << ',' << judgedName(c.name, judge);
  out << '\n';
  std::vector<std::string> cells(N + 1);
  for (const Run& r : runs) {
    for (std::size_t k = 0; k < r.size(); ++k) {
      if (progress && k % 65536 == 0)
        progress("CSV, " + r.scheme + " " + std::to_string(100 * k / r.size()) + "%");
      cells[0] = r.scheme;
      for (std::size_t i = 0; i < N; ++i) cells[i + 1] = csvCell(columns[i], r, k);
      csvLine(out, cells);
    }
  }
}

template <class Run, std::size_t N>
void writeFields(std::ostream& out, const std::vector<Run>& rows,
                 const std::array<Field<Run>, N>& fields) {
  headerLine(out, fields);
  for (const Run& r : rows) {
    std::vector<std::string> cells;
    for (const Field<Run>& f : fields) cells.push_back(csvCell(f, r));
    csvLine(out, cells);
  }
}

}  // namespace

std::string judgedName(std::string_view name, std::string_view judge) {
  const std::string n(name);
  return n.rfind("exact", 0) == 0 ? std::string(judge) + n.substr(5) : n;
}

namespace {

std::string steps(long long n) { return std::to_string(n) + (n == 1 ? " step" : " steps"); }

// A run whose state overflowed: the line under a table and the warning.
template <class Run>
void divergedNote(std::vector<Note>& out, const Run& r) {
  if (!r.diverged()) return;
  const std::string where =
      "step " + std::to_string(r.divergedAt) +
      " (t = " + readableNumber(r.t[static_cast<std::size_t>(r.divergedAt)], "%.6g") + " s)";
  out.push_back({Note::Kind::Diverged, r.scheme,
                 r.scheme + ": diverged: its state is no longer a finite number from " + where +
                     " on, so its errors are not measured",
                 r.scheme + " diverged at " + where +
                     ": its state overflowed, and its summary reports no errors"});
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

std::string csvNumber(double v, Kind kind, Precision precision) {
  switch (kind) {
    case Kind::Count:
      return std::isnan(v) ? "" : std::to_string(std::llround(v));
    case Kind::Flag:
      return v != 0.0 ? "1" : "0";
    case Kind::Model:
      return precision == Precision::Single ? shortest(static_cast<float>(v)) : shortest(v);
    case Kind::Float32:
      return shortest(static_cast<float>(v));
    case Kind::Double:
    case Kind::Text:
      break;
  }
  return shortest(v);
}

std::string readableNumber(double v, const char* format) {
  if (std::isnan(v)) return "";
  static const char* const kFormats[] = {"%.6g", "%.3e", "%.3f", "%.2f", "%.9g", "%.1e"};
  for (const char* f : kFormats)
    if (std::strcmp(f, format) == 0) {
      char buf[64];
      std::snprintf(buf, sizeof buf, f, v);
      return buf;
    }
  return "";
}

std::string heading(std::string_view name, std::string_view unit) {
  const std::string n(name);
  if (unit.empty()) return n;
  const std::string suffix = "_" + std::string(unit);
  if (n.size() > suffix.size() && n.compare(n.size() - suffix.size(), suffix.size(), suffix) == 0)
    return n;
  return n + " [" + std::string(unit) + "]";
}

double exactLandingValue(const ExactLanding& e, std::string_view name) {
  return name == kExactLandingFields[0]   ? e.x
         : name == kExactLandingFields[1] ? e.z
         : name == kExactLandingFields[2] ? e.time
                                          : NAN;
}

void writeCsv(std::ostream& out, const FlightStudy& study, const Progress& progress) {
  writePoints(out, study.runs, kFlightColumns, progress, study.flight.judge());
}

void writeCsv(std::ostream& out, const SpringStudy& study, const Progress& progress) {
  writePoints(out, study.runs, kSpringColumns, progress);
}

void writeCsv(std::ostream& out, const ConvergenceStudy& study, const Progress&) {
  writeFields(out, study.rows, kConvergenceFields);
}

void writeSummary(std::ostream& out, const FlightStudy& study) {
  writeFields(out, study.runs, kFlightSummary);
  if (const auto& e = study.exactLanding) {
    std::vector<std::string> cells;
    for (const Field<FlightRun>& f : kFlightSummary)
      cells.push_back(f.name == "scheme" ? std::string(study.flight.judge())
                                         : shortest(exactLandingValue(*e, f.name)));
    csvLine(out, cells);
  }
}

void writeSummary(std::ostream& out, const SpringStudy& study) {
  writeFields(out, study.runs, kSpringSummary);
}

void writeSummary(std::ostream& out, const ConvergenceStudy& study) { writeCsv(out, study); }

void writeCsv(std::ostream& out, const StabilityStudy& study, const Progress&) {
  writeFields(out, study.rows, kStabilityFields);
}

void writeSummary(std::ostream& out, const StabilityStudy& study) { writeCsv(out, study); }

namespace {

// A run that ended on a failing step, and a warning about its settings.
template <class Run>
void failureNotes(std::vector<Note>& out, const Run& r) {
  if (r.failure != RunFailure::None) {
    const std::string text = r.scheme + ": stopped after " + steps(r.steps) + " (" +
                             failureName(r.failure) + "): " + r.failureText;
    out.push_back({Note::Kind::Failed, r.scheme, text, text});
  }
  if (!r.warning.empty())
    out.push_back({Note::Kind::Tolerance, r.scheme, r.scheme + ": " + r.warning,
                   r.scheme + ": " + r.warning});
}

}  // namespace

std::vector<Note> notes(const FlightStudy& study, const std::string& dt) {
  std::vector<Note> out;
  const auto& landing = study.exactLanding;
  const std::string judge = study.flight.judge();
  const double judgeError = study.flight.judgeError();
  if (study.flight.reference)
    out.push_back({Note::Kind::Reference, "",
                   "reference: quadratic drag has no closed form; errors are measured against " +
                       std::string(ReferenceFlight::kName) + ", whose own error is about " +
                       readableNumber(judgeError, "%.1e") + " m",
                   ""});
  for (const FlightRun& r : study.runs) {
    const std::string n = std::to_string(r.steps);
    std::string warning;
    if (r.fewSteps())
      warning = r.scheme + " ended after " + steps(r.steps) + " of " + dt + " " +
                readableNumber(r.params.timeStep, "%.6g") + " s" +
                (landing ? " (the " + judge + " flight lasts " +
                               readableNumber(landing->time, "%.6g") + " s)"
                         : "") +
                ": its numbers say nothing about the scheme; take a smaller " + dt;
    if (r.stop == FlightEnd::StepLimit)
      out.push_back({Note::Kind::StepLimit, r.scheme,
                     r.scheme + ": still in the air after " + n +
                         " steps, where pbsim stops a flight (step_limit)",
                     warning});
    else if (r.stop == FlightEnd::Stuck)
      out.push_back({Note::Kind::Stuck, r.scheme,
                     r.scheme + ": stopped after " + n +
                         " steps: a step left position and velocity unchanged, so the "
                         "projectile no longer moves (stuck)",
                     warning});
    else if (r.fewSteps())
      out.push_back({Note::Kind::FewSteps, r.scheme,
                     r.scheme + ": few steps: landed after " + steps(r.steps) +
                         "; its errors say nothing about the scheme (take a smaller " + dt + ")",
                     warning});
    divergedNote(out, r);
    failureNotes(out, r);
    if (judgeError > 0.0 && r.maxPathError < 10 * judgeError)
      out.push_back({Note::Kind::BelowReference, r.scheme,
                     r.scheme + ": its errors lie within ten times the reference's own error, "
                                "so they no longer measure the scheme",
                     ""});
  }
  if (!landing)
    out.push_back({Note::Kind::NeverLands, "", judge + ": the projectile never comes down", ""});
  return out;
}

std::vector<Note> notes(const SpringStudy& study, const std::string& dt) {
  std::vector<Note> out;
  for (const SpringRun& r : study.runs) {
    if (r.stop == SpringStop::SampleLimit)
      out.push_back({Note::Kind::SampleLimit, r.scheme,
                     r.scheme + ": not at rest after " + std::to_string(r.steps) +
                         " steps, where pbsim stops a run (sample_limit)",
                     ""});
    else if (r.stop == SpringStop::NotRun)
      out.push_back(
          {Note::Kind::NotRun, r.scheme, r.scheme + ": not run: the body has no mass", ""});
    else if (r.fewSteps())
      out.push_back({Note::Kind::FewSteps, r.scheme,
                     r.scheme + ": few steps: at rest after " + steps(r.steps) +
                         "; its errors say nothing about the scheme (take a smaller " + dt + ")",
                     r.scheme + " came to rest after " + steps(r.steps) + " of " + dt + " " +
                         readableNumber(r.params.timeStep, "%.6g") +
                         " s: its numbers say nothing about the scheme; take a smaller " + dt});
    divergedNote(out, r);
    failureNotes(out, r);
  }
  const ExactSpring& e = study.spring.exact;
  if (e.regime() == ExactSpring::NoClosedForm)
    out.push_back({Note::Kind::NoClosedForm, "",
                   "exact: no closed form for these values (it needs mass > 0 and ks > 0)", ""});
  else if (std::isfinite(e.validUntil()))
    out.push_back({Note::Kind::ClosedFormEnds, "",
                   "exact: the body reaches the anchor at " +
                       readableNumber(e.validUntil(), "%.6g") +
                       " s, where the force law changes; errors cover the time before it",
                   ""});
  return out;
}
