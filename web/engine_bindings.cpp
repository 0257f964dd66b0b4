// The engine as the browser page sees it (embind). Every run takes a plain
// JavaScript object named as the engine's parameter table names the values
// (the Python module's keywords), with `scheme`, `precision` and, for the
// spring, `until`; it answers with an object named as the engine's column
// and summary descriptors: Float32Array for float32 columns, Float64Array
// for doubles, the summary's numbers and words, and `readable`, each summary
// field as pbsim-study's tables show it. The tables themselves are exported
// too (parameters, columns, summary), so that the page builds its fields and
// tables from them. Everything here translates between JavaScript and the
// engine: checks, formats and wording are the engine's. A flight takes
// `drag` too (the engine's words for its laws); where the law has no closed
// form, its columns, exact row and notes are named by what the errors are
// measured against (the case's judge: exact_x becomes reference_x).
// Every run takes the step control's `rtol` and `atol` (used by the adaptive
// schemes) and a flight its `landing` rule; without `precision` a scheme
// runs in its default precision (double where it has no single-precision
// arithmetic).
// Wherever a scheme is named (a run's `scheme`, a study's list), a user's
// own may stand instead, as an object {name, a, b, c} (an explicit tableau)
// or {name, a, b, c, bHat} (an embedded pair, adaptive): the engine checks
// it in its words (ButcherTableau::problem, EmbeddedPair::problem), and
// ownScheme() tells its algebraic order. stability() measures the spring's
// stability limits (stability.h) by the stability fields.

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "columns.h"
#include "orderconditions.h"
#include "parameters.h"
#include "stability.h"
#include "studies.h"
#include "tables.h"
#include "validation.h"

using emscripten::val;

