// Convergence studies as columns: one list per field of the engine's
// convergence descriptors.

#include <pybind11/stl.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "arguments.h"
#include "bindings.h"
#include "convergence.h"
#include "descriptors.h"
#include "gil_free.h"
#include "scheme_arguments.h"
#include "studies.h"
#include "tables.h"
#include "validation.h"

namespace {

template <class Case>
ConvergenceStudy study(const Case& c, const std::vector<RunScheme>& schemes,
                       ConvergenceSettings& settings) {
  raise(prepareConvergence(c, settings));
  return runEngine(false, [&](const CancelFlag* cancel) {
    return studyConvergence(c, schemes, settings, {}, cancel);
  });
}

// What the study's errors are measured against, as a run's notes word it:
// the reference's note for a flight without closed form.
std::vector<std::string> judgeNotes(const FlightCase& c) {
  std::vector<std::string> out;
  for (const Note& n : notes(runStudy(c, {}), "dt"))
    if (n.kind == Note::Kind::Reference) out.push_back(n.text);
  return out;
}

// The precisions a study shows: one of them, "both", or None (each scheme's
// own rows: single where it has pbsim's arithmetic, double otherwise).
struct Shown {
  std::optional<Precision> only;
  bool both = false;
};

Shown shownPrecision(py::handle precision) {
  Shown out;
  if (precision.is_none()) return out;
  if (py::isinstance<py::str>(precision) && py::cast<std::string>(precision) == "both") {
    out.both = true;
    return out;
  }
  if (py::isinstance<py::str>(precision) && !precisionNamed(py::cast<std::string>(precision)))
    throw py::value_error("precision must be '" + std::string(precisionName(Precision::Single)) +
                          "', '" + precisionName(Precision::Double) + "', 'both' or None, not '" +
                          py::cast<std::string>(precision) + "'");
  out.only = precisionArgument(precision);
  return out;
}

py::dict convergence(const std::string& model, const py::dict& values, const py::iterable& schemes,
                     py::handle precision, int levels, std::optional<double> at, py::handle drag,
                     py::handle quantity, py::handle sweep, py::handle rtol, py::handle atol,
                     std::optional<int> rtolLevels, py::handle landing) {
  const Shown shown = shownPrecision(precision);
  const Model which = modelArgument(model);
  ConvergenceSettings settings;
  settings.levels = levels;
  if (!quantity.is_none())
    settings.quantity = *quantityNamed(wordArgument("quantity", quantityWords(), quantity));
  if (!sweep.is_none()) settings.sweep = *sweepNamed(wordArgument("sweep", sweepWords(), sweep));
  if (rtolLevels) {
    if (*rtolLevels < 1) throw py::value_error("rtol_levels must be at least 1");
    settings.rtolLevels = *rtolLevels;
  }
  // The coarsest level's tolerances: the study's first rtol, and atol in
  // the proportion of the schemes' own defaults (as pbsim-study takes them).
  const Tolerances coarsest = toleranceArguments(rtol, atol, coarsestTolerances(settings));
  settings.rtolStart = coarsest.rtol;
  if (which == Model::Spring && !landing.is_none())
    throw py::type_error("landing applies to the flight only");
  const Landing rule = landingArgument(landing);
  std::vector<RunScheme> runSchemes;
  bool anyAdaptive = false;
  for (PyScheme& s : toSchemes(schemes)) {
    if (s.custom())
      throw py::value_error(
          "a convergence study runs the built-in schemes and tableaus only, not a Python step "
          "such as '" +
          s.scheme.name() +
          "': it measures every scheme in pbsim's single "
          "precision too, and marks the floor of its double rows against the same scheme in "
          "long double, and a Python step runs in double only. Write the method as a "
          "ButcherTableau (run at compiled speed in every precision), or measure your step "
          "with flight(scheme=step, dt=...) at halving dt");
    s.scheme.tolerances = coarsest;
    s.scheme.landing = rule;
    // Single-precision rows are asked for: every scheme must have them.
    if (shown.only == Precision::Single) {
      const std::string p = s.scheme.problem(Precision::Single);
      if (!p.empty()) throw py::value_error(p);
    }
    anyAdaptive = anyAdaptive || s.scheme.adaptive();
    runSchemes.push_back(s.scheme);
  }
  if (at) raise(valueProblem("at", *at, true));
  if (at) settings.at = *at;  // otherwise the engine's default time
  settings.withDouble = shown.both || shown.only == Precision::Double;
  if (which == Model::Spring && !drag.is_none())
    throw py::type_error("drag applies to the flight only");
  std::optional<ConvergenceStudy> s;
  py::dict out;
  if (which == Model::Flight) {
    const FlightCase c(flightParams(values, drag));
    s = study(c, runSchemes, settings);
    out["judge"] = c.judge();
    out["judge_error"] = c.judgeError();
    out["notes"] = judgeNotes(c);
  } else {
    s = study(SpringCase(springParams(values)), runSchemes, settings);
    out["judge"] = "exact";
    out["judge_error"] = 0.0;
    out["notes"] = std::vector<std::string>{};
  }

  py::dict columns;
  auto add = [&](const Field<ConvergenceRow>& f) {
    py::list column;
    for (const ConvergenceRow& r : s->rows)
      if (!shown.only || r.precision == *shown.only) column.append(fieldValue(f, r));
    columns[py::str(std::string(f.name))] = column;
  };
  for (const Field<ConvergenceRow>& f : kConvergenceFields) add(f);
  for (const Field<ConvergenceRow>& f : kConvergenceTimes) add(f);
  out["columns"] = columns;
  // Each tableau's algebraic order, beside the orders its rows show.
  py::dict algebraic;
  for (const ConvergenceRow& r : s->rows)
    if (r.algebraicOrder) algebraic[py::str(r.scheme)] = *r.algebraicOrder;
  out["algebraic_order"] = algebraic;
  out["at"] = s->at;
  out["quantity"] = quantityName(settings.quantity);
  out["sweep"] = sweepName(settings.sweep);
  out["rtol"] = coarsest.rtol;
  out["atol"] = coarsest.atol;
  out["rtol_levels"] = settings.rtolLevels;
  out["landing"] = landingName(rule);
  // The finest tolerance, when double precision cannot hold it: the
  // engine's warning for a scheme run at it.
  out["warning"] = anyAdaptive ? finestRtolWarning(settings) : std::string();
  return out;
}

}  // namespace

void register_convergence(py::module_& m) {
  m.def(
      "convergence_fields",
      [] {
        py::list fields = describe(kConvergenceFields);
        for (const auto& f : describe(kConvergenceTimes)) fields.append(f);
        return fields;
      },
      "The columns of a convergence study: dicts with name and unit (pbsim-study's fields, "
      "then each row's wall time).");
  m.def("convergence", &convergence, py::arg("model"), py::arg("values"), py::arg("schemes"),
        py::arg("precision"), py::arg("levels"), py::arg("at"), py::arg("drag") = py::none(),
        py::arg("quantity") = py::none(), py::arg("sweep") = py::none(),
        py::arg("rtol") = py::none(), py::arg("atol") = py::none(),
        py::arg("rtol_levels") = py::none(), py::arg("landing") = py::none(),
        "A convergence study as columns, with the time T it was taken at, what its errors are "
        "measured against ('judge', 'judge_error'), the reference's note, each tableau's "
        "algebraic order ('algebraic_order', by scheme name), the quantity and sweep it ran, "
        "the coarsest tolerances and the warning about the finest ('' for none).");
}
