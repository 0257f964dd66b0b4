// pbsim._pbsim: the engine for Python. Runs of both models with their
// closed forms, summaries and convergence studies, handed to numpy without
// copying; the pure-Python layer (pbsim/__init__.py) builds the result
// objects, tables and warnings on top of it.
//
// While the engine runs, the GIL is released. A run of a built-in scheme or
// a tableau goes to a worker thread while the calling thread looks for
// signals every 50 ms: Ctrl+C sets the engine's cancel flag and the call
// raises KeyboardInterrupt. A user's own step runs on the calling thread and
// takes the GIL for each of its calls.

#include <pybind11/functional.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ballisticssetup.h"
#include "cases.h"
#include "convergence.h"
#include "runs.h"
#include "springmasssetup.h"
#include "validation.h"

namespace py = pybind11;

namespace {

// ---------------------------------------------------------------------------
// Parameters: the Python names (those validation.h reports) and the panel
// fields they set. Defaults and conversions are the setup headers'.

template <class Values>
struct Field {
  const char* name;
  double Values::*member;
};

const Field<BallisticsPanelValues> kFlightFields[] = {
    {"azimuth", &BallisticsPanelValues::azimuth},
    {"elevation", &BallisticsPanelValues::elevation},
    {"mass", &BallisticsPanelValues::projectileMass},
    {"powder", &BallisticsPanelValues::powderAmount},
    {"power", &BallisticsPanelValues::powderPower},
    {"gravity", &BallisticsPanelValues::gravity},
    {"friction", &BallisticsPanelValues::airFriction},
    {"target_x", &BallisticsPanelValues::targetX},
    {"target_z", &BallisticsPanelValues::targetZ},
    {"dt", &BallisticsPanelValues::timeStep},
};

const Field<SpringPanelValues> kSpringFields[] = {
    {"mass", &SpringPanelValues::mass},       {"ks", &SpringPanelValues::ks},
    {"kd", &SpringPanelValues::kd},           {"rest", &SpringPanelValues::rest},
    {"gravity", &SpringPanelValues::gravity}, {"dt", &SpringPanelValues::timeStep},
};

template <class Values, std::size_t N>
py::dict defaults(const Field<Values> (&fields)[N]) {
  const Values v;
  py::dict d;
  for (const auto& f : fields) d[f.name] = v.*(f.member);
  return d;
}

double number(const std::string& name, py::handle value) {
  if (py::isinstance<py::str>(value) || py::isinstance<py::bytes>(value) || value.is_none())
    throw py::type_error(name + " must be a number, not " +
                         std::string(py::str(value.get_type().attr("__name__"))));
  if (py::isinstance<py::int_>(value)) {
    // An integer beyond double's range is an infinity, which validation refuses.
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
    throw py::type_error(name + " must be a number, not " +
                         std::string(py::str(value.get_type().attr("__name__"))));
  }
}

// Panel values from keyword values; unknown names are refused.
template <class Values, std::size_t N>
Values panelValues(const Field<Values> (&fields)[N], const py::dict& given) {
  Values v;
  for (const auto& item : given) {
    const std::string key = py::cast<std::string>(item.first);
    bool known = false;
    for (const auto& f : fields)
      if (key == f.name) {
        v.*(f.member) = number(key, item.second);
        known = true;
      }
    if (!known) throw py::type_error("unexpected parameter '" + key + "'");
  }
  return v;
}

void raise(const std::optional<Problem>& problem) {
  if (problem) throw py::value_error(problem->text());
}

BallisticsParams flightParams(const py::dict& given) {
  const BallisticsPanelValues v = panelValues(kFlightFields, given);
  raise(flightProblem(v));
  raise(valueProblem("target_x", v.targetX));
  raise(valueProblem("target_z", v.targetZ));
  return ballisticsParamsFromPanel(v);
}

SpringMassParams springParams(const py::dict& given, std::optional<double> until = std::nullopt) {
  const SpringPanelValues v = panelValues(kSpringFields, given);
  raise(springProblem(v, until));
  return springParamsFromPanel(v);
}

Precision precisionArgument(const std::string& name) {
  if (const std::optional<Precision> p = precisionNamed(name)) return *p;
  throw py::value_error("precision must be 'single' or 'double', not '" + name + "'");
}

// ---------------------------------------------------------------------------
// Schemes: a name of schemes.h, a ButcherTableau, or a callable
// step(f, t, state, h) -> new_state.

// The derivative of the run in progress, as a Python callable f(t, state).
// It lives as long as the run; a user who keeps f and calls it afterwards
// gets an error, not a dangling pointer.
struct DerivativeSlot {
  const CustomScheme::Derivative* current = nullptr;
  std::size_t n = 0;
};

using Vec = py::array_t<double, py::array::c_style | py::array::forcecast>;

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
                          std::string(py::str(value.get_type().attr("__name__"))));
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

