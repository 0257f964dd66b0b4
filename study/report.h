#pragma once

// The readable tables and the CSV files of pbsim-study. They format what the
// studies hold and compute nothing themselves. Columns carry the engine's
// names (runs.h, convergence.h).

#include <ostream>
#include <string>
#include <vector>

#include "convergencestudy.h"
#include "studies.h"

void printTable(std::ostream& out, const FlightStudy& study);
void printTable(std::ostream& out, const SpringStudy& study);
void printTable(std::ostream& out, const FlightConvergence& study);
void printTable(std::ostream& out, const SpringConvergence& study);

// Every point of every run (every level, for convergence). Long files report
// their progress now and then; a convergence study's few rows do not.
void writeCsv(std::ostream& out, const FlightStudy& study, const Progress& progress = {});
void writeCsv(std::ostream& out, const SpringStudy& study, const Progress& progress = {});
void writeCsv(std::ostream& out, const ConvergenceStudy& study, const Progress& progress = {});

// The table's numbers, one row per scheme (and the exact flight's row); a
// convergence table's rows are its CSV rows.
void writeSummary(std::ostream& out, const FlightStudy& study);
void writeSummary(std::ostream& out, const SpringStudy& study);
void writeSummary(std::ostream& out, const ConvergenceStudy& study);

// What a user should know before trusting the numbers: a run that ended
// within its first steps. One line each, for standard error.
std::vector<std::string> warnings(const FlightStudy& study);
std::vector<std::string> warnings(const SpringStudy& study);
std::vector<std::string> warnings(const ConvergenceStudy& study);

// The shortest decimal that reads back to the same value ("" for NaN).
std::string shortest(double v);
std::string shortest(float v);
