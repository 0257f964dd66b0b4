#pragma once

// The CSV files every front end writes, made from the column descriptors
// (columns.h): every point of every run, the per-scheme summaries (with the
// exact flight's landing as its own row), and convergence studies. And the
// notes a front end shows beside a study's numbers, worded once here.

#include <ostream>
#include <string>
#include <vector>

#include "columns.h"
#include "studies.h"

// Every point of every run (every level, for convergence). Long files report
// their progress now and then; a convergence study's few rows do not.
void writeCsv(std::ostream& out, const FlightStudy& study, const Progress& progress = {});
void writeCsv(std::ostream& out, const SpringStudy& study, const Progress& progress = {});
void writeCsv(std::ostream& out, const ConvergenceStudy& study, const Progress& progress = {});

// A column's name where `judge` ("exact" or "reference") measures the run:
// exact_x becomes reference_x.
std::string judgedName(std::string_view name, std::string_view judge);

// The exact landing's value of the summary field called `name` (one of
// kExactLandingFields), NaN for any other field: the exact row beside a
// flight study's runs.
double exactLandingValue(const ExactLanding& e, std::string_view name);

// One row per scheme (and the exact flight's row); a convergence study's
// summary is its CSV.
void writeSummary(std::ostream& out, const FlightStudy& study);
void writeSummary(std::ostream& out, const SpringStudy& study);
void writeSummary(std::ostream& out, const ConvergenceStudy& study);
// A stability study's rows (kStabilityFields); its CSV is its summary.
void writeCsv(std::ostream& out, const StabilityStudy& study, const Progress& progress = {});
void writeSummary(std::ostream& out, const StabilityStudy& study);

// What a user should know before trusting a study's numbers.
struct Note {
  enum class Kind {
    FewSteps,        // ended by itself within kFewSteps steps
    StepLimit,       // a flight still in the air at the step limit
    Stuck,           // a flight whose step no longer moves it
    SampleLimit,     // a spring not at rest at the sample limit
    NotRun,          // a spring with no mass
    NeverLands,      // the exact flight never comes down
    NoClosedForm,    // the spring's values have no closed form
    ClosedFormEnds,  // the body reaches the anchor, where the closed form ends
    Reference,       // what a flight without closed form is measured against
    BelowReference,  // a run's errors within the reference's own error
    Diverged,        // a run whose state overflowed: its errors are not numbers
    Failed,          // an adaptive step too small, an implicit step's Newton iteration failing
    Tolerance,       // an adaptive run's rtol finer than double precision resolves
  };
  Kind kind;
  std::string scheme;   // the run it is about; empty for the exact solution
  std::string text;     // the line shown below the study's table
  std::string warning;  // the same as a warning on its own, or empty for no warning
};

// The notes of a study, in the order a table shows them. `dt` is how the
// front end names the time step in its advice ("--dt", "dt", "Time Step").
std::vector<Note> notes(const FlightStudy& study, const std::string& dt);
std::vector<Note> notes(const SpringStudy& study, const std::string& dt);
