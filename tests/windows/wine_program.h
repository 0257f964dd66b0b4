#pragma once

// Runs the cross-built pbsim.exe under Wine as a Windows user runs it from a
// console: its standard input is a pseudo-terminal, which Wine makes the
// program's console (so _getch reads keys typed on it), while its standard
// output and error go to pipes of their own, so the transcript is exactly
// what pbsim wrote (Wine's console on a terminal would add its own cursor
// movements). Every wait has a deadline; a program still running when its
// WineProgram goes away is killed.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#if !defined(PBSIM_WINE) || !defined(PBSIM_EXE) || !defined(PBSIM_WINEPREFIX)
#error "PBSIM_WINE, PBSIM_EXE and PBSIM_WINEPREFIX must name Wine, pbsim.exe and Wine's prefix"
#endif

// The environment of every Windows program the tests start: the tests' own
// Wine prefix, no debugging channels, and no installers of Wine's .NET and
// HTML engines (they would open dialogs).
inline void setWineEnvironment() {
  setenv("WINEPREFIX", PBSIM_WINEPREFIX, 1);
  setenv("WINEDEBUG", "-all", 1);
  setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
}

class WineProgram {
 public:
  // Starts `exe` (pbsim.exe unless given) with `arguments`.
  explicit WineProgram(std::vector<std::string> arguments = {}, const char* exe = PBSIM_EXE) {
    std::vector<char*> argv{const_cast<char*>(PBSIM_WINE), const_cast<char*>(exe)};
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    int slave = -1;
    if (openpty(&console_, &slave, nullptr, nullptr, nullptr) != 0) std::abort();
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) std::abort();
    pid_ = fork();
    if (pid_ < 0) std::abort();
    if (pid_ == 0) {
      setsid();
      dup2(slave, STDIN_FILENO);
      dup2(outPipe[1], STDOUT_FILENO);
      dup2(errPipe[1], STDERR_FILENO);
      for (int fd : {slave, console_, outPipe[0], outPipe[1], errPipe[0], errPipe[1]}) close(fd);
      setWineEnvironment();
      execv(PBSIM_WINE, argv.data());
      _exit(127);
    }
    // Kept open to see the terminal's settings.
    slave_ = slave;
    close(outPipe[1]);
    close(errPipe[1]);
    fds_[0] = outPipe[0];
    fds_[1] = errPipe[0];
    fds_[2] = console_;
  }

  ~WineProgram() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    for (int fd : fds_) {
      if (fd >= 0) close(fd);
    }
    close(slave_);
  }

  WineProgram(const WineProgram&) = delete;
  WineProgram& operator=(const WineProgram&) = delete;

  pid_t pid() const { return pid_; }
  const std::string& output() const { return output_; }  // standard output
  const std::string& errors() const { return errors_; }  // standard error

  // Types on the console; Enter is "\r", as a terminal sends it. Wine's
  // console takes the terminal over (raw mode) a moment after the program
  // starts, discarding what was typed before: the first keys wait for it.
  void send(const std::string& text) {
    if (!consoleReady_) {
      consoleReady_ = until(30, [&] {
        termios t{};
        return tcgetattr(slave_, &t) == 0 && (t.c_lflag & ICANON) == 0;
      });
    }
    if (write(console_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
      std::abort();
    }
  }

  bool waitForOutput(const std::string& text, double seconds = 60) {
    return until(seconds, [&] { return output_.find(text) != std::string::npos; });
  }
  std::string outputDuring(double seconds) {
    const std::size_t before = output_.size();
    until(seconds, [] { return false; });
    return output_.substr(before);
  }
  // Waits for the process to end; `status` is its exit status, or -1 when it
  // was ended by a signal.
  bool waitForExit(int& status, double seconds = 30) {
    const bool done = until(seconds, [&] { return reap(); });
    status = exitStatus_;
    return done;
  }
  bool running() { return !reap(); }

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
    pollfd p[3];
    for (int i = 0; i < 3; ++i) p[i] = {fds_[i], POLLIN, 0};
    bool got = false;
    if (poll(p, 3, milliseconds) > 0) {
      std::string* texts[3] = {&output_, &errors_, &console_text_};
      for (int i = 0; i < 3; ++i) {
        if ((p[i].revents & (POLLIN | POLLHUP)) == 0) continue;
        char buffer[4096];
        const ssize_t n = read(p[i].fd, buffer, sizeof buffer);
        if (n > 0) {
          texts[i]->append(buffer, static_cast<std::size_t>(n));
          got = true;
        } else if (i < 2) {
          // The pipe's writers are gone: nothing more will come.
          close(fds_[i]);
          fds_[i] = -1;
        }
      }
    }
    if (!got && milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  bool reap() {
    if (exited_) return true;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
    exited_ = true;
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    // Collect what is still on its way.
    for (int i = 0; i < 5; ++i) pump(20);
    return true;
  }

  pid_t pid_ = -1;
  int console_ = -1;
  int slave_ = -1;
  bool consoleReady_ = false;
  int fds_[3] = {-1, -1, -1};  // standard output, standard error, the console
  bool exited_ = false;
  int exitStatus_ = -1;
  std::string output_;
  std::string errors_;
  std::string console_text_;  // what Wine draws on the console terminal; not checked
};
