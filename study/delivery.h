#pragma once

// Delivering what a study produced: the table or CSV on standard output,
// CSV and figure files written whole or not at all, and progress on a
// terminal while the study runs.

#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "figures.h"
#include "report.h"

// A file that appears under its name only when commit() succeeds: it is
// written to a temporary file beside the target, then renamed over it. A
// file that is not committed is removed.
class PendingFile {
 public:
  // Creates the temporary file; on failure path() is empty and error() says why.
  explicit PendingFile(std::string target);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  const std::string& path() const { return temp_; }
  const std::string& error() const { return error_; }
  // Renames the temporary file to the target; false (and error()) on failure.
  bool commit();

 private:
  std::string target_, temp_, error_;
};

// Shows one updating line on standard error when it is a terminal and the
// work has already taken longer than a moment; otherwise stays silent.
class ProgressLine {
 public:
  ProgressLine();
  ~ProgressLine();
  void operator()(const std::string& what);
  // Removes the line, if shown, before other output goes to the terminal.
  void clear();

 private:
  bool terminal_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_;
};

// Where a command's results go besides standard output; empty: nowhere.
struct OutputPaths {
  std::string csv;   // "-": standard output, instead of the table
  std::string plot;  // .svg, .png or .pdf
};

class Delivery {
 public:
  explicit Delivery(OutputPaths paths) : paths_(std::move(paths)) {}

  // Creates the output files' temporaries before the computation, so that a
  // bad path fails at once: an empty string, or why not.
  std::string open();

  // The computation's progress, shown while it runs.
  Progress progress() {
    return [this](const std::string& what) { progress_(what); };
  }

  // Writes the study's table (unless the CSV goes to standard output), CSV
  // and figure: an empty string, or what went wrong.
  template <class Study>
  std::string deliver(const Study& study) {
    progress_.clear();
    return write([&study](std::ostream& o) { printTable(o, study); },
                 [&study](std::ostream& o, const Progress& p) { writeCsv(o, study, p); },
                 [&study] { return charts(study); });
  }

 private:
  std::string write(const std::function<void(std::ostream&)>& table,
                    const std::function<void(std::ostream&, const Progress&)>& csv,
                    const std::function<std::vector<Chart>()>& figure);

  OutputPaths paths_;
  std::unique_ptr<PendingFile> csv_, plot_;
  ProgressLine progress_;
};
