#pragma once

// The parts of the extension pbsim._pbsim, one per concept; module.cpp
// calls each register_* once. Every part translates between Python and the
// engine and leaves names, defaults, rules and wordings to the engine's
// tables.

#include <pybind11/pybind11.h>

namespace py = pybind11;

// Run limits and the parameter tables: parameters(model), the
// convergence study's defaults.
void register_parameters(py::module_& m);
// The scheme table (SCHEMES) and ButcherTableau.
void register_schemes(py::module_& m);
// Runs of either model: columns, summaries and warnings from the descriptors.
void register_runs(py::module_& m);
// Convergence studies as columns.
void register_convergence(py::module_& m);
// The closed forms over arrays of times.
void register_closed_forms(py::module_& m);
// Stability limits on the spring as columns.
void register_stability(py::module_& m);
