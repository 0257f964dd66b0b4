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
// file that is not committed is removed. A symbolic link's target is
// replaced, not the link. A target that exists and is not a regular file (a
// device, a FIFO) is written in place.
class PendingFile {
 public:
  // Creates the temporary file; on failure path() is empty and error() says why.
  explicit PendingFile(std::string target);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // Where to write: the temporary file, or the target itself when in place.
  const std::string& path() const { return temp_; }
  const std::string& error() const { return error_; }
  bool inPlace() const { return inPlace_; }
  // Renames the temporary file to the target; false (and error()) on failure.
  bool commit();

 private:
  std::string target_, final_, temp_, error_;
  bool inPlace_ = false;
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
  std::string csv;      // every point; "-": standard output, instead of the table
  std::string summary;  // the table's numbers; "-" as for csv
  std::string plot;     // .svg, .png or .pdf
  std::string figure;   // which figure; "" the command's first
};

class Delivery {
 public:
  // cancel, when given, stops the delivery too (Cancelled), leaving no file.
  explicit Delivery(OutputPaths paths, const CancelFlag* cancel = nullptr)
      : paths_(std::move(paths)), cancel_(cancel) {}

  // Checks the paths and creates the output files' temporaries before the
  // computation, so that a bad path fails at once: an empty string, or why not.
  std::string open();

  // The computation's progress, shown while it runs.
  Progress progress() {
    return [this](const std::string& what) {
      checkCancel(cancel_);
      progress_(what);
    };
  }

  // Warns on standard error, writes the study's table (unless CSV goes to
  // standard output), CSV, summary and figure: an empty string, or what went
  // wrong.
  template <class Study>
  std::string deliver(const Study& study) {
    progress_.clear();
    warn(warnings(study));
    return write([&study](std::ostream& o) { printTable(o, study); },
                 [&study](std::ostream& o, const Progress& p) { writeCsv(o, study, p); },
                 [&study](std::ostream& o) { writeSummary(o, study); },
                 [&study, this] { return charts(study, paths_.figure); });
  }

 private:
  using Writer = std::function<void(std::ostream&)>;
  void warn(const std::vector<std::string>& lines);
  std::string write(const Writer& table,
                    const std::function<void(std::ostream&, const Progress&)>& csv,
                    const Writer& summary, const std::function<std::vector<Chart>()>& figure);
  std::string writeFile(PendingFile& file, const std::string& name,
                        const std::function<void(std::ostream&)>& writer);

  OutputPaths paths_;
  const CancelFlag* cancel_;
  std::unique_ptr<PendingFile> csv_, summary_, plot_;
  ProgressLine progress_;
};
