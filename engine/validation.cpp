#include "validation.h"

#include <cfloat>
#include <cmath>
#include <cstdio>

namespace {

std::string shown(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.9g", v);
  return buf;
}

struct Value {
  const char* name;
  double value;
  bool positive;
};

template <std::size_t N>
std::optional<Problem> firstProblem(const Value (&values)[N]) {
  for (const Value& x : values)
    if (auto p = valueProblem(x.name, x.value, x.positive)) return p;
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

std::optional<Problem> flightProblem(const BallisticsPanelValues& v) {
  const Value values[] = {{"azimuth", v.azimuth, false},      {"elevation", v.elevation, false},
                          {"mass", v.projectileMass, true},   {"powder", v.powderAmount, false},
                          {"power", v.powderPower, false},    {"gravity", v.gravity, false},
                          {"friction", v.airFriction, false}, {"dt", v.timeStep, true}};
  return firstProblem(values);
}

std::optional<Problem> springProblem(const SpringPanelValues& v, std::optional<double> until) {
  const Value values[] = {{"mass", v.mass, true},        {"ks", v.ks, false},
                          {"kd", v.kd, false},           {"rest", v.rest, false},
                          {"gravity", v.gravity, false}, {"dt", v.timeStep, true}};
  if (auto p = firstProblem(values)) return p;
  if (until) {
    if (!std::isfinite(*until))
      return Problem{"until", "must be a finite time, not " + shown(*until)};
    if (!(*until > 0.0)) return Problem{"until", "must be greater than 0"};
  }
  return std::nullopt;
}
