#pragma once

// The readable tables and the CSV files of pbsim-study. They format what the
// studies hold and compute nothing themselves.

#include <ostream>

#include "convergencestudy.h"
#include "studies.h"

void printTable(std::ostream& out, const FlightStudy& study);
void printTable(std::ostream& out, const SpringStudy& study);
void printTable(std::ostream& out, const FlightConvergence& study);
void printTable(std::ostream& out, const SpringConvergence& study);

// Long files report their progress now and then; a convergence study's few rows do not.
void writeCsv(std::ostream& out, const FlightStudy& study, const Progress& progress = {});
void writeCsv(std::ostream& out, const SpringStudy& study, const Progress& progress = {});
void writeCsv(std::ostream& out, const ConvergenceStudy& study, const Progress& progress = {});