struct PyScheme {
  RunScheme scheme;
  std::shared_ptr<DerivativeSlot> slot;  // set for a callable
  bool custom() const { return static_cast<bool>(slot); }
};

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

PyScheme toScheme(const py::handle& value) {
  PyScheme s;
  if (py::isinstance<py::str>(value)) {
    const std::string name = py::cast<std::string>(value);
    s.scheme.builtin = schemeNamed(name);
    if (!s.scheme.builtin)
      throw py::value_error("unknown scheme '" + name + "' (" + schemeNames() +
                            ", a ButcherTableau or a callable step(f, t, state, h))");
    return s;
  }
  if (py::isinstance<ButcherTableau>(value)) {
    s.scheme.tableau = py::cast<std::shared_ptr<ButcherTableau>>(value);
    return s;
  }
  if (PyCallable_Check(value.ptr()))
    return customScheme(py::reinterpret_borrow<py::function>(value));
  throw py::type_error("scheme must be a scheme name (" + schemeNames() +
                       "), a ButcherTableau or a callable step(f, t, state, h), not " +
                       std::string(py::str(value.get_type().attr("__name__"))));
}

// Ends the user's access to a run's derivative, however the run ends.
struct SlotGuard {
  std::shared_ptr<DerivativeSlot> slot;
  ~SlotGuard() {
    if (slot) slot->current = nullptr;
  }
};

// ---------------------------------------------------------------------------
// Running the engine without the GIL, interruptible with Ctrl+C.

template <class Work>
auto runEngine(bool custom, Work&& work) -> decltype(work(nullptr)) {
  using Result = decltype(work(nullptr));
  if (custom) {
    // Python code runs inside: it takes the GIL per step and sees signals
    // itself.
    py::gil_scoped_release release;
    return work(nullptr);
  }
  CancelFlag cancel{false};
  std::optional<Result> result;
  std::exception_ptr error;
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  std::optional<py::error_already_set> interrupt;
  {
    py::gil_scoped_release release;
    std::thread worker([&] {
      try {
        result.emplace(work(&cancel));
      } catch (...) {
        error = std::current_exception();
      }
      std::lock_guard<std::mutex> lock(mutex);
      done = true;
      finished.notify_one();
    });
    std::unique_lock<std::mutex> lock(mutex);
    while (!finished.wait_for(lock, std::chrono::milliseconds(50), [&] { return done; })) {
      if (interrupt) continue;
      lock.unlock();
      {
        py::gil_scoped_acquire gil;
        if (PyErr_CheckSignals() != 0) {
          interrupt.emplace();  // fetches the signal handler's exception
          cancel.store(true);
        }
      }
      lock.lock();
    }
    lock.unlock();
    worker.join();
  }
  if (interrupt) throw std::move(*interrupt);
  if (error) std::rethrow_exception(error);
  return std::move(*result);
}

// ---------------------------------------------------------------------------
// Results as numpy arrays over the engine's own vectors: each run moves into
// a heap object that a capsule owns, and every column is a view of it.

template <class T>
py::array column(std::vector<T>& v, const py::capsule& owner) {
  return py::array_t<T>({static_cast<py::ssize_t>(v.size())}, {static_cast<py::ssize_t>(sizeof(T))},
                        v.data(), owner);
}

std::vector<std::int64_t> stepNumbers(std::size_t n) {
  std::vector<std::int64_t> s(n);
  for (std::size_t k = 0; k < n; ++k) s[k] = static_cast<std::int64_t>(k);
  return s;
}

struct FlightHolder {
  FlightRun run;
  std::vector<std::int64_t> step;
};

struct SpringHolder {
  SpringRun run;
  std::vector<std::int64_t> step;
};

