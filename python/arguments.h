#pragma once

// Python values as the engine's arguments: numbers, the model's parameters
// by the names of its parameter table, the precision. A value the engine
// refuses raises ValueError with the engine's words; a value of the wrong
// type raises TypeError.

#include <pybind11/pybind11.h>

#include <optional>
#include <string>
#include <vector>

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

// The flight's drag law: one of the engine's words for it (ValueError
// otherwise, TypeError for a value that is not a str); None is the law the
// panel starts with.
DragLaw dragArgument(py::handle drag);

// The model's parameters from keyword values by the table's names (the
// others keep their start-up values), validated and converted to the model.
// A name the table lacks is a TypeError.
BallisticsParams flightParams(const py::dict& given, py::handle drag = py::none());
SpringMassParams springParams(const py::dict& given, std::optional<double> until = std::nullopt);

// "single" or "double".
Precision precisionArgument(const std::string& name);
// The same, or nothing for None: each scheme then runs in its own
// defaultPrecision() (single where it has pbsim's arithmetic, double
// otherwise).
std::optional<Precision> precisionArgument(py::handle name);

// A run's choices beside the model's parameters: the adaptive schemes'
// tolerances (None keeps the engine's Tolerances) and the flight's landing
// rule (None: the engine's default, linear).
struct RunOptions {
  Tolerances tolerances;
  Landing landing = RunScheme{}.landing;
  // Gives the scheme these choices, and raises ValueError with the engine's
  // words when the scheme cannot run in `precision` (nothing: its default).
  // Returns the precision it runs in.
  Precision apply(RunScheme& scheme, std::optional<Precision> precision) const;
};
// rtol and atol as numbers (TypeError otherwise), refused with the engine's
// words (toleranceProblem) whatever the schemes; None keeps `defaults`.
Tolerances toleranceArguments(py::handle rtol, py::handle atol, Tolerances defaults = {});
// landing as one of the engine's words (ValueError listing them; TypeError
// for a value that is not a str); None is linear.
Landing landingArgument(py::handle landing);
// One of `words` (ValueError listing them, in the engine's words);
// TypeError for a value that is not a str.
std::string wordArgument(const std::string& name, const std::vector<std::string>& words,
                         py::handle value);

// The model called `model` ("flight" or "spring", as describeParameters
// names them), or ValueError naming the models.
enum class Model { Flight, Spring };
Model modelArgument(const std::string& model);
// The same for any Python value: one that is not a str names no model.
Model modelArgument(py::handle model);
