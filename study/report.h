#pragma once

// The readable tables of pbsim-study, made from the engine's column
// descriptors and notes (columns.h, tables.h); the CSV files are the
// engine's own writers. They format what the studies hold and compute
// nothing themselves.

#include <ostream>
#include <string>
#include <vector>

#include "convergencestudy.h"
#include "stabilitystudy.h"
#include "studies.h"
#include "tables.h"

void printTable(std::ostream& out, const FlightStudy& study);
void printTable(std::ostream& out, const SpringStudy& study);
void printTable(std::ostream& out, const FlightConvergence& study);
void printTable(std::ostream& out, const SpringConvergence& study);
void printTable(std::ostream& out, const SpringStability& study);

// What a user should know before trusting the numbers: a run that ended
// within its first steps. One line each, for standard error.
std::vector<std::string> warnings(const FlightStudy& study);
std::vector<std::string> warnings(const SpringStudy& study);
std::vector<std::string> warnings(const ConvergenceStudy& study);
std::vector<std::string> warnings(const SpringStability& study);
