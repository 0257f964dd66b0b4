// pbsim._pbsim: the engine for Python. Each part (bindings.h) translates one
// concept between Python and the engine: the parameter tables, the scheme
// table and tableaus, runs, convergence studies and closed forms. The
// pure-Python layer (pbsim/__init__.py) builds the result objects, tables
// and warnings on top of it.

#include "bindings.h"

PYBIND11_MODULE(_pbsim, m) {
  m.doc() = "The pbsim engine; use the package pbsim, which builds on it.";
  m.attr("__version__") = PBSIM_VERSION;
  register_parameters(m);
  register_schemes(m);
  register_runs(m);
  register_convergence(m);
  register_closed_forms(m);
  register_stability(m);
}