namespace {

// ---- the two models, as far as a binding tells them apart ----

struct Flight {
  using Values = BallisticsPanelValues;
  using Case = FlightCase;
  using Run = FlightRun;
  using Study = FlightStudy;
  static constexpr const char* kName = "flight";
  static constexpr const auto& kColumns = kFlightColumns;
  static constexpr const auto& kSummary = kFlightSummary;
  static constexpr bool kTakesUntil = false;
  static constexpr bool kTakesDrag = true;
  static constexpr bool kTakesLanding = true;
  static Case makeCase(const Values& v) { return FlightCase(ballisticsParamsFromPanel(v)); }
  static std::string judge(const Case& c) { return c.judge(); }
  // What the errors are measured against and how far that itself may be off.
  static void judged(val& o, const Case& c) {
    o.set("judge", std::string(c.judge()));
    o.set("judge_error", c.judgeError());
  }
  static std::optional<Problem> problem(const Values& v, std::optional<double>) {
    return flightProblem(v);
  }
  static Run run(const Case& c, const RunScheme& s, Precision p, std::optional<double>) {
    return runFlight(c, s, p);
  }
  static Study study(const Case& c, const std::vector<RunScheme>& s, std::optional<double>,
                     const Progress& progress) {
    return runStudy(c, s, progress);
  }
  // What the page draws beside the run: the target, in the model's axes.
  static void extras(val& o, const Case& c) {
    val target = val::array();
    target.call<void>("push", c.params.target.x, c.params.target.y, c.params.target.z);
    o.set("target", target);
  }
};

struct Spring {
  using Values = SpringPanelValues;
  using Case = SpringCase;
  using Run = SpringRun;
  using Study = SpringStudy;
  static constexpr const char* kName = "spring";
  static constexpr const auto& kColumns = kSpringColumns;
  static constexpr const auto& kSummary = kSpringSummary;
  static constexpr bool kTakesUntil = true;
  static constexpr bool kTakesDrag = false;
  static constexpr bool kTakesLanding = false;
  static Case makeCase(const Values& v) { return SpringCase(springParamsFromPanel(v)); }
  static std::string judge(const Case&) { return "exact"; }
  static void judged(val&, const Case&) {}
  static std::optional<Problem> problem(const Values& v, std::optional<double> until) {
    return springProblem(v, until);
  }
  static Run run(const Case& c, const RunScheme& s, Precision p, std::optional<double> until) {
    return runSpring(c, s, p, until);
  }
  static Study study(const Case& c, const std::vector<RunScheme>& s, std::optional<double> until,
                     const Progress& progress) {
    return runStudy(c, s, until, progress);
  }
  static void extras(val& o, const Case& c) { o.set("start_height", startHeight(c.params)); }
};

// ---- JavaScript values ----

template <class T>
val typedArray(const T* data, std::size_t n) {
  val array = val::global(std::is_same_v<T, float>    ? "Float32Array"
                          : std::is_same_v<T, double> ? "Float64Array"
                                                      : "Int32Array")
                  .new_(n);
  if (n) array.call<void>("set", val(emscripten::typed_memory_view(n, data)));
  return array;
}

template <class T>
val typedArray(const std::vector<T>& v) {
  return typedArray(v.data(), v.size());
}

val problemObject(const Problem& p) {
  val o = val::object();
  o.set("parameter", p.parameter);
  o.set("message", p.message);
  o.set("text", p.text());
  return o;
}

// {problem: {parameter, message, text}} for values that cannot run.
val refusal(const Problem& p) {
  val o = val::object();
  o.set("problem", problemObject(p));
  return o;
}

bool isObject(const val& v) { return !v.isNull() && v.typeOf().as<std::string>() == "object"; }

std::vector<std::string> keysOf(const val& object) {
  std::vector<std::string> keys;
  if (!isObject(object)) return keys;
  const val list = val::global("Object").call<val>("keys", object);
  const int n = list["length"].as<int>();
  for (int i = 0; i < n; ++i) keys.push_back(list[i].as<std::string>());
  return keys;
}

bool given(const val& object, const std::string& name) {
  return isObject(object) && object.hasOwnProperty(name.c_str()) && !object[name].isUndefined() &&
         !object[name].isNull();
}

// ---- arguments ----

// The engine's words about a scheme's settings as a problem of no one
// argument ("dopri5 runs in double precision only").
Problem enginesWords(const std::string& words) { return {"", words}; }

// The engine's words of a choice as a JavaScript array.
val wordList(const std::vector<std::string>& words) {
  val list = val::array();
  for (const std::string& w : words) list.call<void>("push", w);
  return list;
}

// ---- a scheme of the user's own ----

// The numbers of a JavaScript array, or nothing when `v` is not an array of
// numbers.
std::optional<std::vector<double>> numbersOf(const val& v) {
  if (!v.isArray()) return std::nullopt;
  std::vector<double> out;
  const int n = v["length"].as<int>();
  for (int i = 0; i < n; ++i) {
    if (!v[i].isNumber()) return std::nullopt;
    out.push_back(v[i].as<double>());
  }
  return out;
}

// A user's explicit Runge-Kutta scheme from {name, a, b, c} (a: the rows of
// A, each at least as long as its row number; b: the weights; c: the
// nodes), an embedded pair when the object holds `bHat` too (the second
// weight row, of the error estimate): the scheme, or the problem with it,
// in the engine's words (ButcherTableau::problem, EmbeddedPair::problem).
// Its name may not be a built-in scheme's.
std::optional<RunScheme> ownScheme(const val& o, std::optional<Problem>& problem,
                                   const std::string& parameter) {
  auto fail = [&](const std::string& message) {
    if (!problem) problem = Problem{parameter, message};
    return std::nullopt;
  };
  ButcherTableau t;
  if (!o["name"].isString() || o["name"].as<std::string>().empty())
    return fail("needs a name (a word of its own)");
  t.name = o["name"].as<std::string>();
  if (schemeNamed(t.name)) return fail("'" + t.name + "' is a built-in scheme's name");
  // The name stands in CSV cells, the page's address and element ids.
  const bool word =
      t.name.size() <= 40 && std::all_of(t.name.begin(), t.name.end(), [](unsigned char ch) {
        return std::isalnum(ch) || ch == '-' || ch == '_' || ch == '.';
      });
  if (!word)
    return fail("name '" + t.name +
                "' must be a word of at most 40 letters, digits, '-', '_' or '.'");
  if (!o["a"].isArray()) return fail("a must be a list of rows of numbers");
  const int rows = o["a"]["length"].as<int>();
  for (int i = 0; i < rows; ++i) {
    auto row = numbersOf(o["a"][i]);
    if (!row) return fail("a must be a list of rows of numbers");
    t.a.push_back(*row);
  }
  const auto b = numbersOf(o["b"]);
  const auto c = numbersOf(o["c"]);
  if (!b) return fail("b must be a list of numbers");
  if (!c) return fail("c must be a list of numbers");
  t.b = *b;
  t.c = *c;
  RunScheme s;
  if (given(o, "bHat")) {
    const auto bHat = numbersOf(o["bHat"]);
    if (!bHat) return fail("bHat must be a list of numbers");
    auto pair = userPair(t, *bHat);
    if (const std::string p = pair->problem(); !p.empty()) return fail(p);
    s.embedded = pair;
  } else {
    if (const std::string p = t.problem(); !p.empty()) return fail(p);
    s.tableau = std::make_shared<const ButcherTableau>(t);
  }
  return s;
}

// A scheme given by name (a built-in one) or as an object (ownScheme).
std::optional<RunScheme> schemeOf(const val& v, std::optional<Problem>& problem,
                                  const std::string& parameter) {
  if (isObject(v) && !v.isArray()) return ownScheme(v, problem, parameter);
  const std::string name = v.isString() ? v.as<std::string>() : std::string("?");
  if (const SchemeInfo* s = schemeArgument(name, problem, parameter)) return RunScheme(s);
  return std::nullopt;
}

// The arguments of one run or study of model M: the parameter table's
// values, the scheme, the precision, the step control's tolerances, the
// flight's landing rule and (the spring) the time to run until.
template <class M>
struct Arguments {
  typename M::Values values;
  std::optional<double> until;
  RunScheme scheme = RunScheme(&kSchemes[RK4]);  // a built-in's name or a user's own (ownScheme)
  std::optional<std::string> precision;          // the scheme's default precision when not given
  std::optional<std::string> drag;               // the flight's drag law by name, when given
  RunScheme options;                       // the tolerances and landing every scheme runs with
  std::optional<Problem> problem;          // the first problem, in the order found
  std::vector<Problem> parameterProblems;  // every parameter's, for a form

