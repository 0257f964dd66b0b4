#pragma once

// What the two model fuzz targets share: reading the fuzzer's bytes as the
// model's inputs, and failing loudly when a run breaks a bound.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// Takes fields from the front of the fuzzer's bytes, raw and little-endian as
// they lie in memory, so every bit pattern (NaN, infinities, subnormals, any
// int) is reachable. A field the bytes no longer cover keeps the value it had.
class FuzzBytes {
 public:
  FuzzBytes(const std::uint8_t* data, std::size_t size) : data_(data), left_(size) {}

  template <class T>
  void read(T& field) {
    if (left_ < sizeof field) return;
    std::memcpy(&field, data_, sizeof field);
    data_ += sizeof field;
    left_ -= sizeof field;
  }

 private:
  const std::uint8_t* data_;
  std::size_t left_;
};

// Ends the run with a report that libFuzzer turns into a saved crash input.
inline void require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "bound broken: %s\n", what);
  std::abort();
}

inline bool sameBits(const void* a, const void* b, std::size_t n) {
  return std::memcmp(a, b, n) == 0;
}

// The models print progress on standard output; millions of runs would spend
// their time writing it.
inline void silenceStdout() {
  if (!std::freopen("/dev/null", "w", stdout)) std::perror("fuzz: /dev/null");
}
