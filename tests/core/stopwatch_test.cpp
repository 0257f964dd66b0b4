#include "stopwatch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

TEST(Stopwatch, CountsSecondsMonotonically) {
  Stopwatch t;
  t.start();
  const float first = t.elapsedSeconds();
  const float second = t.elapsedSeconds();
  EXPECT_GE(first, 0.0f);
  EXPECT_GE(second, first);
  EXPECT_LT(first, 1.0f);

  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const float later = t.elapsedSeconds();
  // Seconds, not milliseconds or ticks: at least the time slept, and nowhere
  // near 100 (a loose upper bound; this is not a timing test).
  EXPECT_GE(later, 0.1f);
  EXPECT_LT(later, 10.0f);
}
