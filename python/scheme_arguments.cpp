#include "scheme_arguments.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>

#include "bindings.h"

namespace {

using Vec = py::array_t<double, py::array::c_style | py::array::forcecast>;

std::string typeName(py::handle value) { return py::str(value.get_type().attr("__name__")); }

std::string shapeText(const py::array& a) {
  std::string s;
  for (py::ssize_t i = 0; i < a.ndim(); ++i) s += (i ? ", " : "") + std::to_string(a.shape(i));
  return "(" + s + (a.ndim() == 1 ? ",)" : ")");
}

std::string stateText(std::size_t n) {
  return n == 6 ? "6 values [x, y, z, vx, vy, vz]" : "2 values [y, v]";
}

Vec stateArray(py::handle value, std::size_t n, const std::string& what) {
  auto wrongType = [&] {
    return py::type_error(what + " must be an array of " + stateText(n) + ", not " +
                          typeName(value));
  };
  // numpy would read None as NaN and a string of digits as a number.
  if (value.is_none() || py::isinstance<py::str>(value)) throw wrongType();
  Vec a;
  try {
    a = py::cast<Vec>(value);
  } catch (const py::cast_error&) {
    throw wrongType();
  }
  if (a.ndim() != 1 || static_cast<std::size_t>(a.size()) != n)
    throw py::value_error(what + " must be an array of " + stateText(n) + ", not one of shape " +
                          shapeText(a));
  return a;
}

std::string callableName(const py::handle& f) {
  if (py::hasattr(f, "__name__")) return py::cast<std::string>(py::str(f.attr("__name__")));
  return "custom";
}

PyScheme customScheme(py::function step) {
  auto slot = std::make_shared<DerivativeSlot>();
  py::cpp_function f(
      [slot](double t, py::object state) {
        if (!slot->current)
          throw std::runtime_error("f can only be called while its run is in progress");
        Vec x = stateArray(state, slot->n, "the state given to f");
        Vec d(static_cast<py::ssize_t>(slot->n));
        (*slot->current)(t, x.data(), d.mutable_data());
        return d;
      },
      py::arg("t"), py::arg("state"), "The model's derivative: f(t, state) -> d(state)/dt.");
  auto custom = std::make_shared<CustomScheme>();
  custom->name = callableName(step);
  const std::string name = custom->name;
  // The Python objects are released with the GIL held: the scheme object may
  // be destroyed on any thread.
  auto objects = std::shared_ptr<std::pair<py::function, py::cpp_function>>(
      new std::pair<py::function, py::cpp_function>(std::move(step), std::move(f)), [](auto* p) {
        py::gil_scoped_acquire gil;
        delete p;
      });
  custom->step = [slot, objects, name](const CustomScheme::Derivative& deriv, double t,
                                       double* state, std::size_t n, double h) {
    py::gil_scoped_acquire gil;
    if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    slot->current = &deriv;
    slot->n = n;
    Vec x(static_cast<py::ssize_t>(n));
    std::copy(state, state + n, x.mutable_data());
    py::object out = objects->first(objects->second, t, x, h);
    Vec next = stateArray(out, n, "the step '" + name + "'");
    std::copy(next.data(), next.data() + n, state);
  };
  PyScheme s;
  s.scheme.custom = custom;
  s.slot = slot;
  return s;
}

std::shared_ptr<ButcherTableau> makeTableau(std::vector<std::vector<double>> a,
                                            std::vector<double> b, std::vector<double> c,
                                            std::string name) {
  auto t = std::make_shared<ButcherTableau>();
  t->name = std::move(name);
  t->a = std::move(a);
  t->b = std::move(b);
  t->c = std::move(c);
  if (const std::string p = t->problem(); !p.empty()) throw py::value_error(p);
  if (t->name.empty()) throw py::value_error("a tableau needs a name");
  return t;
}

// A user's embedded pair: the tableau (a, b, c) checked as a tableau, the
// second weight row as the engine checks a pair's; the orders of both rows
// by the order conditions, which the step control needs.
std::shared_ptr<EmbeddedPair> makePair(std::vector<std::vector<double>> a, std::vector<double> b,
                                       std::vector<double> bHat, std::vector<double> c,
                                       std::string name) {
  auto pair = userPair(*makeTableau(std::move(a), std::move(b), std::move(c), std::move(name)),
                       std::move(bHat));
  if (const std::string p = pair->problem(); !p.empty()) throw py::value_error(p);
  return pair;
}

}  // namespace

PyScheme toScheme(const py::handle& value) {
  PyScheme s;
  if (py::isinstance<py::str>(value)) {
    const std::string name = py::cast<std::string>(value);
    s.scheme.builtin = schemeNamed(name);
    if (!s.scheme.builtin)
      throw py::value_error(
          "unknown scheme '" + name + "' (" + schemeNames() +
          ", a ButcherTableau, an EmbeddedTableau or a callable step(f, t, state, h))");
    return s;
  }
  if (py::isinstance<ButcherTableau>(value)) {
    s.scheme.tableau = py::cast<std::shared_ptr<ButcherTableau>>(value);
    return s;
  }
  if (py::isinstance<EmbeddedPair>(value)) {
    s.scheme.embedded = py::cast<std::shared_ptr<EmbeddedPair>>(value);
    return s;
  }
  if (PyCallable_Check(value.ptr()))
    return customScheme(py::reinterpret_borrow<py::function>(value));
  throw py::type_error(
      "scheme must be a scheme name (" + schemeNames() +
      "), a ButcherTableau, an EmbeddedTableau or a callable step(f, t, state, h), not " +
      typeName(value));
}