  void fail(const std::string& name, const std::string& message) {
    if (!problem) problem = Problem{name, message};
    parameterProblems.push_back({name, message});
  }
  // `s` with the tolerances and landing asked for.
  RunScheme with(RunScheme s) const {
    s.tolerances = options.tolerances;
    s.landing = options.landing;
    return s;
  }
};

template <class M>
std::string argumentNames() {
  std::string names = parameterNames<typename M::Values>() + ", scheme, precision, rtol, atol";
  if (M::kTakesDrag) names += ", drag";
  if (M::kTakesLanding) names += ", landing";
  if (M::kTakesUntil) names += ", until";
  return names;
}

template <class M>
Arguments<M> argumentsOf(const val& object) {
  Arguments<M> a;
  auto number = [&](const std::string& key, double& to) {
    const val v = object[key];
    if (v.isNumber()) {
      to = v.as<double>();
      return true;
    }
    a.fail(key, "must be a number");
    return false;
  };
  auto text = [&](const std::string& key, std::string& to) {
    const val v = object[key];
    if (v.isString()) {
      to = v.as<std::string>();
      return true;
    }
    a.fail(key, "must be a string");
    return false;
  };
  std::optional<double> rtol, atol;
  for (const std::string& key : keysOf(object)) {
    if (!given(object, key)) continue;
    std::string word;
    if (findParameter<typename M::Values>(key)) {
      double x = 0.0;
      if (number(key, x)) setParameter(a.values, key, x);
    } else if (key == "scheme") {
      std::optional<Problem> p;
      if (auto scheme = schemeOf(object[key], p, key)) a.scheme = *scheme;
      if (p) a.fail(p->parameter, p->message);
    } else if (key == "precision") {
      if (text(key, word)) a.precision = word;
    } else if (key == "rtol" || key == "atol") {
      double x = 0.0;
      if (number(key, x)) (key == "rtol" ? rtol : atol) = x;
    } else if (key == "until" && M::kTakesUntil) {
      a.until.emplace();
      number(key, *a.until);
    } else if (key == "drag" && M::kTakesDrag) {
      if (text(key, word)) a.drag = word;
    } else if (key == "landing" && M::kTakesLanding) {
      if (text(key, word)) {
        if (const auto p = wordProblem(key, landingWords(), word))
          a.fail(p->parameter, p->message);
        else
          a.options.landing = *landingNamed(word);
      }
    } else {
      a.fail(key, "is not an argument here (" + argumentNames<M>() + ")");
    }
  }
  if constexpr (M::kTakesDrag) {
    if (a.drag) {
      std::optional<Problem> p;
      const DragLaw law = dragLawArgument(*a.drag, p);
      if (p)
        a.fail(p->parameter, p->message);
      else
        a.values.drag = law;
    }
  }
  // Each tolerance given, checked on its own as the step control checks it.
  for (auto [value, member] : {std::pair{rtol, &Tolerances::rtol}, {atol, &Tolerances::atol}}) {
    if (!value) continue;
    Tolerances alone;
    alone.*member = *value;
    a.options.tolerances.*member = *value;
    if (const auto p = toleranceProblem(alone)) a.fail(p->parameter, p->message);
  }
  // The values' own problems: the first for a run, every one for a form.
  std::vector<std::string> refused;
  for (const Problem& p : a.parameterProblems) refused.push_back(p.parameter);
  for (const Problem& p : parameterProblems(a.values))
    if (std::find(refused.begin(), refused.end(), p.parameter) == refused.end())
      a.parameterProblems.push_back(p);
  if (!a.problem) a.problem = M::problem(a.values, a.until);
  return a;
}

// The schemes of a study named in `list` (an array): the built-in ones
// named, in the scheme table's order, then the user's own (objects, as
// ownScheme reads them) in the list's order, each with the tolerances and
// landing of `options`.
std::vector<RunScheme> schemeList(const val& list, std::optional<Problem>& problem,
                                  const RunScheme& options) {
  std::vector<RunScheme> given, chosen;
  if (list.isArray()) {
    const int n = list["length"].as<int>();
    for (int i = 0; i < n; ++i)
      if (auto s = schemeOf(list[i], problem, "schemes")) given.push_back(*s);
  } else if (!problem) {
    problem = Problem{"schemes", "must be a list of scheme names"};
  }
  for (const SchemeInfo& s : kSchemes)
    if (std::any_of(given.begin(), given.end(),
                    [&](const RunScheme& r) { return r.builtin == &s; }))
      chosen.push_back(&s);
  for (const RunScheme& r : given)
    if (!r.builtin) chosen.push_back(r);
  for (RunScheme& r : chosen) {
    r.tolerances = options.tolerances;
    r.landing = options.landing;
  }
  return chosen;
}

// ---- results ----

template <class Run, class Field>
val summaryValue(const Field& f, const Run& r) {
  switch (f.kind) {
    case Kind::Text:
      return val(f.text(r));
    case Kind::Flag:
      return val(f.number(r) != 0.0);
    default:
      return val(f.number(r));
  }
}

// A run as the page sees it: every column, every summary field, and the
// summary as pbsim-study's tables show it.
template <class M>
val runObject(const typename M::Run& r, const typename M::Case& judgedBy) {
  val o = val::object();
  o.set("precision", std::string(precisionName(r.precision)));
  const std::string judge = M::judge(judgedBy);
  for (const auto& c : M::kColumns) {
    const std::string name = judgedName(c.name, judge);
    if (c.data) {
      const ColumnData d = c.data(r);
      o.set(name, d.floats ? typedArray(d.floats, r.size()) : typedArray(d.doubles, r.size()));
    } else if (c.kind == Kind::Count) {
      // Computed, not kept: the step number.
      std::vector<int> values(r.size());
      for (std::size_t k = 0; k < values.size(); ++k) values[k] = static_cast<int>(c.value(r, k));
      o.set(name, typedArray(values));
    } else {
      // Computed, not kept: each point's step h, a double that holds a
      // single-precision run's float step exactly.
      std::vector<double> values(r.size());
      for (std::size_t k = 0; k < values.size(); ++k) values[k] = c.value(r, k);
      o.set(name, typedArray(values));
    }
  }
  val readable = val::object();
  for (const auto& f : M::kSummary) {
    o.set(std::string(f.name), summaryValue(f, r));
    readable.set(std::string(f.name), readableCell(f, r));
  }
  o.set("readable", readable);
  // What the run says about its settings, and why it failed, if it did.
  o.set("warning", r.warning);
  o.set("failure_text", r.failureText);
  return o;
}

// What a front end calls the time step in its advice: the panel's label.
template <class Values>
std::string timeStepLabel() {
  for (const auto& p : parametersOf<Values>())
    if (p.member == &Values::timeStep) return std::string(p.label);
  return "";
}

val notesObject(const std::vector<Note>& notes) {
  val list = val::array();
  for (const Note& n : notes) {
    val o = val::object();
    o.set("scheme", n.scheme);
    o.set("text", n.text);
    o.set("warning", n.warning);
    list.call<void>("push", o);
  }
  return list;
}

// The exact (or reference) row beside a flight study's runs, as the readable
// table shows it, its scheme cell naming the judge.
val exactRow(const FlightStudy& study) {
  if (!study.exactLanding) return val::null();
  val row = val::object();
  row.set("scheme", std::string(study.flight.judge()));
  for (const Field<FlightRun>& f : kFlightSummary) {
    const double v = exactLandingValue(*study.exactLanding, f.name);
    if (!std::isnan(v)) row.set(std::string(f.name), readableNumber(v, f.readable));
  }
  return row;
}
val exactRow(const SpringStudy&) { return val::null(); }

// What a convergence study's errors are measured against, worded as a
// study's notes word it: the reference's note (nothing for a closed form).
std::vector<Note> judgeNotes(const FlightCase& c) {
  std::vector<Note> out;
  for (const Note& n : notes(runStudy(c, {}), timeStepLabel<BallisticsPanelValues>()))
    if (n.kind == Note::Kind::Reference) out.push_back(n);
  return out;
}
std::vector<Note> judgeNotes(const SpringCase&) { return {}; }

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
    // How it steps, and the precision it runs in when none is asked for,
    // with the engine's words where it has no single precision.
    const RunScheme r(&s);
    o.set("kind", std::string(schemeKindName(s.kind)));
    o.set("adaptive", r.adaptive());
    o.set("single", r.hasSingle());
    o.set("defaultPrecision", std::string(precisionName(r.defaultPrecision())));
    o.set("precisionNote", r.problem(Precision::Single));
    list.call<void>("push", o);
  }
  return list;
}

