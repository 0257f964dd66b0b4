#include "console.h"

#ifdef _WIN32
#include <conio.h>
#include <windows.h>
#else
#include <X11/Xlib.h>
#include <stdio_ext.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#endif

#include <cstdio>
#include <cstdlib>
#include <istream>
#include <limits>

ModeReply readModeReply(std::istream& in, int& mode) {
  // Blank lines and leading blanks are skipped, as the int read itself would;
  // an input that holds nothing else has ended without a reply.
  if (!(in >> std::ws) || in.eof()) return ModeReply::EndOfInput;
  int value = 0;
  if (!(in >> value)) return ModeReply::NotANumber;
  mode = value;
  return ModeReply::Number;
}

#ifndef _WIN32
const char* displayName(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "-display") == 0) return argv[i + 1];
  }
  const char* env = std::getenv("DISPLAY");
  return (env != nullptr && env[0] != '\0') ? env : nullptr;
}

DisplayProbe::DisplayProbe(int argc, char** argv) : display_(nullptr) {
  const char* name = displayName(argc, argv);
  if (name != nullptr) display_ = XOpenDisplay(name);
}

DisplayProbe::~DisplayProbe() { close(); }

void DisplayProbe::close() {
  if (display_ != nullptr) XCloseDisplay(static_cast<Display*>(display_));
  display_ = nullptr;
}
#endif

namespace {

#ifdef _WIN32
// Standard input is a console window's input (not a file, pipe or device).
bool inputIsConsole() {
  DWORD mode;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

void waitForConsoleKey() {
  // The answer's line is in stdin's buffer (the console delivers whole
  // lines) and _getch reads past it, from the console itself; keys typed
  // while the windows were open wait in the console's queue. Neither is the
  // key we wait for.
  FlushConsoleInputBuffer(GetStdHandle(STD_INPUT_HANDLE));
  // Without a word the console would look hung.
  // (Standard error is buffered when it is not the console window itself.)
  std::fputs("pbsim: every window is closed; press any key to end.\n", stderr);
  std::fflush(stderr);
  _getch();
}
#else

// The terminal settings in force before the key wait, for the signal handler.
termios savedTerminal;

void restoreTerminalAndReraise(int sig) {
  tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

void waitForTerminalKey() {
  // The answer's line is in stdin's buffer (a terminal delivers whole lines);
  // keys typed while the windows were open wait in the terminal's queue.
  // Neither is the key we wait for.
  __fpurge(stdin);
  tcflush(STDIN_FILENO, TCIFLUSH);

  if (tcgetattr(STDIN_FILENO, &savedTerminal) != 0) return;
  termios raw = savedTerminal;
  raw.c_lflag &= ~(ICANON | ECHO);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;

  const int signals[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};
  void (*previous[4])(int);
  for (int i = 0; i < 4; ++i) previous[i] = std::signal(signals[i], restoreTerminalAndReraise);

  if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0) {
    // Without a word the console would look hung.
    std::fputs("pbsim: every window is closed; press any key to end.\n", stderr);
    char key;
    ssize_t n;
    do {
      n = read(STDIN_FILENO, &key, 1);
    } while (n < 0 && errno == EINTR);
    tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
  }
  for (int i = 0; i < 4; ++i) std::signal(signals[i], previous[i]);
}
#endif

}  // namespace

void waitForKey(std::istream& in) {
#ifdef _WIN32
  if (inputIsConsole()) {
    waitForConsoleKey();
    return;
  }
#else
  if (isatty(STDIN_FILENO)) {
    waitForTerminalKey();
    return;
  }
#endif
  if (in.eof()) return;
  in.clear();
  in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
  in.get();
}
