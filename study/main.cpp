// pbsim-study: runs pbsim's two models without a window and answers how
// right each integration scheme is, at what cost, and how its error shrinks
// with the time step: tables, CSV files and figures.
//
// This file is the command line: per command an options struct, a setup
// function that declares its options, and the callback that runs it.

#include <CLI/CLI.hpp>
#include <algorithm>
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

// What every command writes, and with which schemes.
struct Outputs {
  std::vector<std::string> schemes{"euler", "midpoint", "rk4"};
  OutputPaths paths;
};

struct ConvergenceValues {
  ConvergenceSettings settings;  // the engine's defaults; at 0: the default time
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

void addOutputOptions(CLI::App* app, Outputs& o, const std::vector<std::string>& figures) {
  std::vector<std::string> names;
  for (const SchemeInfo& s : kSchemes) names.emplace_back(s.name);
  app->add_option("--schemes", o.schemes, "integration schemes, comma separated")
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

void addConvergenceOptions(CLI::App* app, ConvergenceValues& c) {
  app->add_option("--levels", c.settings.levels,
                  "number of time steps: --dt, halved levels-1 times")
      ->capture_default_str();
  c.atOption =
      app->add_option("--at", c.settings.at,
                      "time T at which the errors are taken, s; a whole number of steps of --dt "
                      "(default: 3/4 of the exact flight time, 4 s for the spring)");
  app->add_flag("--double", c.settings.withDouble,
                "add the same schemes in double precision (Boost.Odeint's steppers), whose "
                "orders go on where single precision reaches its floor");
}

// ---- Running --------------------------------------------------------------

// The chosen schemes in the order of kSchemes.
std::vector<RunScheme> chosenSchemes(const Outputs& o) {
  std::vector<RunScheme> chosen;
  for (const SchemeInfo& s : kSchemes)
    for (const std::string& name : o.schemes)
      if (name == s.name) {
        chosen.emplace_back(&s);
        break;
      }
  if (chosen.empty()) fail("no scheme chosen (--schemes euler,midpoint,rk4)");
  return chosen;
}

ConvergenceSettings convergenceSettings(const ConvergenceValues& c) {
  if (c.atOption->count() > 0)
    if (auto p = valueProblem("at", c.settings.at, true)) fail(p->text("--"));
  return c.settings;
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
  const std::vector<RunScheme> schemes = chosenSchemes(outputs);
  ConvergenceSettings settings = convergenceSettings(values);
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
  addOutputOptions(sub, o->outputs, kSpringFigures);
  sub->callback([o] { runSpring(*o); });
}

void setupConvergence(CLI::App& app) {
  CLI::App* conv = app.add_subcommand(
      "convergence", "errors at a fixed time T as the time step halves, and the observed orders");
  conv->require_subcommand(1);

  auto f = std::make_shared<FlightConvergenceOptions>();
  CLI::App* flight = conv->add_subcommand("flight", "convergence of the projectile's flight");
  addParameterOptions(flight, f->values);
  addDragOption(flight, f->values);
  addConvergenceOptions(flight, f->convergence);
  addOutputOptions(flight, f->outputs, kConvergenceFigures);
  flight->callback([f] { runFlightConvergence(*f); });

  auto s = std::make_shared<SpringConvergenceOptions>();
  CLI::App* spring = conv->add_subcommand("spring", "convergence of the spring-mass motion");
  addParameterOptions(spring, s->values);
  addConvergenceOptions(spring, s->convergence);
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
  } catch (const Cancelled&) {
    // The files being written were removed on the way here.
    std::cerr << "\npbsim-study: stopped by " << (caughtSignal == SIGTERM ? "SIGTERM" : "SIGINT")
              << "; no file written\n";
    return 128 + (caughtSignal ? caughtSignal : SIGINT);
  }
  return 0;
}
