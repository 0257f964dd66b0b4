// Runs of either model. Each run moves into a heap object that a capsule
// owns, and every column of the descriptors is a numpy view of it: the
// run's own vectors where it keeps the column (float32 or float64 as the
// run keeps it), a vector beside the run where the column is computed
// (step, as int64). The summary and the warnings come from the descriptors
// and the engine's notes.

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "arguments.h"
#include "bindings.h"
#include "descriptors.h"
#include "gil_free.h"
#include "parameters.h"
#include "scheme_arguments.h"
#include "studies.h"
#include "tables.h"
#include "validation.h"

namespace {

// How a warning names the time step: as the keyword argument does.
constexpr const char* kTimeStep = "dt";

template <class Run>
struct Holder {
  Run run;
  std::vector<std::vector<std::int64_t>> counts;  // computed Count columns
  std::vector<std::vector<double>> numbers;       // other computed columns
};

// A warning's kind, by which the pure-Python layer picks its class: the
// engine's note kinds that warn, by word.
const char* warningKind(Note::Kind kind) {
  switch (kind) {
    case Note::Kind::Diverged:
      return "diverged";
    case Note::Kind::Failed:
      return "failed";
    case Note::Kind::Tolerance:
      return "tolerance";
    default:
      return "few_steps";
  }
}

template <class T>
py::array view(const T* data, std::size_t n, const py::capsule& owner) {
  // Writable, as numpy's own arrays are: the memory is the holder's.
  return py::array_t<T>({static_cast<py::ssize_t>(n)}, {static_cast<py::ssize_t>(sizeof(T))},
                        const_cast<T*>(data), owner);
}

// A run's columns, summary, notes and warnings; its exact_* columns named by
// what they are measured against (`judge`: reference_x for quadratic drag).
template <class Run, class Columns, class Summary>
py::dict result(Run&& run, const Columns& columns, const Summary& summary,
                const std::vector<Note>& notes, const char* judge = "exact") {
  auto* holder = new Holder<Run>{std::move(run), {}, {}};
  py::capsule owner(holder, [](void* p) { delete static_cast<Holder<Run>*>(p); });
  const Run& r = holder->run;
  const std::size_t n = r.size();
  holder->counts.reserve(columns.size());
  holder->numbers.reserve(columns.size());

  py::dict arrays;
  for (const auto& c : columns) {
    const ColumnData d = c.data ? c.data(r) : ColumnData{};
    py::array a;
    if (d.floats) {
      a = view(d.floats, n, owner);
    } else if (d.doubles) {
      a = view(d.doubles, n, owner);
    } else if (c.kind == Kind::Count) {
      auto& v = holder->counts.emplace_back(n);
      for (std::size_t k = 0; k < n; ++k) v[k] = static_cast<std::int64_t>(c.value(r, k));
      a = view(v.data(), n, owner);
    } else {
      auto& v = holder->numbers.emplace_back(n);
      for (std::size_t k = 0; k < n; ++k) v[k] = c.value(r, k);
      a = view(v.data(), n, owner);
    }
    arrays[py::str(judgedName(c.name, judge))] = a;
  }
  py::dict fields;
  for (const auto& f : summary) fields[py::str(std::string(f.name))] = fieldValue(f, r);
  py::list lines, warnings;
  for (const Note& note : notes) {
    lines.append(note.text);
    // (kind, text): diverged, failed, tolerance or few_steps.
    if (!note.warning.empty())
      warnings.append(py::make_tuple(warningKind(note.kind), note.warning));
  }

  py::dict out;
  out["columns"] = arrays;
  out["summary"] = fields;
  out["precision"] = precisionName(r.precision);
  out["notes"] = lines;
  out["warnings"] = warnings;
  return out;
}

// The notes of one run as a study of it has them (the flight's beside the
// exact landing).
template <class Study, class Run>
std::vector<Note> notesOf(Study& study, Run& run) {
  study.runs.push_back(std::move(run));
  std::vector<Note> out = notes(study, kTimeStep);
  run = std::move(study.runs.back());
  study.runs.clear();
  return out;
}

// What every run reports beside its columns: its choices as run.
void addChoices(py::dict& r, const RunScheme& s) {
  r["algebraic_order"] = s.algebraicOrder();
  r["adaptive"] = s.adaptive();
  r["rtol"] = s.tolerances.rtol;
  r["atol"] = s.tolerances.atol;
}

py::list runFlights(const py::dict& values, const py::iterable& schemes, py::handle precision,
                    py::handle drag, py::handle rtol, py::handle atol, py::handle landing) {
  const FlightCase c(flightParams(values, drag));
  std::vector<PyScheme> chosen = toSchemes(schemes);
  const std::optional<Precision> asked = precisionArgument(precision);
  const RunOptions options{toleranceArguments(rtol, atol), landingArgument(landing)};
  std::vector<Precision> precisions;
  for (PyScheme& s : chosen) precisions.push_back(options.apply(s.scheme, asked));
  FlightStudy study = runStudy(c, {});  // the exact landing, for the notes
  py::list out;
  for (std::size_t i = 0; i < chosen.size(); ++i) {
    const PyScheme& s = chosen[i];
    SlotGuard guard{s.slot};
    FlightRun run = runEngine(s.custom(), [&](const CancelFlag* cancel) {
      return runFlight(c, s.scheme, precisions[i], cancel);
    });
    const std::vector<Note> notes = notesOf(study, run);
    py::dict r = result(std::move(run), kFlightColumns, kFlightSummary, notes, c.judge());
    r["target"] = py::make_tuple(c.params.target.x, c.params.target.z);
    r["judge"] = c.judge();
    r["judge_error"] = c.judgeError();
    r["drag"] = dragLawName(c.params.drag);
    r["landing"] = landingName(s.scheme.landing);
    addChoices(r, s.scheme);
    out.append(r);
  }
  return out;
}

py::list runSprings(const py::dict& values, const py::iterable& schemes, py::handle precision,
                    std::optional<double> until, py::handle rtol, py::handle atol) {
  const SpringCase c(springParams(values, until));
  std::vector<PyScheme> chosen = toSchemes(schemes);
  const std::optional<Precision> asked = precisionArgument(precision);
  RunOptions options;
  options.tolerances = toleranceArguments(rtol, atol);
  std::vector<Precision> precisions;
  for (PyScheme& s : chosen) precisions.push_back(options.apply(s.scheme, asked));
  SpringStudy study = runStudy(c, {}, until);
  py::list out;
  for (std::size_t i = 0; i < chosen.size(); ++i) {
    const PyScheme& s = chosen[i];
    SlotGuard guard{s.slot};
    SpringRun run = runEngine(s.custom(), [&](const CancelFlag* cancel) {
      return runSpring(c, s.scheme, precisions[i], until, cancel);
    });
    const std::vector<Note> notes = notesOf(study, run);
    py::dict r = result(std::move(run), kSpringColumns, kSpringSummary, notes);
    r["judge"] = "exact";
    r["judge_error"] = 0.0;
    addChoices(r, s.scheme);
    out.append(r);
  }
  return out;
}

// The flight's or the spring's.
py::list byModel(const std::string& model, py::list flight, py::list spring) {
  return modelArgument(model) == Model::Flight ? flight : spring;
}

}  // namespace

