// The native engine's answer for one flight or spring run, as JSON: every
// column and every summary field of the engine's descriptors, doubles at
// full precision (NaN as null): what the browser tests set the WebAssembly
// engine's answer against. The scheme runs in its default precision (double
// where it has no single-precision arithmetic) unless precision= says.
//   pbsim-web-reference flight|spring SCHEME [name=value ...]   (names of the
//                                        model's parameter table: mass, dt, ...;
//                                        and rtol, atol, landing, precision)

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "columns.h"
#include "parameters.h"

namespace {

void number(double v) {
  if (std::isfinite(v))
    std::printf("%.17g", v);
  else
    std::printf("null");
}

void text(const std::string& s) {
  std::printf("\"");
  for (char c : s) {
    if (c == '"' || c == '\\') std::printf("\\");
    std::printf("%c", c);
  }
  std::printf("\"");
}

// The run's columns as arrays and its summary fields as numbers or words.
template <class Run, std::size_t NC, std::size_t NS>
void print(const Run& r, const std::array<Column<Run>, NC>& columns,
           const std::array<Field<Run>, NS>& summary) {
  std::printf("{");
  bool first = true;
  for (const Column<Run>& c : columns) {
    std::printf(first ? "\"%s\":[" : ",\"%s\":[", std::string(c.name).c_str());
    first = false;
    for (std::size_t k = 0; k < r.size(); ++k) {
      if (k) std::printf(",");
      number(c.value(r, k));
    }
    std::printf("]");
  }
  for (const Field<Run>& f : summary) {
    std::printf(",\"%s\":", std::string(f.name).c_str());
    if (f.kind == Kind::Text)
      text(f.text(r));
    else if (f.kind == Kind::Flag)
      std::printf(f.number(r) != 0.0 ? "true" : "false");
    else
      number(f.number(r));
  }
  std::printf("}\n");
}

int usage() {
  std::fprintf(stderr, "usage: pbsim-web-reference flight|spring SCHEME [name=value ...]\n");
  return 2;
}

// How the run integrates: the scheme with the tolerances and landing rule
// given, in the precision given or its default.
struct Run {
  RunScheme scheme;
  std::optional<Precision> precision;
};

// The model's panel values with name=value arguments set by the parameter
// table, and the run's own options.
template <class Values>
bool valuesOf(int argc, char** argv, Values& v, Run& run) {
  for (int i = 3; i < argc; ++i) {
    const char* eq = std::strchr(argv[i], '=');
    if (!eq) return false;
    const std::string name(argv[i], static_cast<std::size_t>(eq - argv[i]));
    const std::string value(eq + 1);
    if (name == "rtol") {
      run.scheme.tolerances.rtol = std::strtod(value.c_str(), nullptr);
    } else if (name == "atol") {
      run.scheme.tolerances.atol = std::strtod(value.c_str(), nullptr);
    } else if (name == "landing") {
      const std::optional<Landing> l = landingNamed(value);
      if (!l) return false;
      run.scheme.landing = *l;
    } else if (name == "precision") {
      run.precision = precisionNamed(value);
      if (!run.precision) return false;
    } else if (!setParameter(v, name, std::strtod(value.c_str(), nullptr))) {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return usage();
  const std::string model = argv[1];
  const SchemeInfo* scheme = schemeNamed(argv[2]);
  if (!scheme) return usage();
  Run run{RunScheme(scheme), std::nullopt};
  auto precision = [&] { return run.precision.value_or(run.scheme.defaultPrecision()); };
  if (model == "flight") {
    BallisticsPanelValues v;
    if (!valuesOf(argc, argv, v, run)) return usage();
    print(runFlight(FlightCase(ballisticsParamsFromPanel(v)), run.scheme, precision()),
          kFlightColumns, kFlightSummary);
  } else if (model == "spring") {
    SpringPanelValues v;
    if (!valuesOf(argc, argv, v, run)) return usage();
    print(runSpring(SpringCase(springParamsFromPanel(v)), run.scheme, precision()), kSpringColumns,
          kSpringSummary);
  } else {
    return usage();
  }
  return 0;
}