// What every run takes beside the model's parameters, as the engine starts
// it: the step control's tolerances (read by the adaptive schemes), for the
// flight the landing rule among its names, for the spring the time it runs
// until (optional: null, not given, at start-up): [{name, startUp, adaptive,
// options, optional}]; null for another model.
val runOptions(const std::string& model) {
  if (model != Flight::kName && model != Spring::kName) return val::null();
  const RunScheme defaults;
  val list = val::array();
  for (auto [name, value] :
       {std::pair{"rtol", defaults.tolerances.rtol}, std::pair{"atol", defaults.tolerances.atol}}) {
    val o = val::object();
    o.set("name", std::string(name));
    o.set("startUp", value);
    o.set("adaptive", true);
    list.call<void>("push", o);
  }
  if (model == Spring::kName) {
    // The time a run ends by (at the first step at or after it); not given,
    // a run goes on until the body rests or pbsim's sample limit.
    val o = val::object();
    o.set("name", std::string("until"));
    o.set("startUp", val::null());
    o.set("adaptive", false);
    o.set("optional", true);
    list.call<void>("push", o);
  }
  if (model == Flight::kName) {
    val o = val::object();
    o.set("name", std::string("landing"));
    o.set("startUp", std::string(landingName(defaults.landing)));
    o.set("adaptive", false);
    o.set("options", wordList(landingWords()));
    list.call<void>("push", o);
  }
  return list;
}

