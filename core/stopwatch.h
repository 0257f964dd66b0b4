#pragma once

#include <cstdint>

// Wall-clock duration of one recomputation, on the monotonic clock (on
// Windows the performance counter).
class Stopwatch {
 public:
  void start();
  // Seconds since the last start(); does not stop or reset the stopwatch.
  float elapsedSeconds() const;

 private:
  std::int64_t startTicks_ = 0;  // meaningful only after start()
};
