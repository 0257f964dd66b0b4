// The engine as the browser page sees it (embind). Every function takes a
// plain JavaScript object with the Python module's argument names (azimuth,
// elevation, mass, powder, power, gravity, friction, dt, scheme, precision;
// mass, ks, kd, rest, gravity, dt, scheme, precision, until) and answers
// with objects named as the engine's columns and summaries: Float32Array for
// the model's float values, Float64Array for times and double values.
// Values are checked by the engine's validation; the units are converted by
// the setup headers, never here.

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <cmath>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ballisticssetup.h"
#include "convergence.h"
#include "report.h"
#include "runs.h"
#include "springmasssetup.h"
#include "studies.h"
#include "validation.h"

using emscripten::val;

namespace {

// A copy of `values` as a new JavaScript typed array (Float32Array for
// float, Float64Array for double, Int32Array for int).
template <class T>
val typedArray(const std::vector<T>& values) {
  const char* type = std::is_same_v<T, float>    ? "Float32Array"
                     : std::is_same_v<T, double> ? "Float64Array"
                                                 : "Int32Array";
  val array = val::global(type).new_(values.size());
  if (!values.empty())
    array.call<void>("set", val(emscripten::typed_memory_view(values.size(), values.data())));
  return array;
}

val problemObject(const Problem& p) {
  val o = val::object();
  o.set("parameter", p.parameter);
  o.set("message", p.message);
  o.set("text", p.text());
  return o;
}

// Answers {problem: {...}} for values that cannot run.
val refusal(const Problem& p) {
  val o = val::object();
  o.set("problem", problemObject(p));
  return o;
}

// What a page or script handed over: the named numbers and strings, checked
// against the names the model takes.
class Arguments {
 public:
  explicit Arguments(const val& object) : object_(object) {}

  // The number under `name`, or `fallback` when it is missing; anything else
  // than a number is a problem.
  double number(const char* name, double fallback) {
    if (!has(name)) return fallback;
    const val v = object_[name];
    if (!v.isNumber()) {
      fail(name, "must be a number");
      return fallback;
    }
    return v.as<double>();
  }

  std::string text(const char* name, const std::string& fallback) {
    if (!has(name)) return fallback;
    const val v = object_[name];
    if (!v.isString()) {
      fail(name, "must be a string");
      return fallback;
    }
    return v.as<std::string>();
  }

  bool has(const char* name) const {
    return isObject() && object_.hasOwnProperty(name) && !object_[name].isUndefined() &&
           !object_[name].isNull();
  }

  // A name that the model does not take.
  void refuseOthers(const std::vector<std::string>& known) {
    if (!isObject()) return;
    const val keys = val::global("Object").call<val>("keys", object_);
    const int n = keys["length"].as<int>();
    for (int i = 0; i < n; ++i) {
      const std::string key = keys[i].as<std::string>();
      bool found = false;
      for (const std::string& k : known) found = found || k == key;
      if (!found) fail(key, "is not an argument here (" + join(known) + ")");
    }
  }

  void fail(const std::string& name, const std::string& message) {
    if (!problem) problem = Problem{name, message};
  }

  std::optional<Problem> problem;

