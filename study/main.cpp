// pbsim-study: runs pbsim's two models without a window and answers how
// right each integration scheme is, at what cost, and how its error shrinks
// with the time step: tables, CSV files and figures.

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>

#include "ballisticssetup.h"
#include "figures.h"
#include "output.h"
#include "report.h"
#include "studies.h"

namespace {

// Values of the spring panel, in its units.
struct SpringValues {
  double mass = 5.0, ks = 15.0, kd = 1.0, rest = 1.0, gravity = -9.8, dt = 0.1;
};

struct Outputs {
  std::string csv, plot;
  std::vector<std::string> schemes{"euler", "midpoint", "rk4"};
};

struct ConvergenceValues {
  int levels = 8;
  double at = 0.0;  // 0: the default
  bool withDouble = false;
};

// A number that a single-precision model can take.
const CLI::Validator kFinite(
    [](std::string& s) -> std::string {
      char* end = nullptr;
      const double v = std::strtod(s.c_str(), &end);
      if (end == s.c_str() || *end != '\0') return "";  // CLI11 reports non-numbers itself
      if (!std::isfinite(v)) return "'" + s + "' is not a finite number";
      if (std::fabs(v) > FLT_MAX) return s + " is beyond single precision";
      return "";
    },
    "");

const CLI::Validator kPositive(
    [](std::string& s) -> std::string {
      char* end = nullptr;
      const double v = std::strtod(s.c_str(), &end);
      if (end != s.c_str() && *end == '\0' && !(v > 0.0)) return "must be greater than 0, not " + s;
      if (end != s.c_str() && *end == '\0' && static_cast<float>(v) == 0.0f)
        return s + " is 0 in single precision";
      return "";
    },
    "");

CLI::Option* number(CLI::App* app, const std::string& name, double& value,
                    const std::string& help) {
  return app->add_option(name, value, help)->capture_default_str()->check(kFinite);
}

void addFlightOptions(CLI::App* app, BallisticsPanelValues& v) {
  number(app, "--azimuth", v.azimuth,
         "aim from straight ahead (+z), degrees; positive turns the gun towards -x, as on "
         "pbsim's panel");
  number(app, "--elevation", v.elevation, "aim above the horizontal, degrees");
  number(app, "--mass", v.projectileMass, "projectile mass, kg (above 0)")->check(kPositive);
  number(app, "--powder", v.powderAmount, "amount of powder");
  number(app, "--power", v.powderPower,
         "impulse of one unit of powder, kg m/s (muzzle speed = powder x power / mass)");
  number(app, "--gravity", v.gravity,
         "gravity, an acceleration along y in m/s^2 (negative pulls down; the mass does not "
         "scale it)");
  number(app, "--friction", v.airFriction,
         "linear air friction, kg/s: the drag force is -friction x velocity");
  number(app, "--dt", v.timeStep, "time step, s (above 0)")->check(kPositive);
}

void addSpringOptions(CLI::App* app, SpringValues& v) {
  number(app, "--mass", v.mass, "mass of the body, kg (above 0)")->check(kPositive);
  number(app, "--ks", v.ks, "spring stiffness, N/m");
  number(app, "--kd", v.kd, "damping, kg/s: the damping force is -kd x vertical velocity");
  number(app, "--rest", v.rest, "rest length of the spring, m");
  number(app, "--gravity", v.gravity,
         "gravity, a constant force on the body along y in N, not an acceleration: the resting "
         "height gravity/ks - rest does not depend on the mass");
  number(app, "--dt", v.dt, "time step, s (above 0)")->check(kPositive);
}

void addOutputOptions(CLI::App* app, Outputs& o) {
  app->add_option("--schemes", o.schemes, "integration schemes, comma separated")
      ->delimiter(',')
      ->capture_default_str()
      ->transform(CLI::Validator(
          [](std::string& s) -> std::string {
            std::transform(s.begin(), s.end(), s.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            return schemeNamed(s) ? "" : "unknown scheme '" + s + "' (euler, midpoint, rk4)";
          },
          "euler|midpoint|rk4"));
  app->add_option("--csv", o.csv, "write the numbers as CSV to FILE ('-': standard output)")
      ->type_name("FILE");
  app->add_option("--plot", o.plot, "draw the figure into FILE (.svg, .png or .pdf)")
      ->type_name("FILE")
      ->check(CLI::Validator(
          [](std::string& s) -> std::string {
            return plotDevice(s).empty() ? "'" + s + "' does not end in .svg, .png or .pdf" : "";
          },
          ""));
}

void addConvergenceOptions(CLI::App* app, ConvergenceValues& c) {
  app->add_option("--levels", c.levels, "number of time steps: --dt, halved levels-1 times")
      ->capture_default_str();
  app->add_option("--at", c.at,
                  "time T at which the errors are taken, s; a whole number of steps of --dt "
                  "(default: 3/4 of the exact flight time, 4 s for the spring)")
      ->check(kFinite)
      ->check(kPositive);
  app->add_flag("--double", c.withDouble,
                "add the same schemes in double precision (Boost.Odeint's steppers), whose "
                "orders go on where single precision reaches its floor");
}

std::vector<const SchemeInfo*> chosenSchemes(const Outputs& o) {
  std::vector<const SchemeInfo*> chosen;
  for (const SchemeInfo& s : kSchemes)
    if (std::find(o.schemes.begin(), o.schemes.end(), s.name) != o.schemes.end())
      chosen.push_back(&s);
  return chosen;
}

SpringMassParams springParams(const SpringValues& v) {
  SpringMassParams p;
  p.setValues(static_cast<float>(v.mass), static_cast<float>(v.gravity), 1);
  p.springs[0] =
      SpringParams(static_cast<float>(v.ks), static_cast<float>(v.kd), static_cast<float>(v.rest));
  p.timeStep = static_cast<float>(v.dt);
  return p;
}

int fail(const std::string& message) {
  std::cerr << "pbsim-study: " << message << '\n';
  return 1;
}

// Writes what the study produced: the table (unless the CSV goes to standard
// output), the CSV and the figure. Files are created before the computation,
// so a bad path fails at once, and appear only when written whole.
class Delivery {
 public:
  explicit Delivery(const Outputs& o) : o_(o) {}

  std::string open() {
    if (!o_.csv.empty() && o_.csv != "-") {
      csv_ = std::make_unique<PendingFile>(o_.csv);
      if (csv_->path().empty()) return csv_->error();
    }
    if (!o_.plot.empty()) {
      plot_ = std::make_unique<PendingFile>(o_.plot);
      if (plot_->path().empty()) return plot_->error();
    }
    return "";
  }

  template <class Table, class Csv, class Charts>
  int deliver(Table table, Csv csv, Charts charts) {
    if (o_.csv == "-") {
      csv(std::cout);
    } else {
      table(std::cout);
    }
    std::cout.flush();
    if (!std::cout) return fail("cannot write to standard output");
    if (csv_) {
      std::ofstream out(csv_->path());
      csv(out);
      out.close();
      if (!out || !csv_->commit())
        return fail(csv_->error().empty() ? "cannot write " + o_.csv : csv_->error());
    }
    if (plot_) {
      // PLplot asks on standard input when something goes wrong; it gets no terminal.
      if (!std::freopen("/dev/null", "r", stdin)) return fail("cannot close standard input");
      const std::string error = renderCharts(plot_->path(), plotDevice(o_.plot), charts());
      if (!error.empty()) return fail("cannot draw " + o_.plot + ": " + error);
      std::ifstream back(plot_->path(), std::ios::binary | std::ios::ate);
      if (!back || back.tellg() <= 0)
        return fail("cannot draw " + o_.plot + ": PLplot wrote nothing");
      if (!plot_->commit()) return fail(plot_->error());
    }
    return 0;
  }

 private:
  const Outputs& o_;
  std::unique_ptr<PendingFile> csv_, plot_;
};

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

  BallisticsPanelValues flightValues;
  SpringValues springValues;
  Outputs outputs;
  ConvergenceValues convergence;

  CLI::App* flight = app.add_subcommand(
      "flight", "one shot per scheme: landing point, flight time, errors against the exact flight");
  addFlightOptions(flight, flightValues);
  addOutputOptions(flight, outputs);

  CLI::App* spring = app.add_subcommand(
      "spring",
      "one spring-mass run per scheme: heights, errors and energy against the exact motion");
  addSpringOptions(spring, springValues);
  addOutputOptions(spring, outputs);

  CLI::App* conv = app.add_subcommand(
      "convergence", "errors at a fixed time T as the time step halves, and the observed orders");
  conv->require_subcommand(1);
  CLI::App* convFlight = conv->add_subcommand("flight", "convergence of the projectile's flight");
  addFlightOptions(convFlight, flightValues);
  addConvergenceOptions(convFlight, convergence);
  addOutputOptions(convFlight, outputs);
  CLI::App* convSpring = conv->add_subcommand("spring", "convergence of the spring-mass motion");
  addSpringOptions(convSpring, springValues);
  addConvergenceOptions(convSpring, convergence);
  addOutputOptions(convSpring, outputs);

  CLI11_PARSE(app, argc, argv);

  const std::vector<const SchemeInfo*> schemes = chosenSchemes(outputs);
  if (schemes.empty()) return fail("no scheme chosen (--schemes euler,midpoint,rk4)");
  const BallisticsParams flightParams = ballisticsParamsFromPanel(flightValues);
  const SpringMassParams springMassParams = springParams(springValues);

  Delivery delivery(outputs);
  if (*conv) {
    const StudyModel model = *convFlight ? StudyModel::Flight : StudyModel::Spring;
    const float dt =
        model == StudyModel::Flight ? flightParams.timeStep : springMassParams.timeStep;
    double at = convergence.at;
    const std::string problem =
        prepareConvergence(model, flightParams, springMassParams, dt, convergence.levels, at);
    if (!problem.empty()) return fail(problem);
    if (const std::string e = delivery.open(); !e.empty()) return fail(e);
    ConvergenceStudy study;
    {
      ProgressLine progress;
      study = studyConvergence(model, flightParams, springMassParams, schemes, dt,
                               convergence.levels, at, convergence.withDouble,
                               [&progress](const std::string& s) { progress(s); });
    }
    return delivery.deliver([&](std::ostream& o) { printConvergenceTable(o, study, model); },
                            [&](std::ostream& o) { writeConvergenceCsv(o, study); },
                            [&] { return convergenceCharts(study, model); });
  }
  if (const std::string e = delivery.open(); !e.empty()) return fail(e);
  ProgressLine progress;
  const Progress show = [&progress](const std::string& s) { progress(s); };
  // Progress of a CSV file, not of CSV on the terminal itself.
  const Progress showCsv = outputs.csv == "-" ? Progress() : show;
  if (*flight) {
    const FlightStudy study = studyFlight(flightParams, schemes, show);
    progress.clear();
    return delivery.deliver([&](std::ostream& o) { printFlightTable(o, study); },
                            [&](std::ostream& o) { writeFlightCsv(o, study, showCsv); },
                            [&] { return flightCharts(study); });
  }
  const SpringStudy study = studySpring(springMassParams, schemes, show);
  progress.clear();
  return delivery.deliver([&](std::ostream& o) { printSpringTable(o, study); },
                          [&](std::ostream& o) { writeSpringCsv(o, study); },
                          [&] { return springCharts(study); });
}
