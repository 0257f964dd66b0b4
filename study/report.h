#pragma once

// The readable tables and the CSV files of pbsim-study.

#include <ostream>

#include "studies.h"

void printFlightTable(std::ostream& out, const FlightStudy& study);
void printSpringTable(std::ostream& out, const SpringStudy& study);
void printConvergenceTable(std::ostream& out, const ConvergenceStudy& study, StudyModel model);

// Long files report their progress now and then.
void writeFlightCsv(std::ostream& out, const FlightStudy& study, const Progress& progress = {});
void writeSpringCsv(std::ostream& out, const SpringStudy& study);
void writeConvergenceCsv(std::ostream& out, const ConvergenceStudy& study);
