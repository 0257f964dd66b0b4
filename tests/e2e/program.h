#pragma once

// Runs the built pbsim as a user does: on a pseudo-terminal (so its console
// is a terminal, line-buffered, with the answer typed on it), and drives its
// windows from outside with xdotool. Its standard error goes to a pipe of its
// own, so what it writes there is kept apart from the console transcript. Every wait has a
// deadline; a program still running when its Program object goes away is killed.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#ifndef PBSIM_PATH
#error "PBSIM_PATH must name the pbsim binary"
#endif

class Program {
 public:
  enum class Stdin { Terminal, Pipe };

  // Starts pbsim. With Stdin::Pipe its standard input is a pipe fed by
  // send() and ended by closeInput(); its output stays on the terminal.
  // `arguments` follow the program name. `drawsNothing` says the run ends
  // before any window is drawn (see the unwinder below).
  explicit Program(Stdin input = Stdin::Terminal, bool withDisplay = true,
                   std::vector<std::string> arguments = {}, bool drawsNothing = false) {
    std::vector<char*> argv{const_cast<char*>("pbsim")};
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    int inPipe[2] = {-1, -1};
    if (input == Stdin::Pipe && pipe(inPipe) != 0) std::abort();
    int errPipe[2] = {-1, -1};
    if (pipe(errPipe) != 0) std::abort();
    pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ < 0) std::abort();
    if (pid_ == 0) {
      // The terminal passes bytes unchanged and does not echo, so the
      // transcript is exactly what pbsim wrote.
      termios t;
      tcgetattr(STDIN_FILENO, &t);
      t.c_lflag &= ~ECHO;
      t.c_oflag &= ~OPOST;
      tcsetattr(STDIN_FILENO, TCSANOW, &t);
      dup2(errPipe[1], STDERR_FILENO);
      close(errPipe[0]);
      close(errPipe[1]);
      if (input == Stdin::Pipe) {
        dup2(inPipe[0], STDIN_FILENO);
        close(inPipe[0]);
        close(inPipe[1]);
      }
      if (!withDisplay) unsetenv("DISPLAY");
      // A sanitizer build reports its leak suppressions at exit; that report
      // is not part of the program's console.
      if (const char* lsan = getenv("LSAN_OPTIONS")) {
        setenv("LSAN_OPTIONS", (std::string(lsan) + ":print_suppressions=0").c_str(), 1);
      }
      // The GL driver that glutInit loads is unloaded again at exit, and on
      // some machines it leaks on the way when no window was drawn. Only the
      // full unwinder sees past the driver's frames to glutInit's, which the
      // suppressions name. Once llvmpipe has compiled a shader it deadlocks
      // (libgcc's frame lookup allocates while holding its lock), so runs
      // that draw keep the fast one.
      const char* asan = getenv("ASAN_OPTIONS");
      if (asan != nullptr && drawsNothing) {
        setenv("ASAN_OPTIONS", (std::string(asan) + ":fast_unwind_on_malloc=0").c_str(), 1);
      }
      execv(PBSIM_PATH, argv.data());
      _exit(127);
    }
    close(errPipe[1]);
    errorPipe_ = errPipe[0];
    if (input == Stdin::Pipe) {
      close(inPipe[0]);
      input_ = inPipe[1];
    } else {
      input_ = master_;
    }
    // Kept open so the terminal's settings can be read after pbsim exits.
    slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY);
  }

  ~Program() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (input_ != master_ && input_ >= 0) close(input_);
    if (slave_ >= 0) close(slave_);
    close(errorPipe_);
    close(master_);
  }

  pid_t pid() const { return pid_; }
  const std::string& output() const { return output_; }  // standard output
  const std::string& errors() const { return errors_; }  // standard error

  void send(const std::string& text) {
    if (write(input_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) std::abort();
  }
  void closeInput() {
    close(input_);
    input_ = -1;
  }

  // Reads output until it contains `text`; false at the deadline.
  bool waitForOutput(const std::string& text, double seconds = 30) {
    return until(seconds, [&] { return output_.find(text) != std::string::npos; });
  }
  // Reads output for `seconds` and returns what arrived meanwhile.
  std::string outputDuring(double seconds) {
    const std::size_t before = output_.size();
    until(seconds, [] { return false; });
    return output_.substr(before);
  }
  // Waits for the process to end; false at the deadline. `status` is the exit
  // status, or -1 when it was ended by a signal.
  bool waitForExit(int& status, double seconds = 30) {
    bool done = until(seconds, [&] { return reap(); });
    status = exitStatus_;
    return done;
  }
  bool running() { return !reap(); }

  // The terminal's settings as pbsim left or set them.
  termios terminal() const {
    termios t{};
    tcgetattr(slave_, &t);
    return t;
  }
  bool terminalIsRaw() const {
    const termios t = terminal();
    return (t.c_lflag & (ICANON | ECHO)) == 0;
  }

  template <class Condition>
  bool until(double seconds, Condition done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      pump(50);
    }
    return true;
  }

 private:
  void pump(int milliseconds) {
    pollfd p[2] = {{master_, POLLIN, 0}, {errorPipe_, POLLIN, 0}};
    if (poll(p, 2, milliseconds) > 0) {
      bool got = false;
      std::string* texts[2] = {&output_, &errors_};
      for (int i = 0; i < 2; ++i) {
        if ((p[i].revents & POLLIN) == 0) continue;
        char buffer[4096];
        const ssize_t n = read(p[i].fd, buffer, sizeof buffer);
        if (n > 0) texts[i]->append(buffer, static_cast<std::size_t>(n));
        got = got || n > 0;
      }
      if (!got) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
  }
  bool reap() {
    if (exited_) return true;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
    exited_ = true;
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    // Collect what is still on its way.
    pump(0);
    return true;
  }

  pid_t pid_ = -1;
  int master_ = -1;
  int slave_ = -1;
  int errorPipe_ = -1;
  int input_ = -1;
  bool exited_ = false;
  int exitStatus_ = -1;
  std::string output_;
  std::string errors_;
};