py::dict flightResult(FlightRun&& run) {
  auto* holder = new FlightHolder{std::move(run), {}};
  py::capsule owner(holder, [](void* p) { delete static_cast<FlightHolder*>(p); });
  FlightRun& r = holder->run;
  holder->step = stepNumbers(r.size());
  py::dict columns;
  columns["step"] = column(holder->step, owner);
  columns["t"] = column(r.t, owner);
  const bool single = r.precision == Precision::Single;
  const char* names[] = {"x", "y", "z", "vx", "vy", "vz"};
  std::vector<float>* singles[] = {&r.single.x,  &r.single.y,  &r.single.z,
                                   &r.single.vx, &r.single.vy, &r.single.vz};
  std::vector<double>* wides[] = {&r.wide.x,  &r.wide.y,  &r.wide.z,
                                  &r.wide.vx, &r.wide.vy, &r.wide.vz};
  for (int i = 0; i < 6; ++i)
    columns[names[i]] = single ? column(*singles[i], owner) : column(*wides[i], owner);
  columns["exact_x"] = column(r.exactX, owner);
  columns["exact_y"] = column(r.exactY, owner);
  columns["exact_z"] = column(r.exactZ, owner);
  columns["path_error"] = column(r.pathError, owner);

  py::dict summary;
  summary["scheme"] = r.scheme;
  summary["steps"] = r.steps;
  summary["evaluations"] = r.evaluations;
  summary["stop"] = stopName(r.stop);
  summary["few_steps"] = r.fewSteps();
  summary["landing_x"] = r.landingX;
  summary["landing_z"] = r.landingZ;
  summary["flight_time"] = r.flightTime;
  summary["landing_miss"] = r.landingMiss;
  summary["max_path_error"] = r.maxPathError;
  summary["wall_ms"] = r.wallMs;

  py::dict out;
  out["columns"] = columns;
  out["summary"] = summary;
  out["precision"] = precisionName(r.precision);
  out["target"] = py::make_tuple(r.params.target.x, r.params.target.z);
  return out;
}

py::dict springResult(SpringRun&& run) {
  auto* holder = new SpringHolder{std::move(run), {}};
  py::capsule owner(holder, [](void* p) { delete static_cast<SpringHolder*>(p); });
  SpringRun& r = holder->run;
  holder->step = stepNumbers(r.size());
  const bool single = r.precision == Precision::Single;
  py::dict columns;
  columns["step"] = column(holder->step, owner);
  columns["t"] = column(r.t, owner);
  columns["y"] = single ? column(r.y, owner) : column(r.yWide, owner);
  columns["v"] = single ? column(r.v, owner) : column(r.vWide, owner);
  columns["exact_y"] = column(r.exactY, owner);
  columns["height_error"] = column(r.heightError, owner);
  columns["energy"] = column(r.energy, owner);

  py::dict summary;
  summary["scheme"] = r.scheme;
  summary["steps"] = r.steps;
  summary["evaluations"] = r.evaluations;
  summary["stop"] = stopName(r.stop);
  summary["few_steps"] = r.fewSteps();
  summary["final_height"] = r.finalHeight;
  summary["resting_height"] = r.restingHeight;
  summary["max_height_error"] = r.maxHeightError;
  summary["energy_drift"] = r.energyDrift;
  summary["wall_ms"] = r.wallMs;

  py::dict out;
  out["columns"] = columns;
  out["summary"] = summary;
  out["precision"] = precisionName(r.precision);
  return out;
}

std::vector<PyScheme> toSchemes(const py::iterable& schemes) {
  std::vector<PyScheme> out;
  for (py::handle s : schemes) out.push_back(toScheme(s));
  if (out.empty()) throw py::value_error("schemes must name at least one scheme");
  return out;
}

py::list runFlights(const py::dict& values, const py::iterable& schemes,
                    const std::string& precision) {
  const FlightCase c(flightParams(values));
  const Precision p = precisionArgument(precision);
  py::list out;
  for (const PyScheme& s : toSchemes(schemes)) {
    SlotGuard guard{s.slot};
    FlightRun run = runEngine(
        s.custom(), [&](const CancelFlag* cancel) { return runFlight(c, s.scheme, p, cancel); });
    out.append(flightResult(std::move(run)));
  }
  return out;
}