// The parameter table of "flight" or "spring": name, label, group, unit,
// help, rule, startUp, flown; null for another model.
val parameters(const std::string& model) {
  const auto table = describeParameters(model);
  if (!table) return val::null();
  val list = val::array();
  for (const ParameterDescription& p : *table) {
    val o = val::object();
    o.set("name", std::string(p.name));
    o.set("label", std::string(p.label));
    o.set("group", std::string(p.group));
    o.set("unit", std::string(p.unit));
    o.set("help", std::string(p.help));
    o.set("rule", std::string(ruleText(p.rule)));
    o.set("startUp", p.startUp);
    o.set("flown", p.flown);
    o.set("quadraticUnit", std::string(p.quadraticUnit));
    list.call<void>("push", o);
  }
  return list;
}

template <class Table>
val describe(const Table& table) {
  val list = val::array();
  for (const auto& c : table) {
    val o = val::object();
    o.set("name", std::string(c.name));
    o.set("unit", std::string(c.unit));
    o.set("kind", std::string(kindName(c.kind)));
    o.set("heading", heading(c.name, c.unit));
    list.call<void>("push", o);
  }
  return list;
}

// The per-point columns of "flight" or "spring", and the per-run summary
// fields of "flight" or "spring" or the rows of a "convergence" study (name,
// unit, kind, heading); null for another name.
val columns(const std::string& model) {
  return model == Flight::kName   ? describe(Flight::kColumns)
         : model == Spring::kName ? describe(Spring::kColumns)
                                  : val::null();
}
// Beside a convergence row's measured order, the page shows a user's
// tableau's algebraic order (RunScheme::algebraicOrder; empty for a
// built-in scheme, whose order is its table's).
constexpr const char* kAlgebraicOrder = "algebraic_order";

val describeConvergence() {
  val list = describe(kConvergenceFields);
  const int n = list["length"].as<int>();
  for (int i = 0; i < n; ++i) {
    if (list[i]["name"].as<std::string>() != "order") continue;
    val o = val::object();
    o.set("name", std::string(kAlgebraicOrder));
    o.set("unit", std::string());
    o.set("kind", std::string(kindName(Kind::Count)));
    o.set("heading", heading(kAlgebraicOrder, ""));
    list.call<void>("splice", i + 1, 0, o);
    break;
  }
  return list;
}

val summary(const std::string& model) {
  return model == Flight::kName   ? describe(Flight::kSummary)
         : model == Spring::kName ? describe(Spring::kSummary)
         : model == "convergence" ? describeConvergence()
         : model == "stability"   ? describe(kStabilityFields)
                                  : val::null();
}

// The flight's drag laws by the engine's names, and the one pbsim flies
// (the panel values' own): {laws: [...], startUp}.
val dragLaws() {
  val laws = val::array();
  for (const DragLaw law : {DragLaw::Linear, DragLaw::Quadratic})
    laws.call<void>("push", std::string(dragLawName(law)));
  val o = val::object();
  o.set("laws", laws);
  o.set("startUp", std::string(dragLawName(BallisticsPanelValues{}.drag)));
  return o;
}

