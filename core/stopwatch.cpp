#include "stopwatch.h"

#include <time.h>

namespace {
constexpr std::int64_t kTicksPerSecond = 1000000000;  // the counter counts nanoseconds

std::int64_t counter() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * kTicksPerSecond + ts.tv_nsec;
}
}  // namespace

void Stopwatch::start() { startTicks_ = counter(); }

float Stopwatch::elapsedSeconds() const {
  const std::int64_t now = counter();
  const std::int64_t freq = kTicksPerSecond;
  return static_cast<float>(static_cast<double>(now - startTicks_) / static_cast<double>(freq));
}