py::list runSprings(const py::dict& values, const py::iterable& schemes,
                    const std::string& precision, std::optional<double> until) {
  const SpringCase c(springParams(values, until));
  const Precision p = precisionArgument(precision);
  py::list out;
  for (const PyScheme& s : toSchemes(schemes)) {
    SlotGuard guard{s.slot};
    SpringRun run = runEngine(s.custom(), [&](const CancelFlag* cancel) {
      return runSpring(c, s.scheme, p, until, cancel);
    });
    out.append(springResult(std::move(run)));
  }
  return out;
}

// ---------------------------------------------------------------------------
// Convergence studies as columns.

py::dict convergence(const std::string& model, const py::dict& values, const py::iterable& schemes,
                     const std::string& precision, int levels, std::optional<double> at) {
  if (precision != "single" && precision != "double" && precision != "both")
    throw py::value_error("precision must be 'single', 'double' or 'both', not '" + precision +
                          "'");
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
  settings.at = at.value_or(0.0);  // 0: the engine's default time
  settings.withDouble = precision != "single";
  ConvergenceStudy study;
  if (model == "flight") {
    const FlightCase c(flightParams(values));
    raise(prepareConvergence(c, settings));
    study = runEngine(false, [&](const CancelFlag* cancel) {
      return studyConvergence(c, runSchemes, settings, {}, cancel);
    });
  } else if (model == "spring") {
    const SpringCase c(springParams(values));
    raise(prepareConvergence(c, settings));
    study = runEngine(false, [&](const CancelFlag* cancel) {
      return studyConvergence(c, runSchemes, settings, {}, cancel);
    });
  } else {
    throw py::value_error("model must be 'flight' or 'spring', not '" + model + "'");
  }
  py::list scheme, prec, h, steps, evaluations, error, order, floor;
  for (const ConvergenceRow& r : study.rows) {
    if (precision == "double" && r.precision == Precision::Single) continue;
    scheme.append(r.scheme);
    prec.append(precisionName(r.precision));
    h.append(r.h);
    steps.append(r.steps);
    evaluations.append(r.evaluations);
    error.append(r.error);
    order.append(r.order);
    floor.append(r.atFloor);
  }
  py::dict columns;
  columns["scheme"] = scheme;
  columns["precision"] = prec;
  columns["h"] = h;
  columns["steps"] = steps;
  columns["evaluations"] = evaluations;
  columns["error"] = error;
  columns["order"] = order;
  columns["floor"] = floor;
  py::dict out;
  out["columns"] = columns;
  out["at"] = study.at;
  return out;
}

// ---------------------------------------------------------------------------
// Closed forms over arrays of times.

py::tuple exactFlight(Vec t, const py::dict& values) {
  const ExactFlight exact(flightParams(values));
  const py::ssize_t n = t.size();
  Vec x(n), y(n), z(n), vx(n), vy(n), vz(n);
  const double* tt = t.data();
  double* out[] = {x.mutable_data(),  y.mutable_data(),  z.mutable_data(),
                   vx.mutable_data(), vy.mutable_data(), vz.mutable_data()};
  {
    py::gil_scoped_release release;
    for (py::ssize_t k = 0; k < n; ++k) {
      const Vec3d p = exact.position(tt[k]);
      const Vec3d v = exact.velocity(tt[k]);
      out[0][k] = p.x;
      out[1][k] = p.y;
      out[2][k] = p.z;
      out[3][k] = v.x;
      out[4][k] = v.y;
      out[5][k] = v.z;
    }
  }
  return py::make_tuple(x, y, z, vx, vy, vz);
}

std::optional<double> exactLandingTime(const py::dict& values) {
  return ExactFlight(flightParams(values)).landingTime();
}

py::tuple exactSpring(Vec t, const py::dict& values) {
  const ExactSpring exact(springParams(values));
  const py::ssize_t n = t.size();
  Vec y(n), v(n);
  const double* tt = t.data();
  double* yy = y.mutable_data();
  double* vv = v.mutable_data();
  {
    py::gil_scoped_release release;
    for (py::ssize_t k = 0; k < n; ++k) {
      const bool holds = exact.holdsAt(tt[k]);
      yy[k] = holds ? exact.height(tt[k]) : NAN;
      vv[k] = holds ? exact.velocity(tt[k]) : NAN;
    }
  }
  return py::make_tuple(y, v);
}

