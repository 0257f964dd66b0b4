#pragma once

// Writing files whole or not at all, and progress on a terminal.

#include <chrono>
#include <string>

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
