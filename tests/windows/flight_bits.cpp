// Prints a fingerprint of every bit that pbsim's models compute for a fixed
// table of runs: the start-up shot and spring run, and random shots and
// spring runs with each scheme at coarse and fine steps. Built for Linux and
// for Windows from the same source; the Windows tests compare the two
// outputs, so any change of the float arithmetic with the compiler, its
// libraries or its flags shows as a differing line.

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>

#include "ballisticssetup.h"
#include "ballisticssim.h"
#include "springmasssetup.h"
#include "springmasssim.h"

namespace {

// FNV-1a over the bits of floats.
class Fingerprint {
 public:
  void add(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    for (int i = 0; i < 4; ++i) {
      hash_ ^= (bits >> (8 * i)) & 0xffu;
      hash_ *= 0x100000001b3u;
    }
  }
  std::uint64_t value() const { return hash_; }

 private:
  std::uint64_t hash_ = 0xcbf29ce484222325u;
};

std::uint32_t bitsOf(float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return bits;
}

// Uniform in [0, 1) from the generator's raw output, which the C++ standard
// fixes bit for bit (the library's distributions it does not).
float uniform(std::mt19937& rng) { return static_cast<float>(rng() >> 8) * 0x1p-24f; }

void printFlight(const char* name, BallisticsParams params, int scheme) {
  BallisticsSim sim;
  sim.params = params;
  sim.setScheme(scheme);
  const FlightResult result = sim.fly();
  Fingerprint f;
  for (const Vector3f& p : sim.trajectory) {
    f.add(p.x);
    f.add(p.y);
    f.add(p.z);
  }
  const Vector3f& last = sim.trajectory.back();
  std::printf("flight %s scheme=%d end=%d steps=%d points=%zu last=%08" PRIx32 ",%08" PRIx32
              ",%08" PRIx32 " bits=%016" PRIx64 "\n",
              name, scheme, static_cast<int>(result.end), result.steps, sim.trajectory.size(),
              bitsOf(last.x), bitsOf(last.y), bitsOf(last.z), f.value());
}

void printSpring(const char* name, SpringMassParams params, int scheme) {
  SpringMassSim sim;
  sim.params = params;
  sim.setScheme(scheme);
  const SpringRunResult result = sim.run();
  Fingerprint f;
  for (float y : sim.trajectory) f.add(y);
  std::printf("spring %s scheme=%d ran=%d settled=%d steps=%d samples=%zu last=%08" PRIx32
              " bits=%016" PRIx64 "\n",
              name, scheme, result.ran ? 1 : 0, result.settled ? 1 : 0, result.steps,
              sim.trajectory.size(), sim.trajectory.empty() ? 0u : bitsOf(sim.trajectory.back()),
              f.value());
}

}  // namespace

int main() {
#ifdef _WIN32
  // "\n" as on Linux, so the two outputs compare byte for byte.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  for (int scheme = 0; scheme < 3; ++scheme) {
    printFlight("start-up", startUpBallisticsParams(), scheme);
    printSpring("start-up", startUpSpringParams(), scheme);
  }

  // The launch velocity takes the sines and cosines of the aim from the C
  // library, which differs between the platforms (mingw-w64's are x87
  // long-double routines): every aim the panel's 0.1° steps reach.
  Fingerprint launch;
  for (int tenth = 0; tenth <= 3600; ++tenth) {
    BallisticsPanelValues v;
    v.azimuth = tenth / 10.0;
    v.elevation = (tenth % 901) / 10.0;
    const Vector3f u = muzzleVelocity(ballisticsParamsFromPanel(v));
    launch.add(u.x);
    launch.add(u.y);
    launch.add(u.z);
  }
  std::printf("launch aims=3601 bits=%016" PRIx64 "\n", launch.value());

  std::mt19937 rng(25);
  char name[32];
  for (int trial = 0; trial < 60; ++trial) {
    // Angles, masses and forces across the panel's ranges, in panel units
    // converted as the panel converts them (the sines and cosines of the
    // launch included); every fourth run at a fine step.
    BallisticsPanelValues v;
    v.azimuth = 360.0 * uniform(rng);
    v.elevation = 1.0 + 88.0 * uniform(rng);
    v.projectileMass = 1.0 + 2000.0 * uniform(rng);
    v.powderAmount = 0.1 + 10.0 * uniform(rng);
    v.powderPower = 100.0 + 20000.0 * uniform(rng);
    v.gravity = -0.5 - 20.0 * uniform(rng);
    v.airFriction = 200.0 * uniform(rng);
    v.timeStep = trial % 4 == 0 ? 1e-3 + 1e-3 * uniform(rng) : 0.002 + 0.2 * uniform(rng);
    std::snprintf(name, sizeof name, "random-%d", trial);
    printFlight(name, ballisticsParamsFromPanel(v), trial % 3);

    SpringPanelValues s;
    s.mass = 0.1 + 20.0 * uniform(rng);
    s.ks = 0.5 + 100.0 * uniform(rng);
    s.kd = 0.05 + 10.0 * uniform(rng);
    s.rest = 0.1 + 5.0 * uniform(rng);
    s.gravity = -0.5 - 20.0 * uniform(rng);
    s.timeStep = trial % 4 == 0 ? 1e-3 + 1e-3 * uniform(rng) : 0.005 + 0.2 * uniform(rng);
    printSpring(name, springParamsFromPanel(s), trial % 3);
  }
  return 0;
}
