#include "delivery.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <vector>

PendingFile::PendingFile(std::string target) : target_(std::move(target)) {
  std::vector<char> name(target_.begin(), target_.end());
  const char suffix[] = ".tmp-XXXXXX";
  name.insert(name.end(), suffix, suffix + sizeof suffix);  // with the terminating zero
  const int fd = mkstemp(name.data());
  if (fd < 0) {
    error_ = "cannot write " + target_ + ": " + std::strerror(errno);
    return;
  }
  // mkstemp makes the file private; the result gets the usual permissions.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  close(fd);
  temp_ = name.data();
}

PendingFile::~PendingFile() {
  if (!temp_.empty()) std::remove(temp_.c_str());
}

bool PendingFile::commit() {
  if (temp_.empty()) return false;
  if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
    error_ = "cannot write " + target_ + ": " + std::strerror(errno);
    return false;
  }
  temp_.clear();
  return true;
}

ProgressLine::ProgressLine()
    : terminal_(isatty(STDERR_FILENO) != 0), start_(std::chrono::steady_clock::now()) {}

ProgressLine::~ProgressLine() { clear(); }

void ProgressLine::clear() {
  if (shown_) std::fprintf(stderr, "\r\033[K");
  shown_ = false;
}

void ProgressLine::operator()(const std::string& what) {
  if (!terminal_) return;
  if (!shown_ && std::chrono::steady_clock::now() - start_ < std::chrono::milliseconds(300)) return;
  shown_ = true;
  std::fprintf(stderr, "\r\033[Kpbsim-study: %s ...", what.c_str());
  std::fflush(stderr);
}

std::string Delivery::open() {
  if (!paths_.csv.empty() && paths_.csv != "-") {
    csv_ = std::make_unique<PendingFile>(paths_.csv);
    if (csv_->path().empty()) return csv_->error();
  }
  if (!paths_.plot.empty()) {
    plot_ = std::make_unique<PendingFile>(paths_.plot);
    if (plot_->path().empty()) return plot_->error();
  }
  return "";
}

std::string Delivery::write(const std::function<void(std::ostream&)>& table,
                            const std::function<void(std::ostream&, const Progress&)>& csv,
                            const std::function<std::vector<Chart>()>& figure) {
  if (paths_.csv == "-") {
    csv(std::cout, {});  // no progress for CSV on the terminal itself
  } else {
    table(std::cout);
  }
  std::cout.flush();
  if (!std::cout) return "cannot write to standard output";
  if (csv_) {
    std::ofstream out(csv_->path());
    csv(out, progress());
    progress_.clear();
    out.close();
    if (!out || !csv_->commit())
      return csv_->error().empty() ? "cannot write " + paths_.csv : csv_->error();
  }
  if (plot_) {
    // PLplot asks on standard input when something goes wrong; it gets no terminal.
    if (!std::freopen("/dev/null", "r", stdin)) return "cannot close standard input";
    const std::string error = renderCharts(plot_->path(), plotDevice(paths_.plot), figure());
    if (!error.empty()) return "cannot draw " + paths_.plot + ": " + error;
    std::ifstream back(plot_->path(), std::ios::binary | std::ios::ate);
    if (!back || back.tellg() <= 0) return "cannot draw " + paths_.plot + ": PLplot wrote nothing";
    if (!plot_->commit()) return plot_->error();
  }
  return "";
}
