// What the panels' "Time Taken" field shows: three significant digits, plain
// decimals from a millisecond on, scientific notation with a short exponent
// below it (and from 1000 s on), so every duration fits the narrow field and
// a millisecond is never shown as a run of zeros. The widget is built without
// a display and asked for its text, as FLTK asks it when drawing.

#include <gtest/gtest.h>

#include "secondsoutput.h"

namespace {

TEST(SecondsOutput, ShowsPlainDecimalsFromAMillisecondAndScientificBelow) {
  const std::pair<double, const char*> cases[] = {{0.0, "0"},
                                                  {1e-7, "1.00e-7"},
                                                  {0.0001, "1.00e-4"},
                                                  {0.00012345, "1.23e-4"},
                                                  {0.0005, "5.00e-4"},
                                                  {0.00099, "9.90e-4"},
                                                  {0.001, "0.001"},
                                                  {0.0010001, "0.001"},
                                                  {0.00123456, "0.00123"},
                                                  {0.0099, "0.0099"},
                                                  {0.5, "0.5"},
                                                  {999.4, "999"},
                                                  {1000.0, "1e3"},
                                                  {12345.6, "1.23e4"}};
  SecondsOutput field(0, 0, 50, 25);
  for (const auto& [seconds, expected] : cases) {
    field.value(seconds);
    char text[128];
    field.format(text);
    EXPECT_STREQ(text, expected) << seconds << " s";
  }
}

}  // namespace