void register_runs(py::module_& m) {
  m.attr("MAX_FLIGHT_STEPS") = kMaxFlightSteps;
  m.attr("MAX_SPRING_SAMPLES") = kMaxSpringSamples;
  m.attr("SETTLE_THRESHOLD") = static_cast<double>(kSettleThreshold);
  m.attr("REST_SPEED") = static_cast<double>(kRestSpeed);
  m.attr("FEW_STEPS") = kFewSteps;

  m.def(
      "columns",
      [](const std::string& model) {
        return byModel(model, describe(kFlightColumns), describe(kSpringColumns));
      },
      py::arg("model"), "The per-point columns of a run of the model: dicts with name and unit.");
  m.def(
      "summary_fields",
      [](const std::string& model) {
        return byModel(model, describe(kFlightSummary), describe(kSpringSummary));
      },
      py::arg("model"), "The summary fields of a run of the model: dicts with name and unit.");

  m.def("run_flights", &runFlights, py::arg("values"), py::arg("schemes"),
        py::arg("precision") = py::none(), py::arg("drag") = py::none(),
        py::arg("rtol") = py::none(), py::arg("atol") = py::none(), py::arg("landing") = py::none(),
        "One flight per scheme: a list of dicts with 'columns' (exact_x ... named by the judge: "
        "reference_x for quadratic drag), 'summary', 'precision', 'notes', 'warnings' "
        "((kind, text) pairs: diverged, failed, tolerance or few_steps), 'target', 'judge', "
        "'judge_error', 'drag', 'landing', 'adaptive', 'rtol', 'atol' and 'algebraic_order' (a "
        "tableau's or a pair's, else None). precision None runs each scheme in its default "
        "precision; rtol and atol None keep the engine's tolerances.");
  m.def("run_springs", &runSprings, py::arg("values"), py::arg("schemes"),
        py::arg("precision") = py::none(), py::arg("until") = py::none(),
        py::arg("rtol") = py::none(), py::arg("atol") = py::none(),
        "One spring run per scheme, as run_flights.");

  const Tolerances tolerances;
  m.attr("RTOL") = tolerances.rtol;
  m.attr("ATOL") = tolerances.atol;
  m.attr("SMALLEST_RTOL") = kSmallestRtol;
  m.attr("LANDING") = landingName(RunScheme{}.landing);
  m.attr("LANDINGS") = py::tuple(py::cast(landingWords()));
}
