#pragma once

#include <iosfwd>

// The console side of pbsim: the answer to the mode question, the check for a
// display, and the single key press awaited before the program ends.

enum class ModeReply {
  Number,      // an int was read
  NotANumber,  // the reply does not start with an int (or is out of the int range)
  EndOfInput,  // the input ended before any reply
};

// Reads the answer to the mode question as one int through the stream.
ModeReply readModeReply(std::istream& in, int& mode);

#ifndef _WIN32
// The X display the program would use: the value given with "-display NAME"
// on the command line (the option glutInit honours), else $DISPLAY; nullptr
// when neither is given.
const char* displayName(int argc, char** argv);

// A connection to that display, opened to learn whether there is one. Keep
// it until glutInit has made its own connection: an X server that resets
// when its last client leaves (Xvfb does) would otherwise still be resetting
// when glutInit connects, and refuse it.
class DisplayProbe {
 public:
  DisplayProbe(int argc, char** argv);
  ~DisplayProbe();
  DisplayProbe(const DisplayProbe&) = delete;
  DisplayProbe& operator=(const DisplayProbe&) = delete;

  bool available() const { return display_ != nullptr; }
  void close();

 private:
  void* display_;  // the Xlib Display, or nullptr
};
#endif

// Waits for one key press after the windows have closed, then returns.
// On a terminal (on Windows: a console): whatever is left of the answer's line and any input typed
// while the windows were open is discarded, a line on standard error says
// that a key ends the program, then one key is read unbuffered and without
// echo; the terminal's settings are restored afterwards (also
// when the wait is interrupted by a signal; on Windows with _getch, which
// changes no setting). Otherwise: the rest of the
// answer's line is skipped and one byte is read; at end of input it returns
// at once.
void waitForKey(std::istream& in);
