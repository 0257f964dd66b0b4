// libFuzzer target: one ballistics flight from parameters, time step and
// scheme all taken from the fuzzer's bytes. Layout (little-endian), each field
// optional from the end, a missing one keeps the start-up shot's value:
//   float azimuth, elevation, projectileMass, powderAmount, powderPower,
//         gravity, airFriction, target.x, target.y, target.z, timeStep, time
//   int32 scheme
// Every flight must end within the step limit with its points and memory in
// bounds: landed with a ground point at y = 0, or stopped in the air.

#include <cstddef>
#include <cstdint>

#include "ballisticssim.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  silenceStdout();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  BallisticsParams p;
  p.azimuth = -0.17453292f;  // the start-up shot: -10°, 45°, speed 10
  p.elevation = 0.78539819f;
  p.projectileMass = 1000.0f;
  p.target = Vector3f(0.0f, 0.0f, 10.0f);
  int scheme = RK4;
  FuzzBytes in(data, size);
  for (float* f :
       {&p.azimuth, &p.elevation, &p.projectileMass, &p.powderAmount, &p.powderPower, &p.gravity,
        &p.airFriction, &p.target.x, &p.target.y, &p.target.z, &p.timeStep, &p.time})
    in.read(*f);
  in.read(scheme);

  BallisticsSim sim;
  sim.params = p;
  sim.setScheme(scheme);
  sim.simulate();

  const std::vector<Vector3f>& t = sim.trajectory;
  const std::size_t steps = t.size() - 1;
  require(t.size() >= 2, "a flight takes at least one step");
  require(steps <= std::size_t(BallisticsSim::kMaxFlightSteps), "step limit");
  // 2^22 points of 12 bytes, 48 MiB: what the step limit allows with doubling growth.
  require(t.capacity() <= std::size_t(1) << 22, "trajectory memory");
  require(sim.state.size() == 2, "state has two entries");
  const Vector3f launch(0.0f, 0.0001f, 0.0f);
  require(sameBits(&t.front(), &launch, sizeof launch), "launch point");
  if (!(sim.state[0].y > 0.0f)) {
    require(t.back().y == 0.0f, "a landed flight ends on the ground");
  } else {
    // Stopped in the air: at the limit, or because the last step changed nothing.
    require(sameBits(&t.back(), &sim.state[0], sizeof launch), "last point is the state");
    require(steps == std::size_t(BallisticsSim::kMaxFlightSteps) ||
                sameBits(&t[steps - 1], &t[steps], sizeof launch),
            "a flight stops in the air only at the limit or when stuck");
  }
  return 0;
}