// A convergence study's own settings as the engine starts them: levels,
// withDouble, quantity and sweep (with their names: quantities, sweeps),
// and an adaptive scheme's levels of rtol (rtolLevels from rtolStart, each
// a tenth of the one before).
val convergenceSettings() {
  const ConvergenceSettings d;
  val o = val::object();
  o.set("levels", d.levels);
  o.set("withDouble", d.withDouble);
  o.set("quantity", std::string(quantityName(d.quantity)));
  o.set("quantities", wordList(quantityWords()));
  o.set("sweep", std::string(sweepName(d.sweep)));
  o.set("sweeps", wordList(sweepWords()));
  o.set("rtolLevels", d.rtolLevels);
  o.set("rtolStart", d.rtolStart);
  return o;
}

// Calls f with the model called `model`, or answers that there is none.
template <class F>
val withModel(const std::string& model, F&& f) {
  if (model == Flight::kName) return f(Flight{});
  if (model == Spring::kName) return f(Spring{});
  return refusal({"model", "must be flight or spring, not '" + model + "'"});
}

// Every problem of a form's values, at most one per field: {name: message}.
val problems(const std::string& model, const val& values) {
  return withModel(model, [&](auto m) {
    using M = decltype(m);
    const Arguments<M> a = argumentsOf<M>(values);
    val out = val::object();
    for (const Problem& p : a.parameterProblems) out.set(p.parameter, p.message);
    if (a.problem && !out.hasOwnProperty(a.problem->parameter.c_str()))
      out.set(a.problem->parameter, a.problem->message);
    return out;
  });
}

// One run (window.pbsimEngine.flight / .spring).
val run(const std::string& model, const val& args) {
  return withModel(model, [&](auto m) {
    using M = decltype(m);
    Arguments<M> a = argumentsOf<M>(args);
    std::optional<Precision> precision;
    if (a.precision) precision = precisionArgument(*a.precision, a.problem);
    if (a.problem) return refusal(*a.problem);
    const RunScheme s = a.with(a.scheme);
    const Precision p = precision.value_or(s.defaultPrecision());
    if (const std::string words = s.problem(p); !words.empty()) return refusal(enginesWords(words));
    const typename M::Case c = M::makeCase(a.values);
    val o = runObject<M>(M::run(c, s, p, a.until), c);
    M::extras(o, c);
    M::judged(o, c);
    return o;
  });
}

// The page's runs: each scheme named in `schemeNames` on the values, with
// the notes worded by the engine and the exact row; {problems} when a value
// is not usable.
val study(const std::string& model, const val& args, const val& schemeNames, const val& progress) {
  return withModel(model, [&](auto m) {
    using M = decltype(m);
    Arguments<M> a = argumentsOf<M>(args);
    if (a.problem) {
      val out = val::object();
      out.set("problems", problems(model, args));
      return out;
    }
    std::optional<Problem> problem;
    const std::vector<RunScheme> chosen = schemeList(schemeNames, problem, a.options);
    if (problem) return refusal(*problem);
    for (const RunScheme& r : chosen)
      if (const std::string words = r.problem(r.defaultPrecision()); !words.empty())
        return refusal(enginesWords(words));
    const Progress tell = [&progress](const std::string& s) {
      if (progress.typeOf().as<std::string>() == "function") progress(s);
    };
    const typename M::Case c = M::makeCase(a.values);
    const typename M::Study s = M::study(c, chosen, a.until, tell);
    val runs = val::array();
    for (const auto& r : s.runs) {
      val o = runObject<M>(r, c);
      M::extras(o, c);
      runs.call<void>("push", o);
    }
    val out = val::object();
    out.set("runs", runs);
    M::judged(out, c);
    out.set("notes", notesObject(notes(s, timeStepLabel<typename M::Values>())));
    out.set("exact", exactRow(s));
    return out;
  });
}

