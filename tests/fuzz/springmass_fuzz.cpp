// libFuzzer target: one spring-mass run from parameters, time step and scheme
// all taken from the fuzzer's bytes. Layout (little-endian), each field
// optional from the end, a missing one keeps the start-up value:
//   float mass, gravity, ks, kd, restLength, timeStep, time
//   int32 scheme (start-up: RK4)
// The block always holds one spring, as the application sets it. Every run
// must end within the sample limit, with its memory in bounds and its end as
// reported: refused (mass 0), at rest, or at the limit.

#include <cstddef>
#include <cstdint>

#include "fuzz_input.h"
#include "springmasssim.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  silenceStdout();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  SpringMassSim sim;  // mass 5, gravity -9.8, time step 0.1
  float mass = sim.params.mass, gravity = sim.params.gravity;
  SpringParams s;  // ks 15, kd 1, rest length 1
  FuzzBytes in(data, size);
  for (float* f :
       {&mass, &gravity, &s.ks, &s.kd, &s.restLength, &sim.params.timeStep, &sim.params.time})
    in.read(*f);
  int scheme = RK4;
  in.read(scheme);
  // Installed as the application installs them.
  sim.params.setValues(mass, gravity, 1);
  sim.params.springs[0] = s;
  sim.setScheme(scheme);
  const float start = -s.restLength;

  const SpringRunResult r = sim.run();

  const std::vector<float>& t = sim.trajectory;
  require(t.size() <= SpringMassSim::kMaxSamples, "sample limit");
  require(t.size() == std::size_t(r.steps) + 1, "one sample per step after the start");
  // With doubling growth, 15000 samples fit in 16384 floats (64 KiB).
  require(t.capacity() < 2 * SpringMassSim::kMaxSamples, "trajectory memory");
  require(sim.state.size() == 2, "state has two entries");
  require(sameBits(&t.front(), &start, sizeof start), "first sample is minus the rest length");
  if (!r.ran) {
    require(sim.params.mass == 0.0f && r.steps == 0, "only a massless body is refused");
  } else {
    require(r.steps >= 1, "a run takes at least one step");
    require(r.settled || t.size() == SpringMassSim::kMaxSamples, "ends at rest or at the limit");
    require(sameBits(&t.back(), &sim.state[0].y, sizeof start), "last sample is the state");
  }
  return 0;
}
