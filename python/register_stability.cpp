// Stability studies as columns: one list per field of the engine's
// stability descriptors, with the spring's modes and the engine's notes.

#include <pybind11/complex.h>
#include <pybind11/stl.h>

#include <string>
#include <vector>

#include "arguments.h"
#include "bindings.h"
#include "columns.h"
#include "descriptors.h"
#include "gil_free.h"
#include "scheme_arguments.h"
#include "stability.h"

namespace {

py::dict stability(const py::dict& values, py::handle schemes) {
  const SpringCase c(springParams(values));
  raise(stabilityProblem(c));
  std::vector<RunScheme> chosen;
  if (schemes.is_none()) {
    chosen = stabilitySchemes();
  } else {
    for (const PyScheme& s : toSchemes(py::reinterpret_borrow<py::iterable>(schemes)))
      chosen.push_back(s.scheme);  // the engine refuses all but the built-in schemes
  }
  const StabilityStudy study = runEngine(
      false, [&](const CancelFlag* cancel) { return studyStability(c, chosen, {}, {}, cancel); });
  py::dict columns;
  for (const Field<StabilityRow>& f : kStabilityFields) {
    py::list column;
    for (const StabilityRow& r : study.rows) column.append(fieldValue(f, r));
    columns[py::str(std::string(f.name))] = column;
  }
  const SpringModes& m = study.modes;
  py::dict modes;
  modes["a"] = m.a;
  modes["omega"] = m.oscillates ? m.omega : NAN;
  modes["natural_omega"] = m.naturalOmega;
  modes["period"] = m.period();
  modes["oscillates"] = m.oscillates;
  modes["eigenvalues"] = std::vector<std::complex<double>>(m.lambda.begin(), m.lambda.end());
  py::dict out;
  out["columns"] = columns;
  out["modes"] = modes;
  out["notes"] = stabilityNotes(study);
  return out;
}

}  // namespace

void register_stability(py::module_& m) {
  m.def(
      "stability_fields", [] { return describe(kStabilityFields); },
      "The columns of a stability study: dicts with name and unit.");
  m.def("stability", &stability, py::arg("values"), py::arg("schemes") = py::none(),
        "A stability study of the spring as columns, with its modes (a, omega, natural_omega, "
        "period, oscillates, eigenvalues) and the engine's notes; schemes None: every "
        "fixed-step scheme.");
}
