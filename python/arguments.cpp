#include "arguments.h"

#include <cmath>

#include "ballisticssetup.h"
#include "parameters.h"
#include "springmasssetup.h"
#include "validation.h"

namespace {

std::string typeName(py::handle value) { return py::str(value.get_type().attr("__name__")); }

// Panel values from keyword values: each name is a row of the model's
// parameter table; the others keep their start-up values.
template <class Values>
Values panelValues(const py::dict& given) {
  Values v;
  for (const auto& item : given) {
    const std::string key = py::cast<std::string>(item.first);
    const Parameter<Values>* p = findParameter<Values>(key);
    if (!p) throw py::type_error("unexpected parameter '" + key + "'");
    v.*(p->member) = number(key, item.second);
  }
  return v;
}

}  // namespace

double number(const std::string& name, py::handle value) {
  if (py::isinstance<py::str>(value) || py::isinstance<py::bytes>(value) || value.is_none())
    throw py::type_error(name + " must be a number, not " + typeName(value));
  if (py::isinstance<py::int_>(value)) {
    const double d = PyLong_AsDouble(value.ptr());
    if (d == -1.0 && PyErr_Occurred()) {
      PyErr_Clear();
      return value > py::int_(0) ? HUGE_VAL : -HUGE_VAL;
    }
    return d;
  }
  try {
    return py::cast<double>(value);
  } catch (const py::cast_error&) {
    throw py::type_error(name + " must be a number, not " + typeName(value));
  }
}

void raise(const std::optional<Problem>& problem) {
  if (problem) throw py::value_error(problem->text());
}

DragLaw dragArgument(py::handle drag) {
  if (drag.is_none()) return BallisticsPanelValues{}.drag;
  if (!py::isinstance<py::str>(drag))
    throw py::type_error("drag must be a str, not " + typeName(drag));
  std::optional<Problem> problem;
  const DragLaw law = dragLawArgument(py::cast<std::string>(drag), problem);
  raise(problem);
  return law;
}

BallisticsParams flightParams(const py::dict& given, py::handle drag) {
  auto v = panelValues<BallisticsPanelValues>(given);
  v.drag = dragArgument(drag);
  raise(flightProblem(v));
  return ballisticsParamsFromPanel(v);
}

SpringMassParams springParams(const py::dict& given, std::optional<double> until) {
  const auto v = panelValues<SpringPanelValues>(given);
  raise(springProblem(v, until));
  return springParamsFromPanel(v);
}

Precision precisionArgument(const std::string& name) {
  if (const std::optional<Precision> p = precisionNamed(name)) return *p;
  throw py::value_error("precision must be '" + std::string(precisionName(Precision::Single)) +
                        "' or '" + precisionName(Precision::Double) + "', not '" + name + "'");
}

std::optional<Precision> precisionArgument(py::handle name) {
  if (name.is_none()) return std::nullopt;
  if (!py::isinstance<py::str>(name))
    throw py::type_error("precision must be a str, not " + typeName(name));
  return precisionArgument(py::cast<std::string>(name));
}

Precision RunOptions::apply(RunScheme& scheme, std::optional<Precision> precision) const {
  scheme.tolerances = tolerances;
  scheme.landing = landing;
  const Precision p = precision.value_or(scheme.defaultPrecision());
  if (const std::string problem = scheme.problem(p); !problem.empty())
    throw py::value_error(problem);
  return p;
}

Tolerances toleranceArguments(py::handle rtol, py::handle atol, Tolerances defaults) {
  Tolerances t = defaults;
  if (!rtol.is_none()) t.rtol = number("rtol", rtol);
  if (!atol.is_none()) t.atol = number("atol", atol);
  raise(toleranceProblem(t));
  return t;
}

std::string wordArgument(const std::string& name, const std::vector<std::string>& words,
                         py::handle value) {
  if (!py::isinstance<py::str>(value))
    throw py::type_error(name + " must be a str, not " + typeName(value));
  const std::string word = py::cast<std::string>(value);
  raise(wordProblem(name, words, word));
  return word;
}

Landing landingArgument(py::handle landing) {
  if (landing.is_none()) return RunScheme{}.landing;
  return *landingNamed(wordArgument("landing", landingWords(), landing));
}

namespace {

[[noreturn]] void noModel(const std::string& shown) {
  throw py::value_error("model must be 'flight' or 'spring', not " + shown);
}

}  // namespace

Model modelArgument(const std::string& model) {
  if (model == "flight") return Model::Flight;
  if (model == "spring") return Model::Spring;
  noModel("'" + model + "'");
}

Model modelArgument(py::handle model) {
  if (!py::isinstance<py::str>(model)) noModel(py::repr(model));
  return modelArgument(py::cast<std::string>(model));
}
