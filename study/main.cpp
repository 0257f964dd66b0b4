// pbsim-study: runs pbsim's two models without a window and answers how
// right each integration scheme is, at what cost, and how its error shrinks
// with the time step: tables, CSV files and figures.
//
// This file is the command line: per command an options struct, a setup
// function that declares its options, and the callback that runs it.

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <csignal>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ballisticssetup.h"
#include "convergencestudy.h"
#include "delivery.h"
#include "parameters.h"
#include "springmasssetup.h"
#include "stabilitystudy.h"
#include "studies.h"
#include "suggest.h"
#include "validation.h"

namespace {

// What every command writes, and with which schemes: their tolerances (for
// the adaptive ones) and, for flights, how the ground point is placed.
struct Outputs {
  std::vector<std::string> schemes{"euler", "midpoint", "rk4"};
  CLI::Option* schemesOption = nullptr;
  Tolerances tolerances;
  std::string landing = landingName(Landing::Linear);
  OutputPaths paths;
};

struct ConvergenceValues {
  ConvergenceSettings settings;  // the engine's defaults; at 0: the default time
  std::string quantity = quantityName(ConvergenceQuantity::AtTime);
  std::string sweep = sweepName(ConvergenceSweep::Auto);
  CLI::Option* atOption = nullptr;
};

struct FlightOptions {
  BallisticsPanelValues values;
  Outputs outputs;
};

struct SpringOptions {
  SpringPanelValues values;
  double until = 0.0;
  CLI::Option* untilOption = nullptr;
  Outputs outputs;
};

struct FlightConvergenceOptions {
  BallisticsPanelValues values;
  ConvergenceValues convergence;
  Outputs outputs;
};

struct SpringConvergenceOptions {
  SpringPanelValues values;
  ConvergenceValues convergence;
  Outputs outputs;
};

// Set by SIGINT and SIGTERM; runs and deliveries look at it and stop.
CancelFlag cancelled{false};
volatile std::sig_atomic_t caughtSignal = 0;

extern "C" void onSignal(int signal) {
  caughtSignal = signal;
  cancelled.store(true);
}

// Says what is wrong and ends the program with status 1.
[[noreturn]] void fail(const std::string& message) {
  std::cerr << "pbsim-study: " << message << '\n';
  throw CLI::RuntimeError(1);
}

// ---- Options --------------------------------------------------------------

CLI::Option* number(CLI::App* app, const std::string& name, double& value,
                    const std::string& help) {
  return app->add_option(name, value, help)->capture_default_str();
}

// An option per parameter of the model's table that the model flies
// (--azimuth, ..., --dt), with the table's help and start-up value.
template <class Values>
void addParameterOptions(CLI::App* app, Values& v) {
  for (const Parameter<Values>& p : parametersOf<Values>())
    if (p.flown) number(app, "--" + std::string(p.name), v.*(p.member), std::string(p.help));
}

// The flight's drag law: pbsim's linear friction, or quadratic drag, which
// has no closed form and is measured against a reference integration.
void addDragOption(CLI::App* app, BallisticsPanelValues& v) {
  const std::map<std::string, DragLaw> laws{{dragLawName(DragLaw::Linear), DragLaw::Linear},
                                            {dragLawName(DragLaw::Quadratic), DragLaw::Quadratic}};
  app->add_option("--drag", v.drag,
                  "the drag law: linear (pbsim's, --friction in kg/s) or quadratic (-friction x "
                  "|v| x v, --friction in kg/m; no closed form: errors against a reference "
                  "integration)")
      ->transform(CLI::CheckedTransformer(laws, CLI::ignore_case))
      ->default_str("linear");
}

// A file name, never empty.
const CLI::Validator kFileName(
    [](std::string& s) -> std::string {
      return s.empty() ? "a file name cannot be empty ('-' is standard output)" : "";
    },
    "");

// The scheme table as --help lists it: "euler, midpoint, ... (explicit);
// backward-euler, ... (implicit); ...".
std::string schemesHelp() {
  std::string help = "integration schemes, comma separated: ";
  std::string kinds;
  for (SchemeKind kind : {SchemeKind::Explicit, SchemeKind::Implicit, SchemeKind::Adaptive}) {
    std::string names;
    for (const SchemeInfo& s : kSchemes)
      if (s.kind == kind) names += (names.empty() ? "" : ", ") + std::string(s.name);
    if (!names.empty())
      kinds += (kinds.empty() ? "" : "; ") + names + " (" + schemeKindName(kind) + ")";
  }
  return help + kinds +
         ". Implicit and adaptive schemes run in double precision, the others in pbsim's single "
         "precision";
}

// --rtol and --atol of the adaptive schemes, with the engine's defaults.
void addToleranceOptions(CLI::App* app, Tolerances& t, const std::string& what) {
  number(app, "--rtol", t.rtol,
         "relative tolerance of the adaptive schemes (bogacki-shampine, dopri5)" + what);
  number(app, "--atol", t.atol, "absolute tolerance of the adaptive schemes" + what);
}

// An option whose value is one of the engine's words; the run checks it.
void addWordOption(CLI::App* app, const std::string& name, std::string& value,
                   const std::vector<std::string>& words, const std::string& help) {
  std::string listed;
  for (const std::string& w : words) listed += (listed.empty() ? "" : "|") + w;
  app->add_option(name, value, help)->type_name(listed)->capture_default_str();
}

// The value of a word option as the engine names it, or the end of the
// program with the engine's words.
template <class Named>
auto wordOf(const std::string& name, const std::vector<std::string>& words, std::string value,
            Named named) {
  for (char& ch : value) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (auto p = wordProblem(name, words, value)) fail(p->text("--"));
  return *named(value);
}

void addLandingOption(CLI::App* app, std::string& landing) {
  addWordOption(app, "--landing", landing, landingWords(),
                "where the ground point lies within the last step: linear (on the straight "
                "line between the step's ends, as pbsim places it) or interpolated (where an "
                "interpolant of the scheme's own order crosses the ground)");
}

void addOutputOptions(CLI::App* app, Outputs& o, const std::vector<std::string>& figures) {
  std::vector<std::string> names;
  for (const SchemeInfo& s : kSchemes) names.emplace_back(s.name);
  o.schemesOption = app->add_option("--schemes", o.schemes, schemesHelp())
                        ->delimiter(',')
                        ->capture_default_str()
                        ->transform(CLI::IsMember(names, CLI::ignore_case));
  app->add_option("--csv", o.paths.csv,
                  "write every point as CSV to FILE ('-': standard output, instead of the table)")
      ->type_name("FILE")
      ->check(kFileName);
  app->add_option("--summary", o.paths.summary,
                  "write the table's numbers as CSV to FILE ('-': standard output, instead of the "
                  "table)")
      ->type_name("FILE")
      ->check(kFileName);
  if (figures.empty()) return;  // a command without figures
  app->add_option("--plot", o.paths.plot, "draw the figure into FILE (.svg, .png or .pdf)")
      ->type_name("FILE")
      ->check(kFileName)
      ->check(CLI::Validator(
          [](std::string& s) -> std::string {
            return plotDevice(s).empty() ? "'" + s + "' does not end in .svg, .png or .pdf" : "";
          },
          ""));
  o.paths.figure = figures.front();
  app->add_option("--figure", o.paths.figure, "which figure --plot draws")
      ->capture_default_str()
      ->transform(CLI::IsMember(figures, CLI::ignore_case));
}

void addConvergenceOptions(CLI::App* app, ConvergenceValues& c, bool flight) {
  app->add_option("--levels", c.settings.levels,
                  "number of time steps: --dt, halved levels-1 times")
      ->capture_default_str();
  app->add_option("--rtol-levels", c.settings.rtolLevels,
                  "number of tolerances of the adaptive schemes: --rtol (and --atol), divided by "
                  "10 rtol-levels-1 times")
      ->capture_default_str();
  addWordOption(app, "--sweep", c.sweep, sweepWords(),
                "what the study refines: auto (dt for the fixed-step schemes, rtol for the "
                "adaptive ones), dt or rtol (then only the schemes it fits; without --schemes, "
                "rtol studies the adaptive schemes)");
  if (flight)
    addWordOption(app, "--quantity", c.quantity, quantityWords(),
                  "what is measured: at_time (the distance to the exact position at --at) or "
                  "landing (the landing point's miss, placed by --landing)");
  c.atOption =
      app->add_option("--at", c.settings.at,
                      "time T at which the errors are taken, s; a whole number of steps of --dt "
                      "(default: 3/4 of the exact flight time, 4 s for the spring)");
  app->add_flag("--double", c.settings.withDouble,
                "add the same schemes in double precision (Boost.Odeint's steppers), whose "
                "orders go on where single precision reaches its floor");
}

// ---- Running --------------------------------------------------------------

// The chosen schemes in the order of kSchemes, with the tolerances and the
// landing rule; settings they cannot run with end the program.
std::vector<RunScheme> chosenSchemes(const Outputs& o) {
  if (auto p = toleranceProblem(o.tolerances)) fail(p->text("--"));
  std::vector<RunScheme> chosen;
  for (const SchemeInfo& s : kSchemes)
    for (const std::string& name : o.schemes)
      if (name == s.name) {
        RunScheme scheme(&s);
        scheme.tolerances = o.tolerances;
        scheme.landing = wordOf("landing", landingWords(), o.landing, landingNamed);
        if (const std::string p = scheme.problem(scheme.defaultPrecision()); !p.empty()) fail(p);
        chosen.push_back(scheme);
        break;
      }
  if (chosen.empty()) fail("no scheme chosen (--schemes euler,midpoint,rk4)");
  return chosen;
}

// A convergence study's schemes: the chosen ones, which must fit the sweep;
// a sweep of rtol without --schemes studies the adaptive schemes.
std::vector<RunScheme> convergenceSchemes(Outputs outputs, ConvergenceSweep sweep) {
  if (sweep == ConvergenceSweep::Tolerance && outputs.schemesOption->count() == 0) {
    outputs.schemes.clear();
    for (const SchemeInfo& s : kSchemes)
      if (s.kind == SchemeKind::Adaptive) outputs.schemes.emplace_back(s.name);
  }
  std::vector<RunScheme> schemes = chosenSchemes(outputs);
  for (const RunScheme& s : schemes) {
    if (sweep == ConvergenceSweep::Step && s.adaptive())
      fail(s.name() +
           " is adaptive: it chooses its own steps, so --sweep dt cannot refine them "
           "(its study sweeps rtol: --sweep rtol or auto)");
    if (sweep == ConvergenceSweep::Tolerance && !s.adaptive())
      fail(s.name() +
           " steps with a fixed dt: it has no rtol for --sweep rtol to refine (--sweep "
           "dt or auto)");
  }
  return schemes;
}

ConvergenceSettings convergenceSettings(const ConvergenceValues& c, const Outputs& o) {
  if (c.atOption->count() > 0)
    if (auto p = valueProblem("at", c.settings.at, true)) fail(p->text("--"));
  ConvergenceSettings settings = c.settings;
  settings.sweep = wordOf("sweep", sweepWords(), c.sweep, sweepNamed);
  settings.quantity = wordOf("quantity", quantityWords(), c.quantity, quantityNamed);
  if (settings.rtolLevels < 1) fail("--rtol-levels must be at least 1");
  settings.rtolStart = o.tolerances.rtol;
  if (const std::string w = finestRtolWarning(settings); !w.empty())
    std::cerr << "pbsim-study: warning: at the finest level, " << w << '\n';
  return settings;
}

void open(Delivery& delivery) {
  if (const std::string e = delivery.open(); !e.empty()) fail(e);
}

template <class Study>
void deliver(Delivery& delivery, const Study& study) {
  if (const std::string e = delivery.deliver(study); !e.empty()) fail(e);
}

void runFlight(const FlightOptions& o) {
  if (auto p = flightProblem(o.values)) fail(p->text("--"));
  const std::vector<RunScheme> schemes = chosenSchemes(o.outputs);
  const FlightCase c(ballisticsParamsFromPanel(o.values));
  Delivery delivery(o.outputs.paths, &cancelled);
  open(delivery);
  deliver(delivery, runStudy(c, schemes, delivery.progress(), &cancelled));
}

void runSpring(const SpringOptions& o) {
  std::optional<double> until;
  if (o.untilOption->count() > 0) until = o.until;
  if (auto p = springProblem(o.values, until)) fail(p->text("--"));
  const std::vector<RunScheme> schemes = chosenSchemes(o.outputs);
  const SpringCase c(springParamsFromPanel(o.values));
  Delivery delivery(o.outputs.paths, &cancelled);
  open(delivery);
  deliver(delivery, runStudy(c, schemes, until, delivery.progress(), &cancelled));
}

template <class Case>
void runConvergenceOf(const Case& c, const ConvergenceValues& values, const Outputs& outputs) {
  ConvergenceSettings settings = convergenceSettings(values, outputs);
  const std::vector<RunScheme> schemes = convergenceSchemes(outputs, settings.sweep);
  if (auto p = prepareConvergence(c, settings)) fail(p->text("--"));
  Delivery delivery(outputs.paths, &cancelled);
  open(delivery);
  deliver(delivery, runConvergence(c, schemes, settings, delivery.progress(), &cancelled));
}

void runFlightConvergence(const FlightConvergenceOptions& o) {
  if (auto p = flightProblem(o.values)) fail(p->text("--"));
  runConvergenceOf(FlightCase(ballisticsParamsFromPanel(o.values)), o.convergence, o.outputs);
}

void runSpringConvergence(const SpringConvergenceOptions& o) {
  if (auto p = springProblem(o.values)) fail(p->text("--"));
  runConvergenceOf(SpringCase(springParamsFromPanel(o.values)), o.convergence, o.outputs);
}

// The largest stable time step of each scheme on the spring.
struct StabilityOptions {
  SpringPanelValues values;
  Outputs outputs;
};

void runStability(const StabilityOptions& o) {
  if (auto p = springProblem(o.values)) fail(p->text("--"));
  const SpringCase c(springParamsFromPanel(o.values));
  if (auto p = stabilityProblem(c)) fail(p->text("--"));
  const std::vector<RunScheme> schemes = chosenSchemes(o.outputs);
  Delivery delivery(o.outputs.paths, &cancelled);
  open(delivery);
  deliver(delivery, runStability(c, schemes, delivery.progress(), &cancelled));
}

void setupStability(CLI::App& app) {
  CLI::App* stability = app.add_subcommand(
      "stability", "the largest stable time step of each scheme, measured and in theory");
  stability->require_subcommand(1);
  auto o = std::make_shared<StabilityOptions>();
  o->outputs.schemes.clear();
  for (const RunScheme& s : stabilitySchemes()) o->outputs.schemes.push_back(s.name());
  CLI::App* spring = stability->add_subcommand(
      "spring",
      "bisection on the growth of the spring's energy, beside the bound of each scheme's step "
      "matrix on the spring's eigenvalues (--dt: the step the last column judges)");
  addParameterOptions(spring, o->values);
  addOutputOptions(spring, o->outputs, {});
  spring->callback([o] { runStability(*o); });
}

// ---- Commands -------------------------------------------------------------

void setupFlight(CLI::App& app) {
  auto o = std::make_shared<FlightOptions>();
  CLI::App* sub = app.add_subcommand(
      "flight", "one shot per scheme: landing point, flight time, errors against the exact flight");
  addParameterOptions(sub, o->values);
  addDragOption(sub, o->values);
  addLandingOption(sub, o->outputs.landing);
  addToleranceOptions(sub, o->outputs.tolerances, "");
  addOutputOptions(sub, o->outputs, kFlightFigures);
  sub->callback([o] { runFlight(*o); });
}

void setupSpring(CLI::App& app) {
  auto o = std::make_shared<SpringOptions>();
  CLI::App* sub = app.add_subcommand(
      "spring",
      "one spring-mass run per scheme: heights, errors and energy against the exact motion");
  addParameterOptions(sub, o->values);
  o->untilOption = sub->add_option(
      "--until", o->until,
      "end every run at the first step at or after time T, s, even before it comes to rest");
  addToleranceOptions(sub, o->outputs.tolerances, "");
  addOutputOptions(sub, o->outputs, kSpringFigures);
  sub->callback([o] { runSpring(*o); });
}

const char* const kCoarsestTolerance =
    ", at the coarsest level; each level divides rtol and atol by 10";

void setupConvergence(CLI::App& app) {
  CLI::App* conv = app.add_subcommand(
      "convergence",
      "errors at a fixed time T (or of the landing point) as the time step halves, or as rtol "
      "falls for the adaptive schemes, and the observed orders");
  conv->require_subcommand(1);

  auto f = std::make_shared<FlightConvergenceOptions>();
  CLI::App* flight = conv->add_subcommand("flight", "convergence of the projectile's flight");
  addParameterOptions(flight, f->values);
  addDragOption(flight, f->values);
  addLandingOption(flight, f->outputs.landing);
  addConvergenceOptions(flight, f->convergence, true);
  f->outputs.tolerances = coarsestTolerances();
  addToleranceOptions(flight, f->outputs.tolerances, kCoarsestTolerance);
  addOutputOptions(flight, f->outputs, kConvergenceFigures);
  flight->callback([f] { runFlightConvergence(*f); });

  auto s = std::make_shared<SpringConvergenceOptions>();
  CLI::App* spring = conv->add_subcommand("spring", "convergence of the spring-mass motion");
  addParameterOptions(spring, s->values);
  addConvergenceOptions(spring, s->convergence, false);
  s->outputs.tolerances = coarsestTolerances();
  addToleranceOptions(spring, s->outputs.tolerances, kCoarsestTolerance);
  addOutputOptions(spring, s->outputs, kConvergenceFigures);
  spring->callback([s] { runSpringConvergence(*s); });
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "pbsim-study: pbsim's projectile and spring-mass models without a window. For each "
      "integration scheme it reports steps, cost, errors against the exact solution and how "
      "they shrink with the time step, as tables, CSV files and figures. Values use the units "
      "and start-up values of pbsim's panels, so equal numbers give the step counts pbsim "
      "prints.",
      "pbsim-study"};
  app.set_version_flag("--version", "pbsim-study " PBSIM_VERSION);
  app.require_subcommand(1);
  setupFlight(app);
  setupSpring(app);
  setupConvergence(app);
  setupStability(app);

  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;  // a second signal ends the program at once
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (const std::string hint = parseHint(app, argc, argv); !hint.empty()) {
      std::cerr << "pbsim-study: " << hint << "\nRun with --help for more information.\n";
      return e.get_exit_code();
    }
    return app.exit(e);
  } catch (const std::invalid_argument& e) {
    // What the engine refused that no option check caught.
    std::cerr << "pbsim-study: " << e.what() << '\n';
    return 1;
  } catch (const Cancelled&) {
    // The files being written were removed on the way here.
    std::cerr << "\npbsim-study: stopped by " << (caughtSignal == SIGTERM ? "SIGTERM" : "SIGINT")
              << "; no file written\n";
    return 128 + (caughtSignal ? caughtSignal : SIGINT);
  } catch (const std::exception& e) {
    std::cerr << "pbsim-study: " << e.what() << '\n';
    return 1;
  }
  return 0;
}
