// The native engine's answer for one flight or spring run, every double at
// full precision, as JSON: what the browser tests set the WebAssembly
// engine's answer against.
//   pbsim-web-reference flight SCHEME [name=value ...]   (azimuth, elevation, mass, powder,
//                                                         power, gravity, friction, dt)
//   pbsim-web-reference spring SCHEME [name=value ...]   (mass, ks, kd, rest, gravity, dt)

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ballisticssetup.h"
#include "runs.h"
#include "springmasssetup.h"

namespace {

void number(const char* name, double v, bool comma = true) {
  if (std::isfinite(v))
    std::printf("\"%s\":%.17g", name, v);
  else
    std::printf("\"%s\":null", name);
  if (comma) std::printf(",");
}

template <class T>
void column(const char* name, const std::vector<T>& values) {
  std::printf("\"%s\":[", name);
  for (std::size_t k = 0; k < values.size(); ++k) {
    const double v = values[k];
    if (std::isfinite(v))
      std::printf(k ? ",%.17g" : "%.17g", v);
    else
      std::printf(k ? ",null" : "null");
  }
  std::printf("],");
}

int usage() {
  std::fprintf(stderr, "usage: pbsim-web-reference flight|spring SCHEME [name=value ...]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return usage();
  const std::string model = argv[1];
  const SchemeInfo* scheme = schemeNamed(argv[2]);
  if (!scheme || (model != "flight" && model != "spring")) return usage();
  BallisticsPanelValues f;
  SpringPanelValues s;
  for (int i = 3; i < argc; ++i) {
    const char* eq = std::strchr(argv[i], '=');
    if (!eq) return usage();
    const std::string name(argv[i], static_cast<std::size_t>(eq - argv[i]));
    const double v = std::strtod(eq + 1, nullptr);
    double* slot = nullptr;
    if (model == "flight") {
      if (name == "azimuth") slot = &f.azimuth;
      if (name == "elevation") slot = &f.elevation;
      if (name == "mass") slot = &f.projectileMass;
      if (name == "powder") slot = &f.powderAmount;
      if (name == "power") slot = &f.powderPower;
      if (name == "gravity") slot = &f.gravity;
      if (name == "friction") slot = &f.airFriction;
      if (name == "dt") slot = &f.timeStep;
    } else {
      if (name == "mass") slot = &s.mass;
      if (name == "ks") slot = &s.ks;
      if (name == "kd") slot = &s.kd;
      if (name == "rest") slot = &s.rest;
      if (name == "gravity") slot = &s.gravity;
      if (name == "dt") slot = &s.timeStep;
    }
    if (!slot) return usage();
    *slot = v;
  }
  std::printf("{");
  if (model == "flight") {
    const FlightRun r = runFlight(FlightCase(ballisticsParamsFromPanel(f)), scheme);
    column("t", r.t);
    column("x", r.single.x);
    column("y", r.single.y);
    column("z", r.single.z);
    column("exact_x", r.exactX);
    column("exact_y", r.exactY);
    column("exact_z", r.exactZ);
    column("path_error", r.pathError);
    std::printf("\"steps\":%lld,\"evaluations\":%lld,\"stop\":\"%s\",", r.steps, r.evaluations,
                stopName(r.stop));
    number("landing_x", r.landingX);
    number("landing_z", r.landingZ);
    number("flight_time", r.flightTime);
    number("landing_miss", r.landingMiss);
    number("max_path_error", r.maxPathError, false);
  } else {
    const SpringRun r = runSpring(SpringCase(springParamsFromPanel(s)), scheme);
    column("t", r.t);
    column("y", r.y);
    column("v", r.v);
    column("exact_y", r.exactY);
    column("height_error", r.heightError);
    column("energy", r.energy);
    std::printf("\"steps\":%lld,\"evaluations\":%lld,\"stop\":\"%s\",", r.steps, r.evaluations,
                stopName(r.stop));
    number("final_height", r.finalHeight);
    number("resting_height", r.restingHeight);
    number("max_height_error", r.maxHeightError);
    number("energy_drift", r.energyDrift, false);
  }
  std::printf("}\n");
  return 0;
}