// Runs xdotool with the given arguments (for at most 10 s); returns its
// standard output.
inline std::string xdotool(const std::string& arguments) {
  std::string out;
  FILE* p = popen(("timeout 10 xdotool " + arguments + " 2>/dev/null").c_str(), "r");
  if (p == nullptr) return out;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, p) != nullptr) out += buffer;
  pclose(p);
  return out;
}

// The id of the program's shown window with this exact title, or "" when it
// does not exist within `seconds`. (Any program class with pid() and until()
// will do: the Windows tests' WineProgram too.)
template <class P>
std::string shownWindow(P& program, const std::string& title, double seconds = 30) {
  std::string id;
  program.until(seconds, [&] {
    id = xdotool("search --all --onlyvisible --pid " + std::to_string(program.pid()) +
                 " --name '^" + title + "$'");
    while (!id.empty() && (id.back() == '\n')) id.pop_back();
    return !id.empty() && id.find('\n') == std::string::npos;
  });
  return id.find('\n') == std::string::npos ? id : "";
}

// Clicks at window coordinates (x, y) of window `id`.
inline void clickAt(const std::string& id, int x, int y) {
  xdotool("mousemove --window " + id + " " + std::to_string(x) + " " + std::to_string(y) +
          " click 1");
}

// Replaces the text of the input at window coordinates (x, y) by `text`,
// typed key by key.
inline void typeInto(const std::string& id, int x, int y, const std::string& text) {
  clickAt(id, x, y);
  xdotool("key ctrl+a");
  xdotool("type '" + text + "'");
}

// Closes the program's window with this title as a user does, with Escape
// over it; true once it is no longer shown.
template <class P>
bool closeWithEscape(P& program, const std::string& title, double seconds = 20) {
  std::string id = shownWindow(program, title);
  if (id.empty()) return false;
  return program.until(seconds, [&] {
    xdotool("mousemove --window " + id + " 20 10 key Escape");
    return program.until(1.0, [&] {
      return xdotool("search --all --onlyvisible --pid " + std::to_string(program.pid()) +
                     " --name '^" + title + "$'")
          .empty();
    });
  });
}
