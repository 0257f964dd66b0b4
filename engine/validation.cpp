#include "validation.h"

#include <cfloat>
#include <cmath>
#include <cstdio>

#include "convergence.h"
#include "parameters.h"

namespace {

std::string shown(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.9g", v);
  return buf;
}

// The first problem of the values, in the table's order.
template <class Values>
std::optional<Problem> firstProblem(const Values& v) {
  for (const Parameter<Values>& p : parametersOf<Values>())
    if (auto problem = ruleProblem(p.name, p.rule, v.*(p.member))) return problem;
  return std::nullopt;
}

}  // namespace

std::optional<Problem> valueProblem(const std::string& name, double value, bool positive) {
  if (!std::isfinite(value)) return Problem{name, "must be a finite number, not " + shown(value)};
  if (std::fabs(value) > FLT_MAX)
    return Problem{
        name, "must lie within single precision (magnitude at most 3.4e38), not " + shown(value)};
  if (positive && !(value > 0.0)) return Problem{name, "must be greater than 0"};
  if (positive && static_cast<float>(value) == 0.0f)
    return Problem{name,
                   "must be greater than 0, and " + shown(value) + " is 0 in single precision"};
  return std::nullopt;
}

std::optional<Problem> ruleProblem(std::string_view name, Rule rule, double value) {
  return valueProblem(std::string(name), value, rule == Rule::Positive);
}

const char* ruleText(Rule rule) {
  return rule == Rule::Positive ? "a number greater than 0" : "a finite number";
}

std::optional<std::vector<ParameterDescription>> describeParameters(std::string_view model) {
  auto describe = [](const auto& table) {
    std::vector<ParameterDescription> out;
    for (const auto& p : table)
      out.push_back({p.name, p.label, p.group, p.unit, p.help, p.quadraticUnit, p.rule, p.startUp(),
                     p.flown});
    return out;
  };
  if (model == "flight") return describe(kFlightParameters);
  if (model == "spring") return describe(kSpringParameters);
  return std::nullopt;
}

std::optional<Problem> flightProblem(const BallisticsPanelValues& v) {
  if (auto p = firstProblem(v)) return p;
  if (v.drag == DragLaw::Quadratic) return quadraticDragProblem(ballisticsParamsFromPanel(v));
  return std::nullopt;
}

std::optional<Problem> quadraticDragProblem(const BallisticsParams& p) {
  if (p.airFriction < 0.0f)
    return Problem{"friction",
                   "must not be negative with quadratic drag, not " + shown(p.airFriction)};
  const double k = static_cast<double>(p.airFriction) / static_cast<double>(p.projectileMass);
  if (!(k > 0.0)) return std::nullopt;
  // The fastest the projectile flies: its muzzle speed, or the terminal
  // speed it falls towards.
  const double v0 = muzzleVelocity(p).length();
  const double terminal = std::sqrt(std::fabs(static_cast<double>(p.gravity)) / k);
  const double fastest = std::fmax(v0, terminal);
  if (!(k * fastest * fastest <= FLT_MAX))
    return Problem{"friction", "with quadratic drag gives a deceleration of " +
                                   shown(k * fastest * fastest) + " m/s^2 at " + shown(fastest) +
                                   " m/s, beyond single precision"};
  // A step longer than 1/(k·|v|) reverses the velocity within the step in
  // an explicit scheme, and the flight then grows without bound.
  const double longest = 1.0 / (k * fastest);
  if (!(static_cast<double>(p.timeStep) < longest))
    return Problem{"dt", "must be shorter than " + shown(longest) + " s with quadratic drag: at " +
                             shown(fastest) +
                             " m/s a longer step reverses the velocity within the step"};
  return std::nullopt;
}

const char* dragLawName(DragLaw law) { return law == DragLaw::Quadratic ? "quadratic" : "linear"; }

std::optional<DragLaw> dragLawNamed(std::string_view name) {
  if (name == "linear") return DragLaw::Linear;
  if (name == "quadratic") return DragLaw::Quadratic;
  return std::nullopt;
}

DragLaw dragLawArgument(std::string_view name, std::optional<Problem>& problem) {
  const std::optional<DragLaw> law = dragLawNamed(name);
  if (!law && !problem)
    problem = Problem{"drag", "must be linear or quadratic, not '" + std::string(name) + "'"};
  return law.value_or(DragLaw::Linear);
}

std::optional<Problem> springProblem(const SpringPanelValues& v, std::optional<double> until) {
  if (auto p = firstProblem(v)) return p;
  if (until) {
    if (!std::isfinite(*until))
      return Problem{"until", "must be a finite time, not " + shown(*until)};
    if (!(*until > 0.0)) return Problem{"until", "must be greater than 0"};
  }
  return std::nullopt;
}

const SchemeInfo* schemeArgument(std::string_view name, std::optional<Problem>& problem,
                                 const std::string& parameter) {
  const SchemeInfo* s = schemeNamed(name);
  if (!s && !problem)
    problem =
        Problem{parameter, "must be one of " + schemeNames() + ", not '" + std::string(name) + "'"};
  return s;
}

Precision precisionArgument(std::string_view name, std::optional<Problem>& problem) {
  const std::optional<Precision> p = precisionNamed(std::string(name));
  if (!p && !problem)
    problem = Problem{"precision", "must be single or double, not '" + std::string(name) + "'"};
  return p.value_or(Precision::Single);
}

std::optional<Problem> wordProblem(const std::string& name, const std::vector<std::string>& words,
                                   const std::string& value) {
  std::string listed;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (words[i] == value) return std::nullopt;
    listed += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + words[i];
  }
  return Problem{name, "must be " + listed + ", not '" + value + "'"};
}

std::vector<std::string> landingWords() {
  return {landingName(Landing::Linear), landingName(Landing::Interpolated)};
}

std::vector<std::string> quantityWords() {
  return {quantityName(ConvergenceQuantity::AtTime), quantityName(ConvergenceQuantity::Landing)};
}

std::vector<std::string> sweepWords() {
  return {sweepName(ConvergenceSweep::Auto), sweepName(ConvergenceSweep::Step),
          sweepName(ConvergenceSweep::Tolerance)};
}
