// Convergence studies as columns: one list per field of the engine's
// convergence descriptors.

#include <pybind11/stl.h>

#include <optional>
#include <string>
#include <vector>

#include "arguments.h"
#include "bindings.h"
#include "convergence.h"
#include "descriptors.h"
#include "gil_free.h"
#include "scheme_arguments.h"
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

py::dict convergence(const std::string& model, const py::dict& values, const py::iterable& schemes,
                     const std::string& precision, int levels, std::optional<double> at) {
  // Besides one precision, "both": the model's rows and their double twins.
  const bool both = precision == "both";
  const std::optional<Precision> only = precisionNamed(precision);
  if (!both && !only)
    throw py::value_error("precision must be '" + std::string(precisionName(Precision::Single)) +
                          "', '" + precisionName(Precision::Double) + "' or 'both', not '" +
                          precision + "'");
  const Model which = modelArgument(model);
  std::vector<RunScheme> runSchemes;
  for (const PyScheme& s : toSchemes(schemes)) {
    if (s.custom())
      throw py::value_error(
          "a convergence study runs the built-in schemes and tableaus only, not a callable");
    runSchemes.push_back(s.scheme);
  }
  if (at) raise(valueProblem("at", *at, true));
  ConvergenceSettings settings;
  settings.levels = levels;
  if (at) settings.at = *at;  // otherwise the engine's default time
  settings.withDouble = only != Precision::Single;
  const ConvergenceStudy s = which == Model::Flight
                                 ? study(FlightCase(flightParams(values)), runSchemes, settings)
                                 : study(SpringCase(springParams(values)), runSchemes, settings);

  py::dict columns;
  for (const Field<ConvergenceRow>& f : kConvergenceFields) {
    py::list column;
    for (const ConvergenceRow& r : s.rows)
      if (!only || r.precision == *only) column.append(fieldValue(f, r));
    columns[py::str(std::string(f.name))] = column;
  }
  py::dict out;
  out["columns"] = columns;
  out["at"] = s.at;
  return out;
}

}  // namespace

void register_convergence(py::module_& m) {
  m.def(
      "convergence_fields", [] { return describe(kConvergenceFields); },
      "The columns of a convergence study: dicts with name and unit.");
  m.def("convergence", &convergence, py::arg("model"), py::arg("values"), py::arg("schemes"),
        py::arg("precision"), py::arg("levels"), py::arg("at"),
        "A convergence study as columns, with the time T it was taken at.");
}
