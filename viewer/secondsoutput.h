#pragma once

#include <FL/Fl_Value_Output.H>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// Writes a duration in seconds with three significant digits, short enough
// for a narrow field: "0.00123", "0.5", "12.3", "123"; below a millisecond and
// from 1000 s on in scientific notation with a short exponent ("8.59e-5",
// "1.23e3"). Returns the length written, as snprintf does.
inline int formatSeconds(double seconds, char* buffer, std::size_t size) {
  if (seconds == 0.0) return std::snprintf(buffer, size, "0");
  char text[32];
  const double magnitude = std::fabs(seconds);
  if (magnitude >= 1e-3) {
    std::snprintf(text, sizeof text, "%.3g", seconds);
  } else {
    std::snprintf(text, sizeof text, "%.2e", seconds);
  }
  // "e-05" -> "e-5", "e+04" -> "e4".
  if (char* e = std::strchr(text, 'e')) {
    const int exponent = std::atoi(e + 1);
    *e = '\0';
    return std::snprintf(buffer, size, "%se%d", text, exponent);
  }
  return std::snprintf(buffer, size, "%s", text);
}

// An Fl_Value_Output that shows its value as seconds with formatSeconds.
class SecondsOutput : public Fl_Value_Output {
 public:
  using Fl_Value_Output::Fl_Value_Output;
  // FLTK formats into a buffer of 128 characters.
  int format(char* buffer) override { return formatSeconds(value(), buffer, 128); }
};
