// libFuzzer target: one spring-mass run from parameters, time step and scheme
// all taken from the fuzzer's bytes. Layout (little-endian), each field
// optional from the end, a missing one keeps the start-up value:
//   float mass, gravity, ks, kd, restLength, timeStep, time
//   int32 scheme
// The block always holds one spring, as the application sets it. Every run
// must end within the sample limit with its memory in bounds.

#include <cstddef>
#include <cstdint>

#include "fuzz_input.h"
#include "springmasssim.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  silenceStdout();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  SpringMassSim sim;  // mass 5, gravity -9.8, ks 15, kd 1, rest length 1, step 0.1
  SpringParams& s = sim.params.springs[0];
  int scheme = RK4;
  FuzzBytes in(data, size);
  for (float* f : {&sim.params.mass, &sim.params.gravity, &s.ks, &s.kd, &s.restLength,
                   &sim.params.timeStep, &sim.params.time})
    in.read(*f);
  in.read(scheme);
  sim.setScheme(scheme);
  const float start = -s.restLength;
  sim.simulate();

  const std::vector<float>& t = sim.trajectory;
  require(!t.empty() && t.size() <= SpringMassSim::kMaxSamples, "sample limit");
  // With doubling growth, 15000 samples fit in 16384 floats (64 KiB).
  require(t.capacity() < 2 * SpringMassSim::kMaxSamples, "trajectory memory");
  require(sim.state.size() == 2, "state has two entries");
  require(sameBits(&t.front(), &start, sizeof start), "first sample is minus the rest length");
  if (sim.params.mass == 0.0f) {
    require(t.size() == 1, "a massless body is not run");
  } else {
    require(t.size() >= 2, "a run takes at least one step");
    require(sameBits(&t.back(), &sim.state[0].y, sizeof start), "last sample is the state");
  }
  return 0;
}
