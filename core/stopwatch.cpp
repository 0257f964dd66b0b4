#include "stopwatch.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

namespace {
#ifdef _WIN32
// The performance counter and its fixed rate in ticks per second.
std::int64_t counter() {
  LARGE_INTEGER ticks;
  QueryPerformanceCounter(&ticks);
  return ticks.QuadPart;
}

std::int64_t frequency() {
  LARGE_INTEGER rate;
  QueryPerformanceFrequency(&rate);
  return rate.QuadPart;
}
#else
constexpr std::int64_t kTicksPerSecond = 1000000000;  // the counter counts nanoseconds

std::int64_t counter() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * kTicksPerSecond + ts.tv_nsec;
}

std::int64_t frequency() { return kTicksPerSecond; }
#endif
}  // namespace

void Stopwatch::start() { startTicks_ = counter(); }

float Stopwatch::elapsedSeconds() const {
  const std::int64_t now = counter();
  const std::int64_t freq = frequency();
  return static_cast<float>(static_cast<double>(now - startTicks_) / static_cast<double>(freq));
}
