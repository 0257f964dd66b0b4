#include "output.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
