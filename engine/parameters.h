#pragma once

// The parameter table of each model: every value a user sets, once, with
// the name the front ends give it (the Python module's keyword, the page's
// field and address key, pbsim-study's --option), the panel's label, group
// and unit, a one-line help, the rule it must satisfy and where the panel
// values keep it. The start-up value is the panel values' own
// (BallisticsPanelValues{}, SpringPanelValues{}); the conversion to the model
// is the setup header's (ballisticsParamsFromPanel, springParamsFromPanel).
// Validation, pbsim-study's options, the Python keyword arguments and the
// page's fields are all made from these rows.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "ballisticssetup.h"
#include "cases.h"
#include "springmasssetup.h"

enum class Rule {
  Finite,    // a finite number within single precision
  Positive,  // ... and greater than 0, and not 0 once rounded to single precision
};

template <class Values>
struct Parameter {
  std::string_view name;   // as the front ends call it
  std::string_view label;  // the panel's label
  std::string_view group;  // the panel's group it sits in
  std::string_view unit;   // of the panel's value
  std::string_view help;   // one line
  Rule rule;
  double Values::*member;  // where panel values keep it
  bool flown = true;       // false: only drawn (the target), not an option of the study
  std::string_view quadraticUnit = {};  // the unit under quadratic drag, where it differs

  double startUp() const { return Values{}.*member; }
};

inline constexpr std::array<Parameter<BallisticsPanelValues>, 10> kFlightParameters{{
    {"azimuth", "Azimuth", "Gun Control", "°",
     "aim from straight ahead (+z), degrees; positive turns the gun towards -x, as on pbsim's "
     "panel",
     Rule::Finite, &BallisticsPanelValues::azimuth},
    {"elevation", "Elevation", "Gun Control", "°", "aim above the horizontal, degrees",
     Rule::Finite, &BallisticsPanelValues::elevation},
    {"mass", "Projectile Mass", "Gun Control", "kg", "projectile mass, kg (above 0)",
     Rule::Positive, &BallisticsPanelValues::projectileMass},
    {"powder", "Powder Amount", "Gun Control", "units", "amount of powder", Rule::Finite,
     &BallisticsPanelValues::powderAmount},
    {"power", "Powder Power", "Physical constants", "kg m/s",
     "impulse of one unit of powder, kg m/s (muzzle speed = powder x power / mass)", Rule::Finite,
     &BallisticsPanelValues::powderPower},
    {"gravity", "Gravity", "Physical constants", "m/s²",
     "gravity, an acceleration along y in m/s^2 (negative pulls down; the mass does not scale "
     "it)",
     Rule::Finite, &BallisticsPanelValues::gravity},
    {"friction", "Air Friction", "Physical constants", "kg/s",
     "linear air friction, kg/s: the drag force is -friction x velocity", Rule::Finite,
     &BallisticsPanelValues::airFriction, true, "kg/m"},
    {"target_x", "X", "Target", "m",
     "the target's X on pbsim's panel, m: along the model's z axis (drawn, not flown)",
     Rule::Finite, &BallisticsPanelValues::targetX, false},
    {"target_z", "Z", "Target", "m",
     "the target's Z on pbsim's panel, m: along the model's x axis (drawn, not flown)",
     Rule::Finite, &BallisticsPanelValues::targetZ, false},
    {"dt", "Time Step", "Timing", "s", "time step, s (above 0)", Rule::Positive,
     &BallisticsPanelValues::timeStep},
}};

inline constexpr std::array<Parameter<SpringPanelValues>, 6> kSpringParameters{{
    {"mass", "Mass", "Parameters", "kg", "mass of the body, kg (above 0)", Rule::Positive,
     &SpringPanelValues::mass},
    {"ks", "Spring Ks", "Parameters", "N/m", "spring stiffness, N/m", Rule::Finite,
     &SpringPanelValues::ks},
    {"kd", "Spring Kd", "Parameters", "kg/s",
     "damping, kg/s: the damping force is -kd x vertical velocity", Rule::Finite,
     &SpringPanelValues::kd},
    {"rest", "Rest Length", "Parameters", "m", "rest length of the spring, m", Rule::Finite,
     &SpringPanelValues::rest},
    {"gravity", "Gravity", "Parameters", "N",
     "gravity, a constant force on the body along y in N, not an acceleration: the resting "
     "height gravity/ks - rest does not depend on the mass",
     Rule::Finite, &SpringPanelValues::gravity},
    {"dt", "Time Step", "Scheme", "s", "time step, s (above 0)", Rule::Positive,
     &SpringPanelValues::timeStep},
}};

// The table of the model whose panel values are Values.
template <class Values>
constexpr const auto& parametersOf() {
  if constexpr (std::is_same_v<Values, BallisticsPanelValues>)
    return kFlightParameters;
  else
    return kSpringParameters;
}

// The row called `name`, or nullptr.
template <class Values>
const Parameter<Values>* findParameter(std::string_view name) {
  for (const Parameter<Values>& p : parametersOf<Values>())
    if (p.name == name) return &p;
  return nullptr;
}

// Every parameter's name, comma separated, for messages.
template <class Values>
std::string parameterNames() {
  std::string names;
  for (const Parameter<Values>& p : parametersOf<Values>())
    names += (names.empty() ? "" : ", ") + std::string(p.name);
  return names;
}

// A row without its model's panel values, for front ends that list the
// parameters of a model they know by name.
struct ParameterDescription {
  std::string_view name, label, group, unit, help, quadraticUnit;
  Rule rule;
  double startUp;
  bool flown;
};

// The parameters of "flight" or "spring"; nothing for any other name.
std::optional<std::vector<ParameterDescription>> describeParameters(std::string_view model);

// What a rule asks for, in words: "a finite number", "a number greater than 0".
const char* ruleText(Rule rule);

// The problem with one value under a rule, or nothing (validation.h words it).
std::optional<Problem> ruleProblem(std::string_view name, Rule rule, double value);

// Sets the parameter called `name`; false when the model has none of that name.
template <class Values>
bool setParameter(Values& v, std::string_view name, double value) {
  const Parameter<Values>* p = findParameter<Values>(name);
  if (p) v.*(p->member) = value;
  return p != nullptr;
}

// Every parameter's problem, at most one each, in the table's order: what a
// form shows beside its fields.
template <class Values>
std::vector<Problem> parameterProblems(const Values& v) {
  std::vector<Problem> out;
  for (const Parameter<Values>& p : parametersOf<Values>())
    if (auto problem = ruleProblem(p.name, p.rule, v.*(p.member))) out.push_back(*problem);
  return out;
}

// The built-in scheme called `name`, or the problem with it under the
// argument `parameter`: "must be one of euler, midpoint, ..., not 'x'".
const SchemeInfo* schemeArgument(std::string_view name, std::optional<Problem>& problem,
                                 const std::string& parameter = "scheme");
// The precision called `name` ("single" or "double"), or the problem with it.
Precision precisionArgument(std::string_view name, std::optional<Problem>& problem);

// The flight's drag laws by name: "linear" (pbsim's) and "quadratic".
inline constexpr std::array<DragLaw, 2> kDragLaws{{DragLaw::Linear, DragLaw::Quadratic}};
const char* dragLawName(DragLaw law);
std::optional<DragLaw> dragLawNamed(std::string_view name);
// The law called `name`, or the problem with it under the argument "drag".
DragLaw dragLawArgument(std::string_view name, std::optional<Problem>& problem);