// The flight its runs are measured against (the closed form, or the
// reference where the drag law has none) at `samples` + 1 evenly spaced
// times from launch to its landing (or to `until` when it never lands), and
// its landing.
val exactFlight(const val& args, int samples, double until) {
  Arguments<Flight> a = argumentsOf<Flight>(args);
  if (a.problem) return refusal(*a.problem);
  const FlightCase c = Flight::makeCase(a.values);
  const std::optional<double> landing = c.landingTime();
  const double end = landing ? *landing : until;
  samples = std::max(samples, 1);
  std::vector<double> t(samples + 1), x(samples + 1), y(samples + 1), z(samples + 1);
  for (int i = 0; i <= samples; ++i) {
    t[i] = end * i / samples;
    const Vec3d e = c.position(t[i]);
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
  Flight::judged(o, c);
  return o;
}

// The exact motion of the spring from 0 to `until` while the closed form
// holds: heights and energies.
val exactSpring(const val& args, int samples, double until) {
  Arguments<Spring> a = argumentsOf<Spring>(args);
  if (a.problem) return refusal(*a.problem);
  const SpringCase c = Spring::makeCase(a.values);
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

// The settings of a convergence study from `object` ({levels, withDouble,
// quantity, sweep}, each optional: the engine's own where not given), or
// the problem with them.
ConvergenceSettings convergenceSettingsOf(const val& object, std::optional<Problem>& problem) {
  ConvergenceSettings settings;
  auto fail = [&](const std::string& name, const std::string& message) {
    if (!problem) problem = Problem{name, message};
  };
  for (const std::string& key : keysOf(object)) {
    if (!given(object, key)) continue;
    const val v = object[key];
    if (key == "levels") {
      if (v.isNumber() && v.as<double>() == std::floor(v.as<double>()) &&
          std::fabs(v.as<double>()) < 1e9)
        settings.levels = static_cast<int>(v.as<double>());
      else
        fail(key, "must be a whole number");
    } else if (key == "withDouble") {
      if (v.typeOf().as<std::string>() == "boolean")
        settings.withDouble = v.as<bool>();
      else
        fail(key, "must be true or false");
    } else if (key == "quantity" || key == "sweep") {
      const std::string word = v.isString() ? v.as<std::string>() : std::string();
      if (!v.isString()) {
        fail(key, "must be a string");
      } else if (const auto p =
                     wordProblem(key, key == "quantity" ? quantityWords() : sweepWords(), word)) {
        fail(p->parameter, p->message);
      } else if (key == "quantity") {
        settings.quantity = *quantityNamed(word);
      } else {
        settings.sweep = *sweepNamed(word);
      }
    } else {
      fail(key, "is not a setting of a convergence study (levels, withDouble, quantity, sweep)");
    }
  }
  return settings;
}

// A convergence study as pbsim-study makes it: the values (with the
// tolerances the adaptive schemes' levels start from, and the flight's
// landing rule), the schemes' names, the settings (convergenceSettingsOf);
// progress(text) is told each level. Its rows by the convergence fields
// (and as pbsim-study shows them), the reference slopes of its figure, and
// its CSV; the engine's words when the schemes do not fit the sweep.
val convergence(const std::string& model, const val& args, const val& schemeNames,
                const val& settingsObject, const val& progress) {
  return withModel(model, [&](auto m) {
    using M = decltype(m);
    Arguments<M> a = argumentsOf<M>(args);
    const std::vector<RunScheme> chosen = schemeList(schemeNames, a.problem, a.options);
    ConvergenceSettings settings = convergenceSettingsOf(settingsObject, a.problem);
    if (a.problem) return refusal(*a.problem);
    const typename M::Case c = M::makeCase(a.values);
    if (auto p = prepareConvergence(c, settings)) return refusal(*p);
    const Progress tell = [&progress](const std::string& s) {
      if (progress.typeOf().as<std::string>() == "function") progress(s);
    };
    ConvergenceStudy study;
    try {
      study = studyConvergence(c, chosen, settings, tell);
    } catch (const std::invalid_argument& e) {
      return refusal(enginesWords(e.what()));
    }
    val rows = val::array();
    for (const ConvergenceRow& r : study.rows) {
      val o = val::object();
      val readable = val::object();
      for (const auto& f : kConvergenceFields) {
        o.set(std::string(f.name), summaryValue(f, r));
        readable.set(std::string(f.name), readableCell(f, r));
      }
      o.set("algebraicOrder", r.algebraicOrder ? val(*r.algebraicOrder) : val::null());
      o.set(kAlgebraicOrder, r.algebraicOrder ? val(*r.algebraicOrder) : val::null());
      readable.set(kAlgebraicOrder, r.algebraicOrder ? std::to_string(*r.algebraicOrder) : "");
      o.set("readable", readable);
      rows.call<void>("push", o);
    }
    val slopes = val::array();
    for (const ReferenceSlope& s : referenceSlopes(study)) {
      val o = val::object();
      o.set("order", s.order);
      o.set("h0", s.h0);
      o.set("e0", s.e0);
      o.set("hEnd", s.hEnd);
      o.set("eEnd", s.eEnd);
      slopes.call<void>("push", o);
    }
    val o = val::object();
    o.set("at", study.at);
    // T as the whole number of time steps the study takes it as.
    o.set("at_steps", static_cast<double>(std::llround(study.at / c.params.timeStep)));
    o.set("quantity", std::string(quantityName(study.quantity)));
    o.set("sweep", std::string(sweepName(settings.sweep)));
    o.set("rows", rows);
    o.set("slopes", slopes);
    std::ostringstream csv;
    writeCsv(csv, study);
    o.set("csv", csv.str());
    M::judged(o, c);
    o.set("notes", notesObject(judgeNotes(c)));
    return o;
  });
}

// The CSV pbsim-study writes for these values and schemes.
val csv(const std::string& model, const val& args, const val& schemeNames) {
  return withModel(model, [&](auto m) {
    using M = decltype(m);
    Arguments<M> a = argumentsOf<M>(args);
    const std::vector<RunScheme> chosen = schemeList(schemeNames, a.problem, a.options);
    if (a.problem) return refusal(*a.problem);
    for (const RunScheme& r : chosen)
      if (const std::string words = r.problem(r.defaultPrecision()); !words.empty())
        return refusal(enginesWords(words));
    std::ostringstream out;
    writeCsv(out, M::study(M::makeCase(a.values), chosen, a.until, {}));
    return val(out.str());
  });
}

// A user's own scheme ({name, a, b, c} and, for a pair, bHat) as the engine
// judges it: {problem} in the engine's words, or its name, stages, whether
// it is an adaptive pair, its algebraic order by the order conditions (up to
// 5) with the report's words, and a pair's second row's order.
val ownSchemeReport(const val& object) {
  std::optional<Problem> problem;
  const std::optional<RunScheme> s = ownScheme(object, problem, "scheme");
  if (problem) return refusal(*problem);
  const ButcherTableau& t = s->tableau ? *s->tableau : s->embedded->tableau;
  val o = val::object();
  o.set("name", t.name);
  o.set("stages", static_cast<int>(t.stages()));
  o.set("adaptive", s->adaptive());
  o.set("single", s->hasSingle());
  o.set("defaultPrecision", std::string(precisionName(s->defaultPrecision())));
  o.set("precisionNote", s->problem(Precision::Single));
  o.set("algebraicOrder", *s->algebraicOrder());
  o.set("orderReport", orderReport(t).text());
  if (s->embedded) {
    o.set("embeddedOrder", s->embedded->embeddedOrder);
    o.set("fsal", s->embedded->fsal());
  }
  return o;
}

// The spring's stability limits for the values (stability.h): every
// fixed-step scheme's (or those of the list `schemeNames`, when it is an
// array) measured and from theory, by the stability fields (and as
// pbsim-study shows them), the notes below its table, and its CSV;
// progress(text) is told each scheme.
val stability(const val& args, const val& schemeNames, const val& progress) {
  Arguments<Spring> a = argumentsOf<Spring>(args);
  std::vector<RunScheme> chosen = stabilitySchemes();
  if (schemeNames.isArray()) chosen = schemeList(schemeNames, a.problem, a.options);
  if (a.problem) return refusal(*a.problem);
  const SpringCase c = Spring::makeCase(a.values);
  if (auto p = stabilityProblem(c)) return refusal(*p);
  const Progress tell = [&progress](const std::string& s) {
    if (progress.typeOf().as<std::string>() == "function") progress(s);
  };
  StabilityStudy study;
  try {
    study = studyStability(c, chosen, {}, tell);
  } catch (const std::invalid_argument& e) {
    return refusal(enginesWords(e.what()));
  }
  val rows = val::array();
  for (const StabilityRow& r : study.rows) {
    val o = val::object();
    val readable = val::object();
    for (const auto& f : kStabilityFields) {
      o.set(std::string(f.name), summaryValue(f, r));
      readable.set(std::string(f.name), readableCell(f, r));
    }
    o.set("readable", readable);
    rows.call<void>("push", o);
  }
  val notes = val::array();
  for (const std::string& line : stabilityNotes(study)) notes.call<void>("push", line);
  std::ostringstream csv;
  writeCsv(csv, study);
  val o = val::object();
  o.set("dt", study.dt);
  o.set("rows", rows);
  o.set("notes", notes);
  o.set("csv", csv.str());
  return o;
}

}  // namespace

EMSCRIPTEN_BINDINGS(pbsim_engine) {
  emscripten::function("schemes", &schemes);
  emscripten::function("parameters", &parameters);
  emscripten::function("columns", &columns);
  emscripten::function("summary", &summary);
  emscripten::function("runOptions", &runOptions);
  emscripten::function("convergenceSettings", &convergenceSettings);
  emscripten::function("dragLaws", &dragLaws);
  emscripten::function("problems", &problems);
  emscripten::function("run", &run);
  emscripten::function("study", &study);
  emscripten::function("exactFlight", &exactFlight);
  emscripten::function("exactSpring", &exactSpring);
  emscripten::function("convergence", &convergence);
  emscripten::function("csv", &csv);
  emscripten::function("ownScheme", &ownSchemeReport);
  emscripten::function("stability", &stability);
}
