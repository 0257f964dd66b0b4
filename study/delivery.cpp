#include "delivery.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <vector>

namespace {

// The file a chain of symbolic links ends at (the path itself when it is no
// link); a dangling link's target is where the new file goes.
std::string resolveLinks(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
    std::vector<char> buf(PATH_MAX + 1);
    const ssize_t n = readlink(path.c_str(), buf.data(), PATH_MAX);
    if (n <= 0) break;
    const std::string to(buf.data(), static_cast<std::size_t>(n));
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    path = to.front() == '/' || parent.empty() ? to : (parent / to).string();
  }
  return path;
}

// What a path names, to find two outputs going to the same place: the
// file's device and inode when it exists, else its absolute path with links
// resolved.
std::string identity(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) == 0)
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
  std::error_code ec;
  const auto p = std::filesystem::weakly_canonical(std::filesystem::absolute(path), ec);
  return ec ? path : p.string();
}

bool isStandardOutput(const std::string& path) {
  if (path == "-") return true;
  struct stat a {
  }, b{};
  return stat(path.c_str(), &a) == 0 && fstat(STDOUT_FILENO, &b) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

// Whether a figure file ends as every whole figure of its format ends.
// PLplot does not report a failed write: a figure cut short (a full disk, a
// file-size limit) lacks its end.
bool wholeFigure(const std::string& path, const std::string& device) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return false;
  const std::streamoff size = in.tellg();
  const std::streamoff tail = std::min<std::streamoff>(size, 16);
  std::string end(static_cast<std::size_t>(tail), '\0');
  in.seekg(size - tail);
  in.read(end.data(), tail);
  if (!in) return false;
  auto endsWith = [&](const std::string& s) {
    return end.size() >= s.size() && end.compare(end.size() - s.size(), s.size(), s) == 0;
  };
  if (device == "svg") return endsWith("</svg>\n");
  if (device == "pngcairo")
    return endsWith(std::string("IEND\xae\x42\x60\x82", 8));  // the last chunk
  if (device == "pdfcairo") return end.find("%%EOF") != std::string::npos;
  return size > 0;
}

// A private file in the temporary directory, removed with this object;
// path is empty when none could be made.
struct ScratchFile {
  std::string path;
  ScratchFile() {
    const char* dir = std::getenv("TMPDIR");
    std::string name = std::string(dir && *dir ? dir : "/tmp") + "/pbsim-study-XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) return;
    close(fd);
    path = name;
  }
  ~ScratchFile() {
    if (!path.empty()) std::remove(path.c_str());
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
};

// Copies a file's bytes to `to` (a device or a FIFO); false when a read or a
// write failed.
bool copyFile(const std::string& from, const std::string& to) {
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(to, std::ios::binary);
  if (!in || !out) return false;
  out << in.rdbuf();
  out.close();
  return !in.bad() && !out.fail();
}

}  // namespace