py::dict springClosedForm(const py::dict& values) {
  const ExactSpring exact(springParams(values));
  const char* regimes[] = {"under-damped", "critically damped", "over-damped", "none"};
  py::dict out;
  out["regime"] = regimes[exact.regime()];
  out["resting_height"] = exact.restingHeight();
  out["valid_until"] = exact.validUntil();
  return out;
}

// ---------------------------------------------------------------------------

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

}  // namespace

PYBIND11_MODULE(_pbsim, m) {
  m.doc() = "The pbsim engine; use the package pbsim, which builds on it.";
  m.attr("__version__") = PBSIM_VERSION;

  m.attr("MAX_FLIGHT_STEPS") = kMaxFlightSteps;
  m.attr("MAX_SPRING_SAMPLES") = kMaxSpringSamples;
  m.attr("SETTLE_THRESHOLD") = static_cast<double>(kSettleThreshold);
  m.attr("REST_SPEED") = static_cast<double>(kRestSpeed);
  m.attr("FEW_STEPS") = kFewSteps;

  py::list schemes;
  for (const SchemeInfo& s : kSchemes)
    schemes.append(py::make_tuple(std::string(s.name), std::string(s.title), s.order, s.evaluations,
                                  py::make_tuple(s.colour.r, s.colour.g, s.colour.b),
                                  std::string(s.marker)));
  m.attr("SCHEMES") = schemes;

  m.def(
      "flight_defaults", [] { return defaults(kFlightFields); },
      "The ballistics panel's start-up values, by parameter name.");
  m.def(
      "spring_defaults", [] { return defaults(kSpringFields); },
      "The spring-mass panel's start-up values, by parameter name.");
  m.def(
      "convergence_defaults",
      [] {
        const ConvergenceSettings settings;
        py::dict d;
        d["levels"] = settings.levels;
        return d;
      },
      "The convergence study's default settings (levels), by keyword.");

  py::class_<ButcherTableau, std::shared_ptr<ButcherTableau>>(
      m, "ButcherTableau",
      "An explicit Runge-Kutta method by its Butcher tableau:\n"
      "k_i = f(t + c_i h, x + h sum_{j<i} a_ij k_j), x+ = x + h sum_i b_i k_i.\n"
      "The engine runs it in single precision (pbsim's rules: every stage formed in double and "
      "narrowed once) and in double precision.")
      .def(py::init(&makeTableau), py::arg("a"), py::arg("b"), py::arg("c"),
           py::arg("name") = "tableau",
           "a: s rows (row i needs at least i entries; entries on and above the diagonal must be "
           "0), b: s weights, c: s nodes.")
      .def_property_readonly("a", [](const ButcherTableau& t) { return t.a; })
      .def_property_readonly("b", [](const ButcherTableau& t) { return t.b; })
      .def_property_readonly("c", [](const ButcherTableau& t) { return t.c; })
      .def_property_readonly("name", [](const ButcherTableau& t) { return t.name; })
      .def_property_readonly("stages", [](const ButcherTableau& t) { return t.stages(); })
      .def("__repr__", [](const ButcherTableau& t) {
        return "ButcherTableau(name='" + t.name + "', stages=" + std::to_string(t.stages()) + ")";
      });

  m.def("run_flights", &runFlights, py::arg("values"), py::arg("schemes"), py::arg("precision"),
        "One flight per scheme: a list of dicts with 'columns', 'summary', 'precision' "
        "and 'target'.");
  m.def("run_springs", &runSprings, py::arg("values"), py::arg("schemes"), py::arg("precision"),
        py::arg("until") = py::none(), "One spring run per scheme, as run_flights.");
  m.def("convergence", &convergence, py::arg("model"), py::arg("values"), py::arg("schemes"),
        py::arg("precision"), py::arg("levels"), py::arg("at"),
        "A convergence study as columns, with the time T it was taken at.");
  m.def("exact_flight", &exactFlight, py::arg("t"), py::arg("values"),
        "The closed-form flight at times t: x, y, z, vx, vy, vz.");
  m.def("exact_landing_time", &exactLandingTime, py::arg("values"),
        "The closed-form flight's landing time, or None when it never comes down.");
  m.def("exact_spring", &exactSpring, py::arg("t"), py::arg("values"),
        "The closed-form spring at times t: y, v (NaN where the closed form does not hold).");
  m.def("spring_closed_form", &springClosedForm, py::arg("values"),
        "The closed form's regime, resting height and the time until which it holds.");
}
