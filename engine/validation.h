#pragma once

// Checks of the values users type, in the panels' units, before a model runs:
// every front end refuses the same values with the same words. A problem
// names the parameter as the Python module and the page name it (azimuth,
// elevation, mass, powder, power, gravity, friction, ks, kd, rest, dt, until);
// the command line puts its "--" in front.

#include <optional>
#include <string>
#include <vector>

#include "ballisticssetup.h"
#include "cases.h"
#include "springmasssetup.h"

// The first problem with the flight's values, or nothing.
std::optional<Problem> flightProblem(const BallisticsPanelValues& v);
// What quadratic drag refuses beyond the values' own rules: a negative
// friction, a deceleration beyond single precision, a time step so long that
// a step reverses the velocity.
std::optional<Problem> quadraticDragProblem(const BallisticsParams& p);
// The first problem with the spring's values, or nothing; `until`, when
// given, must be a finite time above 0.
std::optional<Problem> springProblem(const SpringPanelValues& v,
                                     std::optional<double> until = std::nullopt);

// One value: finite and within single precision; with `positive`, also
// greater than 0 and not 0 once rounded to single precision.
std::optional<Problem> valueProblem(const std::string& name, double value, bool positive = false);

// A word that must be one of `words`, or nothing when it is one: "must be
// linear or interpolated, not 'cubic'".
std::optional<Problem> wordProblem(const std::string& name, const std::vector<std::string>& words,
                                   const std::string& value);

// The words of a run's and a study's choices, in the order front ends list
// them: the landing rule (linear, interpolated), what a convergence study
// measures (at_time, landing) and what it sweeps (auto, dt, rtol).
std::vector<std::string> landingWords();
std::vector<std::string> quantityWords();
std::vector<std::string> sweepWords();
