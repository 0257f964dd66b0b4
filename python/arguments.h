#pragma once

// Python values as the engine's arguments: numbers, the model's parameters
// by the names of its parameter table, the precision. A value the engine
// refuses raises ValueError with the engine's words; a value of the wrong
// type raises TypeError.

#include <pybind11/pybind11.h>

#include <optional>
#include <string>

#include "ballisticsparams.h"
#include "cases.h"
#include "springmassparams.h"

namespace py = pybind11;

// The number `value` as a double; TypeError for a string, None or a
// non-number. An integer beyond double's range is an infinity (which
// validation then refuses).
double number(const std::string& name, py::handle value);

// Raises ValueError with the problem's text, if there is one.
void raise(const std::optional<Problem>& problem);

// The model's parameters from keyword values by the table's names (the
// others keep their start-up values), validated and converted to the model.
// A name the table lacks is a TypeError.
BallisticsParams flightParams(const py::dict& given);
SpringMassParams springParams(const py::dict& given, std::optional<double> until = std::nullopt);

// "single" or "double".
Precision precisionArgument(const std::string& name);

// The model called `model` ("flight" or "spring", as describeParameters
// names them), or ValueError naming the models.
enum class Model { Flight, Spring };
Model modelArgument(const std::string& model);
// The same for any Python value: one that is not a str names no model.
Model modelArgument(py::handle model);