PendingFile::PendingFile(std::string target) : target_(std::move(target)) {
  struct stat st {};
  if (stat(target_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    if (S_ISDIR(st.st_mode)) {
      error_ = "cannot write " + target_ + ": it is a directory";
    } else if (access(target_.c_str(), W_OK) != 0) {
      error_ = "cannot write " + target_ + ": " + std::strerror(errno);
    } else {
      // A device or a FIFO: nothing to rename, written where it is.
      inPlace_ = true;
      temp_ = target_;
    }
    return;
  }
  final_ = resolveLinks(target_);
  std::vector<char> name(final_.begin(), final_.end());
  const char suffix[] = ".tmp-XXXXXX";
  name.insert(name.end(), suffix, suffix + sizeof suffix);  // with the terminating zero
  const int fd = mkstemp(name.data());
  if (fd < 0) {
    error_ = "cannot write " + target_ + ": " + std::strerror(errno);
    return;
  }
  // mkstemp makes the file private; the result keeps the permissions of the
  // file it replaces, or gets the usual ones.
  mode_t mode = 0;
  if (stat(final_.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  fchmod(fd, mode);
  close(fd);
  temp_ = name.data();
}

PendingFile::~PendingFile() {
  if (!inPlace_ && !temp_.empty()) std::remove(temp_.c_str());
}

bool PendingFile::commit() {
  if (temp_.empty()) return false;
  if (inPlace_) return true;
  if (std::rename(temp_.c_str(), final_.c_str()) != 0) {
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
  struct Output {
    const char* option;
    std::string* path;
  };
  const Output outputs[] = {
      {"--csv", &paths_.csv}, {"--summary", &paths_.summary}, {"--plot", &paths_.plot}};
  // A path that is standard output itself goes there as "-" does.
  for (const Output& o : outputs)
    if (!o.path->empty() && isStandardOutput(*o.path)) *o.path = "-";
  if (paths_.plot == "-") return "--plot cannot draw on standard output; give a file name";
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t j = i + 1; j < 3; ++j) {
      const std::string &a = *outputs[i].path, &b = *outputs[j].path;
      if (a.empty() || b.empty()) continue;
      if (a == "-" && b == "-")
        return std::string(outputs[i].option) + " and " + outputs[j].option +
               " cannot both write to standard output";
      if (a != "-" && b != "-" && identity(a) == identity(b))
        return std::string(outputs[i].option) + " and " + outputs[j].option + " both name " + a +
               ": give each output its own file";
    }
  std::unique_ptr<PendingFile>* files[] = {&csv_, &summary_, &plot_};
  for (std::size_t i = 0; i < 3; ++i) {
    const std::string& path = *outputs[i].path;
    if (path.empty() || path == "-") continue;
    *files[i] = std::make_unique<PendingFile>(path);
    if ((*files[i])->path().empty()) return (*files[i])->error();
  }
  return "";
}

void Delivery::warn(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) std::cerr << "pbsim-study: warning: " << line << '\n';
}

std::string Delivery::writeFile(PendingFile& file, const std::string& name,
                                const std::function<void(std::ostream&)>& writer) {
  std::ofstream out(file.path(), std::ios::binary | std::ios::trunc);
  writer(out);
  out.close();
  checkCancel(cancel_);
  if (!out) return "cannot write " + name;
  if (!file.commit()) return file.error();
  return "";
}

std::string Delivery::write(const Writer& table,
                            const std::function<void(std::ostream&, const Progress&)>& csv,
                            const Writer& summary,
                            const std::function<std::vector<Chart>()>& figure) {
  if (paths_.csv == "-")
    csv(std::cout, {});  // no progress for CSV on the terminal itself
  else if (paths_.summary == "-")
    summary(std::cout);
  else
    table(std::cout);
  std::cout.flush();
  if (!std::cout) return "cannot write to standard output";
  if (csv_) {
    const std::string e =
        writeFile(*csv_, paths_.csv, [&](std::ostream& o) { csv(o, progress()); });
    progress_.clear();
    if (!e.empty()) return e;
  }
  if (summary_)
    if (const std::string e = writeFile(*summary_, paths_.summary, summary); !e.empty()) return e;
  if (plot_) {
    // PLplot asks on standard input when something goes wrong; it gets no terminal.
    if (!std::freopen("/dev/null", "r", stdin)) return "cannot close standard input";
    // PLplot does not report a failed write: the figure is drawn into a
    // file of its own (a device or a FIFO then gets a copy), checked whole,
    // and only then delivered.
    std::optional<ScratchFile> scratch;
    if (plot_->inPlace()) {
      scratch.emplace();
      if (scratch->path.empty())
        return "cannot draw " + paths_.plot + ": no temporary file: " + std::strerror(errno);
    }
    const std::string drawn = scratch ? scratch->path : plot_->path();
    const std::string device = plotDevice(paths_.plot);
    const std::string error = renderCharts(drawn, device, figure());
    checkCancel(cancel_);
    if (!error.empty()) return "cannot draw " + paths_.plot + ": " + error;
    if (!wholeFigure(drawn, device))
      return "cannot write " + paths_.plot + ": PLplot could not write the whole figure";
    if (scratch && !copyFile(drawn, plot_->path())) return "cannot write " + paths_.plot;
    if (!plot_->commit()) return plot_->error();
  }
  return "";
}