std::vector<PyScheme> toSchemes(const py::iterable& schemes) {
  std::vector<PyScheme> out;
  for (py::handle s : schemes) out.push_back(toScheme(s));
  if (out.empty()) throw py::value_error("schemes must name at least one scheme");
  return out;
}

void register_schemes(py::module_& m) {
  py::list schemes;
  for (const SchemeInfo& s : kSchemes)
    schemes.append(py::make_tuple(std::string(s.name), std::string(s.title), s.order, s.evaluations,
                                  py::make_tuple(s.colour.r, s.colour.g, s.colour.b),
                                  std::string(s.marker), schemeKindName(s.kind)));
  m.attr("SCHEMES") = schemes;

  py::class_<ButcherTableau, std::shared_ptr<ButcherTableau>>(
      m, "ButcherTableau",
      "An explicit Runge-Kutta method by its Butcher tableau:\n"
      "k_i = f(t + c_i h, x + h sum_{j<i} a_ij k_j), x+ = x + h sum_i b_i k_i.\n"
      "The engine runs it in single precision (pbsim's rules: every stage formed in double and "
      "narrowed once) and in double precision. A tableau whose c is not its rows' sums (c = A 1) "
      "or whose b does not sum to 1 is refused; algebraic_order is its order by the Butcher "
      "order conditions, checked up to order 5.")
      .def(py::init(&makeTableau), py::arg("a"), py::arg("b"), py::arg("c"),
           py::arg("name") = "tableau",
           "a: s rows (row i needs at least i entries; entries on and above the diagonal must be "
           "0), b: s weights, c: s nodes.")
      .def_property_readonly("a", [](const ButcherTableau& t) { return t.a; })
      .def_property_readonly("b", [](const ButcherTableau& t) { return t.b; })
      .def_property_readonly("c", [](const ButcherTableau& t) { return t.c; })
      .def_property_readonly("name", [](const ButcherTableau& t) { return t.name; })
      .def_property_readonly("stages", [](const ButcherTableau& t) { return t.stages(); })
      .def_property_readonly(
          "algebraic_order", [](const ButcherTableau& t) { return algebraicOrder(t); },
          "The order by the Butcher order conditions, checked up to order 5 (5: at least 5); "
          "the order on every smooth problem, where linear ones may show more.")
      .def_property_readonly(
          "order_report", [](const ButcherTableau& t) { return orderReport(t).text(); },
          "The algebraic order in words, with the first order condition the tableau fails: "
          "'order 2: Σ b·c² = 0.25 but must be 1/3 for order 3'.")
      .def("__repr__", [](const ButcherTableau& t) {
        return "ButcherTableau(name='" + t.name + "', stages=" + std::to_string(t.stages()) + ")";
      });

  py::class_<EmbeddedPair, std::shared_ptr<EmbeddedPair>>(
      m, "EmbeddedTableau",
      "An embedded Runge-Kutta pair of your own: a Butcher tableau with a second weight row "
      "b_hat whose solution, compared with b's, estimates each step's error. It runs "
      "adaptively, as bogacki-shampine and dopri5 do, under rtol and atol, in double precision "
      "only. Its rows are checked as a ButcherTableau's are; b_hat must have as many entries as "
      "b, be finite, sum to 1 and differ from b. algebraic_order and embedded_order are the two "
      "rows' orders by the Butcher order conditions (checked up to 5); the step control uses "
      "the lower.")
      .def(py::init(&makePair), py::arg("a"), py::arg("b"), py::arg("b_hat"), py::arg("c"),
           py::arg("name") = "pair",
           "a: s rows (row i needs at least i entries; entries on and above the diagonal must be "
           "0), b: the solution's s weights, b_hat: the error estimate's s weights, c: s nodes.")
      .def_property_readonly("a", [](const EmbeddedPair& p) { return p.tableau.a; })
      .def_property_readonly("b", [](const EmbeddedPair& p) { return p.tableau.b; })
      .def_property_readonly("b_hat", [](const EmbeddedPair& p) { return p.bHat; })
      .def_property_readonly("c", [](const EmbeddedPair& p) { return p.tableau.c; })
      .def_property_readonly("name", [](const EmbeddedPair& p) { return p.tableau.name; })
      .def_property_readonly("stages", [](const EmbeddedPair& p) { return p.stages(); })
      .def_property_readonly(
          "fsal", [](const EmbeddedPair& p) { return p.fsal(); },
          "Whether the last stage is the derivative at the step's end (first same as last), "
          "reused as the next step's first.")
      .def_property_readonly(
          "algebraic_order", [](const EmbeddedPair& p) { return p.order; },
          "The order of b's solution by the Butcher order conditions (5: at least 5).")
      .def_property_readonly(
          "embedded_order", [](const EmbeddedPair& p) { return p.embeddedOrder; },
          "The order of b_hat's solution by the Butcher order conditions (5: at least 5).")
      .def_property_readonly(
          "order_report", [](const EmbeddedPair& p) { return orderReport(p.tableau).text(); },
          "b's algebraic order in words, with the first order condition it fails.")
      .def("__repr__", [](const EmbeddedPair& p) {
        return "EmbeddedTableau(name='" + p.tableau.name +
               "', stages=" + std::to_string(p.stages()) + ", orders=" + std::to_string(p.order) +
               "(" + std::to_string(p.embeddedOrder) + "))";
      });
}