 private:
  bool isObject() const {
    return !object_.isNull() && object_.typeOf().as<std::string>() == "object";
  }
  static std::string join(const std::vector<std::string>& names) {
    std::string s;
    for (const std::string& n : names) s += (s.empty() ? "" : ", ") + n;
    return s;
  }
  val object_;
};

const SchemeInfo* schemeArgument(Arguments& a) {
  const std::string name = a.text("scheme", "rk4");
  const SchemeInfo* s = schemeNamed(name);
  if (!s) a.fail("scheme", "must be one of " + schemeNames() + ", not '" + name + "'");
  return s;
}

Precision precisionArgument(Arguments& a) {
  const std::string name = a.text("precision", "single");
  const std::optional<Precision> p = precisionNamed(name);
  if (!p) a.fail("precision", "must be single or double, not '" + name + "'");
  return p.value_or(Precision::Single);
}

// The schemes of a study, in kSchemes order: names in `list` (an array).
std::vector<const SchemeInfo*> schemeList(const val& list, Arguments& a) {
  std::vector<std::string> names;
  if (list.isArray()) {
    const int n = list["length"].as<int>();
    for (int i = 0; i < n; ++i)
      names.push_back(list[i].isString() ? list[i].as<std::string>() : std::string("?"));
  } else {
    a.fail("schemes", "must be a list of scheme names");
  }
  std::vector<const SchemeInfo*> chosen;
  for (const std::string& n : names)
    if (!schemeNamed(n)) a.fail("schemes", "must name schemes among " + schemeNames());
  for (const SchemeInfo& s : kSchemes)
    for (const std::string& n : names)
      if (n == s.name) {
        chosen.push_back(&s);
        break;
      }
  return chosen;
}

const std::vector<std::string> kFlightNames = {"azimuth",  "elevation", "mass",     "powder",
                                               "power",    "gravity",   "friction", "target_x",
                                               "target_z", "dt",        "scheme",   "precision"};
const std::vector<std::string> kSpringNames = {"mass", "ks",     "kd",        "rest", "gravity",
                                               "dt",   "scheme", "precision", "until"};

BallisticsPanelValues flightValues(Arguments& a) {
  const BallisticsPanelValues d;
  BallisticsPanelValues v;
  v.azimuth = a.number("azimuth", d.azimuth);
  v.elevation = a.number("elevation", d.elevation);
  v.projectileMass = a.number("mass", d.projectileMass);
  v.powderAmount = a.number("powder", d.powderAmount);
  v.powderPower = a.number("power", d.powderPower);
  v.gravity = a.number("gravity", d.gravity);
  v.airFriction = a.number("friction", d.airFriction);
  v.targetX = a.number("target_x", d.targetX);
  v.targetZ = a.number("target_z", d.targetZ);
  v.timeStep = a.number("dt", d.timeStep);
  if (!a.problem)
    if (auto p = flightProblem(v)) a.problem = p;
  // The target is drawn, never flown: it only has to be a number the panel takes.
  if (!a.problem)
    if (auto p = valueProblem("target_x", v.targetX)) a.problem = p;
  if (!a.problem)
    if (auto p = valueProblem("target_z", v.targetZ)) a.problem = p;
  return v;
}

SpringPanelValues springValues(Arguments& a, std::optional<double>& until) {
  const SpringPanelValues d;
  SpringPanelValues v;
  v.mass = a.number("mass", d.mass);
  v.ks = a.number("ks", d.ks);
  v.kd = a.number("kd", d.kd);
  v.rest = a.number("rest", d.rest);
  v.gravity = a.number("gravity", d.gravity);
  v.timeStep = a.number("dt", d.timeStep);
  if (a.has("until")) until = a.number("until", 0.0);
  if (!a.problem)
    if (auto p = springProblem(v, until)) a.problem = p;
  return v;
}

template <class T>
void setPoints(val& o, const FlightPoints<T>& p) {
  o.set("x", typedArray(p.x));
  o.set("y", typedArray(p.y));
  o.set("z", typedArray(p.z));
  o.set("vx", typedArray(p.vx));
  o.set("vy", typedArray(p.vy));
  o.set("vz", typedArray(p.vz));
}

std::vector<int> steps(std::size_t n) {
  std::vector<int> s(n);
  for (std::size_t k = 0; k < n; ++k) s[k] = static_cast<int>(k);
  return s;
}

val flightRunObject(const FlightRun& r) {
  val o = val::object();
  o.set("scheme", r.scheme);
  o.set("precision", std::string(precisionName(r.precision)));
  o.set("step", typedArray(steps(r.size())));
  o.set("t", typedArray(r.t));
  if (r.precision == Precision::Single)
    setPoints(o, r.single);
  else
    setPoints(o, r.wide);
  o.set("exact_x", typedArray(r.exactX));
  o.set("exact_y", typedArray(r.exactY));
  o.set("exact_z", typedArray(r.exactZ));
  o.set("path_error", typedArray(r.pathError));
  o.set("steps", static_cast<double>(r.steps));
  o.set("evaluations", static_cast<double>(r.evaluations));
  o.set("stop", std::string(stopName(r.stop)));
  o.set("landing_x", r.landingX);
  o.set("landing_z", r.landingZ);
  o.set("flight_time", r.flightTime);
  o.set("landing_miss", r.landingMiss);
  o.set("max_path_error", r.maxPathError);
  o.set("wall_ms", r.wallMs);
  o.set("few_steps", r.fewSteps());
  return o;
}

val springRunObject(const SpringRun& r) {
  val o = val::object();
  o.set("scheme", r.scheme);
  o.set("precision", std::string(precisionName(r.precision)));
  o.set("step", typedArray(steps(r.size())));
  o.set("t", typedArray(r.t));
  if (r.precision == Precision::Single) {
    o.set("y", typedArray(r.y));
    o.set("v", typedArray(r.v));
  } else {
    o.set("y", typedArray(r.yWide));
    o.set("v", typedArray(r.vWide));
  }
  o.set("exact_y", typedArray(r.exactY));
  o.set("height_error", typedArray(r.heightError));
  o.set("energy", typedArray(r.energy));
  o.set("steps", static_cast<double>(r.steps));
  o.set("evaluations", static_cast<double>(r.evaluations));
  o.set("stop", std::string(stopName(r.stop)));
  o.set("final_height", r.finalHeight);
  o.set("resting_height", r.restingHeight);
  o.set("max_height_error", r.maxHeightError);
  o.set("energy_drift", r.energyDrift);
  o.set("wall_ms", r.wallMs);
  o.set("few_steps", r.fewSteps());
  return o;
}

// ---- what the page and its scripts call ----

val schemes() {
  val list = val::array();
  for (const SchemeInfo& s : kSchemes) {
    val o = val::object();
    o.set("value", s.scheme);
    o.set("name", std::string(s.name));
    o.set("title", std::string(s.title));
    o.set("order", s.order);
    o.set("evaluations", s.evaluations);
    val colour = val::array();
    colour.call<void>("push", s.colour.r, s.colour.g, s.colour.b);
    o.set("colour", colour);
    o.set("marker", std::string(s.marker));
    list.call<void>("push", o);
  }
  return list;
}

// The panels' start-up values, under the names the page and the Python
// module use.
val flightStartUp() {
  const BallisticsPanelValues v;
  val o = val::object();
  o.set("azimuth", v.azimuth);
  o.set("elevation", v.elevation);
  o.set("mass", v.projectileMass);
  o.set("powder", v.powderAmount);
  o.set("power", v.powderPower);
  o.set("gravity", v.gravity);
  o.set("friction", v.airFriction);
  o.set("target_x", v.targetX);
  o.set("target_z", v.targetZ);
  o.set("dt", v.timeStep);
  return o;
}

val springStartUp() {
  const SpringPanelValues v;
  val o = val::object();
  o.set("mass", v.mass);
  o.set("ks", v.ks);
  o.set("kd", v.kd);
  o.set("rest", v.rest);
  o.set("gravity", v.gravity);
  o.set("dt", v.timeStep);
  return o;
}

// Every problem of the values, one per parameter, for the page to show
// beside each field: {name: message}.
val flightProblems(const val& values) {
  val out = val::object();
  for (const std::string& name : kFlightNames) {
    if (name == "scheme" || name == "precision") continue;
    val one = val::object();
    one.set(name, values[name]);
    Arguments a(one);
    flightValues(a);
    if (a.problem) out.set(name, a.problem->message);
  }
  return out;
}

val springProblems(const val& values) {
  val out = val::object();
  for (const std::string& name : kSpringNames) {
    if (name == "scheme" || name == "precision") continue;
    if (name == "until" && !Arguments(values).has("until")) continue;
    val one = val::object();
    one.set(name, values[name]);
    Arguments a(one);
    std::optional<double> until;
    springValues(a, until);
    if (a.problem) out.set(name, a.problem->message);
  }
  return out;
}

val flight(const val& args) {
  Arguments a(args);
  a.refuseOthers(kFlightNames);
  const BallisticsPanelValues v = flightValues(a);
  const SchemeInfo* scheme = schemeArgument(a);
  const Precision precision = precisionArgument(a);
  if (a.problem) return refusal(*a.problem);
  const BallisticsParams p = ballisticsParamsFromPanel(v);
  const FlightCase c(p);
  val o = flightRunObject(runFlight(c, scheme, precision));
  val target = val::array();
  target.call<void>("push", p.target.x, p.target.y, p.target.z);
  o.set("target", target);
  return o;
}

val spring(const val& args) {
  Arguments a(args);
  a.refuseOthers(kSpringNames);
  std::optional<double> until;
  const SpringPanelValues v = springValues(a, until);
  const SchemeInfo* scheme = schemeArgument(a);
  const Precision precision = precisionArgument(a);
  if (a.problem) return refusal(*a.problem);
  const SpringCase c(springParamsFromPanel(v));
  val o = springRunObject(runSpring(c, scheme, precision, until));
  o.set("start_height", startHeight(c.params));
  return o;
}

// The exact flight at `samples` + 1 evenly spaced times from launch to its
// landing (or to `until` when it never lands), and its landing.
val exactFlight(const val& args, int samples, double until) {
  Arguments a(args);
  const BallisticsPanelValues v = flightValues(a);
  if (a.problem) return refusal(*a.problem);
  const FlightCase c(ballisticsParamsFromPanel(v));
  const std::optional<double> landing = c.exact.landingTime();
  const double end = landing ? *landing : until;
  samples = std::max(samples, 1);
  std::vector<double> t(samples + 1), x(samples + 1), y(samples + 1), z(samples + 1);
  for (int i = 0; i <= samples; ++i) {
    t[i] = end * i / samples;
    const Vec3d e = c.exact.position(t[i]);
    x[i] = e.x;
    y[i] = e.y;
    z[i] = e.z;
  }
  val o = val::object();
  o.set("t", typedArray(t));
  o.set("x", typedArray(x));
  o.set("y", typedArray(y));
  o.set("z", typedArray(z));
  o.set("landing_time", landing ? val(*landing) : val::null());
  return o;
}

// The exact motion of the spring from 0 to `until` while the closed form
// holds: heights and energies.
val exactSpring(const val& args, int samples, double until) {
  Arguments a(args);
  std::optional<double> ignored;
  const SpringPanelValues v = springValues(a, ignored);
  if (a.problem) return refusal(*a.problem);
  const SpringCase c(springParamsFromPanel(v));
  const ExactSpring& e = c.exact;
  std::vector<double> t, y, energy;
  samples = std::max(samples, 1);
  if (e.regime() != ExactSpring::NoClosedForm) {
    for (int i = 0; i <= samples; ++i) {
      const double ti = until * i / samples;
      if (!e.holdsAt(ti)) break;
      t.push_back(ti);
      y.push_back(e.height(ti));
      energy.push_back(e.energy(y.back(), e.velocity(ti)));
    }
  }
  val o = val::object();
  o.set("t", typedArray(t));
  o.set("y", typedArray(y));
  o.set("energy", typedArray(energy));
  o.set("closed_form", e.regime() != ExactSpring::NoClosedForm);
  o.set("valid_until", e.validUntil());
  o.set("resting_height", e.restingHeight());
  return o;
}

// A convergence study as pbsim-study makes it: model "flight" or "spring",
// the values, the schemes' names, the levels, with or without the double
// rows; progress(text) is told each level.
val convergence(const std::string& model, const val& args, const val& schemeNamesList, int levels,
                bool withDouble, const val& progress) {
  Arguments a(args);
  ConvergenceSettings settings;
  settings.levels = levels;
  settings.withDouble = withDouble;
  const std::vector<const SchemeInfo*> chosen = schemeList(schemeNamesList, a);
  std::optional<double> until;
  const BallisticsPanelValues fv = model == "flight" ? flightValues(a) : BallisticsPanelValues();
  const SpringPanelValues sv = model == "flight" ? SpringPanelValues() : springValues(a, until);
  if (a.problem) return refusal(*a.problem);
  const std::vector<RunScheme> runSchemes(chosen.begin(), chosen.end());
  const Progress tell = [&progress](const std::string& s) {
    if (progress.typeOf().as<std::string>() == "function") progress(s);
  };
  ConvergenceStudy study;
  if (model == "flight") {
    const FlightCase c(ballisticsParamsFromPanel(fv));
    if (auto p = prepareConvergence(c, settings)) return refusal(*p);
    study = studyConvergence(c, runSchemes, settings, tell);
  } else {
    const SpringCase c(springParamsFromPanel(sv));
    if (auto p = prepareConvergence(c, settings)) return refusal(*p);
    study = studyConvergence(c, runSchemes, settings, tell);
  }
  val rows = val::array();
  for (const ConvergenceRow& r : study.rows) {
    val o = val::object();
    o.set("scheme", r.scheme);
    o.set("precision", std::string(precisionName(r.precision)));
    o.set("h", r.h);
    o.set("steps", static_cast<double>(r.steps));
    o.set("evaluations", static_cast<double>(r.evaluations));
    o.set("error", r.error);
    o.set("order", r.order);
    o.set("floor", r.atFloor);
    rows.call<void>("push", o);
  }
  val o = val::object();
  o.set("at", study.at);
  o.set("rows", rows);
  std::ostringstream csv;
  writeCsv(csv, study);
  o.set("csv", csv.str());
  return o;
}

// The CSV pbsim-study writes for these values and schemes.
val flightCsv(const val& args, const val& schemeNamesList) {
  Arguments a(args);
  const std::vector<const SchemeInfo*> chosen = schemeList(schemeNamesList, a);
  const BallisticsPanelValues v = flightValues(a);
  if (a.problem) return refusal(*a.problem);
  std::ostringstream out;
  writeCsv(out, runStudy(FlightCase(ballisticsParamsFromPanel(v)),
                         std::vector<RunScheme>(chosen.begin(), chosen.end())));
  return val(out.str());
}

val springCsv(const val& args, const val& schemeNamesList) {
  Arguments a(args);
  const std::vector<const SchemeInfo*> chosen = schemeList(schemeNamesList, a);
  std::optional<double> until;
  const SpringPanelValues v = springValues(a, until);
  if (a.problem) return refusal(*a.problem);
  std::ostringstream out;
  writeCsv(out, runStudy(SpringCase(springParamsFromPanel(v)),
                         std::vector<RunScheme>(chosen.begin(), chosen.end()), until));
  return val(out.str());
}

// A number as pbsim-study prints it: "%.6g", "%.3e", "%.3f" or "%.2f";
// NaN prints as nothing.
std::string formatNumber(double v, const std::string& format) {
  if (std::isnan(v)) return "";
  if (format != "%.6g" && format != "%.3e" && format != "%.3f" && format != "%.2f" &&
      format != "%.9g")
    return "";
  char buf[64];
  std::snprintf(buf, sizeof buf, format.c_str(), v);
  return buf;
}

int fewStepsLimit() { return kFewSteps; }

}  // namespace

EMSCRIPTEN_BINDINGS(pbsim_engine) {
  emscripten::function("schemes", &schemes);
  emscripten::function("flightStartUp", &flightStartUp);
  emscripten::function("springStartUp", &springStartUp);
  emscripten::function("flightProblems", &flightProblems);
  emscripten::function("springProblems", &springProblems);
  emscripten::function("flight", &flight);
  emscripten::function("spring", &spring);
  emscripten::function("exactFlight", &exactFlight);
  emscripten::function("exactSpring", &exactSpring);
  emscripten::function("convergence", &convergence);
  emscripten::function("flightCsv", &flightCsv);
  emscripten::function("springCsv", &springCsv);
  emscripten::function("formatNumber", &formatNumber);
  emscripten::function("fewStepsLimit", &fewStepsLimit);
}
