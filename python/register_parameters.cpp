// The parameter tables and the convergence study's defaults, for the
// keyword arguments, defaults and docstrings of the pure-Python layer.

#include <pybind11/stl.h>

#include <optional>
#include <string>
#include <vector>

#include "arguments.h"
#include "bindings.h"
#include "convergence.h"
#include "parameters.h"
#include "validation.h"

namespace {

py::list parameters(py::handle model) {
  modelArgument(model);
  const std::optional<std::vector<ParameterDescription>> table =
      describeParameters(py::cast<std::string>(model));
  py::list out;
  for (const ParameterDescription& p : table.value()) {
    py::dict d;
    d["name"] = std::string(p.name);
    d["label"] = std::string(p.label);
    d["group"] = std::string(p.group);
    d["unit"] = std::string(p.unit);
    // The unit under quadratic drag, where it differs (the friction's kg/m).
    d["quadratic_unit"] = std::string(p.quadraticUnit);
    d["default"] = p.startUp;
    d["help"] = std::string(p.help);
    d["rule"] = std::string(ruleText(p.rule));
    d["flown"] = p.flown;
    out.append(d);
  }
  return out;
}

}  // namespace

void register_parameters(py::module_& m) {
  m.def("parameters", &parameters, py::arg("model"),
        "The parameters of 'flight' or 'spring' in the table's order: dicts with name, label, "
        "group, unit, quadratic_unit (the unit under quadratic drag where it differs), default "
        "(the panel's start-up value), help, rule and flown (False for values only drawn, such "
        "as the target).");
  const ConvergenceSettings settings;
  m.attr("CONVERGENCE_LEVELS") = settings.levels;
  m.attr("CONVERGENCE_RTOL_LEVELS") = settings.rtolLevels;
  m.attr("CONVERGENCE_RTOL") = settings.rtolStart;
  m.attr("QUANTITY") = quantityName(settings.quantity);
  m.attr("SWEEP") = sweepName(settings.sweep);
  m.attr("QUANTITIES") = py::tuple(py::cast(quantityWords()));
  m.attr("SWEEPS") = py::tuple(py::cast(sweepWords()));
  py::list laws;
  for (const DragLaw law : kDragLaws) laws.append(dragLawName(law));
  m.attr("DRAG_LAWS") = py::tuple(laws);
  m.attr("DRAG") = dragLawName(BallisticsPanelValues{}.drag);
}
