// libFuzzer target: one ballistics flight from parameters, time step and
// scheme all taken from the fuzzer's bytes. Layout (little-endian), each field
// optional from the end, a missing one keeps the start-up shot's value:
//   float azimuth, elevation, projectileMass, powderAmount, powderPower,
//         gravity, airFriction, target.x, target.y, target.z, timeStep, time
//   int32 scheme (start-up: RK4)
// Every flight must end within the step limit, with its points and memory in
// bounds and its end as reported: landed (the ground point on the last step's
// segment), stopped at the limit, or stuck in the air (one more step would
// change nothing).
//
// A flight at the step limit takes some 20 s in this build. With the
// environment variable PBSIM_FUZZ_STEP_BUDGET=N the target cuts every flight
// after N steps instead (the steps taken are the same computation as in the
// whole flight), so that a campaign is not spent in the flights that never
// land, a good share of random ones; replaying inputs without it runs them in
// full.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "ballisticssetup.h"
#include "ballisticssim.h"
#include "fuzz_input.h"

namespace {

int stepBudget = std::numeric_limits<int>::max();  // no cut
struct FlightCut {};

bool between(float v, float a, float b) { return (a <= v && v <= b) || (b <= v && v <= a); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  silenceStdout();
  const char* budget = std::getenv("PBSIM_FUZZ_STEP_BUDGET");
  if (budget && std::atoi(budget) > 0) stepBudget = std::atoi(budget);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  BallisticsSim sim;
  BallisticsParams& p = sim.params;
  p = startUpBallisticsParams();
  FuzzBytes in(data, size);
  for (float* f :
       {&p.azimuth, &p.elevation, &p.projectileMass, &p.powderAmount, &p.powderPower, &p.gravity,
        &p.airFriction, &p.target.x, &p.target.y, &p.target.z, &p.timeStep, &p.time})
    in.read(*f);
  int scheme = RK4;
  in.read(scheme);
  sim.setScheme(scheme);

  FlightResult r;
  try {
    r = sim.fly([](int step, const StateList&) {
      require(step <= BallisticsSim::kMaxFlightSteps, "step limit");  // a runaway loop stops here
      if (step > stepBudget) throw FlightCut{};
    });
  } catch (const FlightCut&) {
    return 0;
  }

  const std::vector<Vector3f>& t = sim.trajectory;
  require(r.steps >= 1 && r.steps <= BallisticsSim::kMaxFlightSteps, "step limit");
  require(t.size() == std::size_t(r.steps) + 1, "one point per step after the launch point");
  // Room for at most the points the step limit allows: 46 MiB.
  require(t.capacity() <= std::size_t(BallisticsSim::kMaxFlightSteps) + 1, "trajectory memory");
  require(sim.state.size() == 2, "state has two entries");
  const Vector3f launch(0.0f, kLaunchHeight, 0.0f);
  require(sameBits(&t.front(), &launch, sizeof launch), "launch point");
  const bool inAir = sim.state[0].y > 0.0f;
  switch (r.end) {
    case FlightEnd::Landed: {
      require(!inAir && t.back().y == 0.0f, "a landed flight ends on the ground");
      // The ground point lies on the last step's segment, from the point
      // above the ground to where the step ended (the state keeps it).
      const Vector3f &above = t[t.size() - 2], &below = sim.state[0], &ground = t.back();
      require(above.y > 0.0f, "the point before the ground point is above it");
      require(!(std::isfinite(below.x) && std::isfinite(below.z) && std::isfinite(below.y)) ||
                  (between(ground.x, above.x, below.x) && between(ground.z, above.z, below.z)),
              "the ground point lies on the last segment");
      break;
    }
    case FlightEnd::StepLimit:
      require(inAir && r.steps == BallisticsSim::kMaxFlightSteps, "stopped at the step limit");
      break;
    case FlightEnd::Stuck:
      require(inAir && sameBits(&t[t.size() - 2], &t.back(), sizeof launch),
              "a stuck flight's last step moved nothing");
      {  // and it would never move again
        const StateList stuck = sim.state;
        sim.step();
        require(sameBits(stuck.data(), sim.state.data(), 2 * sizeof launch),
                "a stuck flight's next step moves nothing either");
      }
      break;
  }
  return 0;
}
