#pragma once

// The columns of every output, described once: the per-point columns of a
// run, the per-scheme summary fields, and the rows of a convergence study,
// each with its name, unit, kind and how to read it. The CSV writers
// (tables.h), pbsim-study's readable tables, the Python module's arrays and
// result attributes and the page's tables all iterate these.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "convergence.h"
#include "runs.h"
#include "stability.h"

enum class Kind {
  Text,     // a word: scheme, stop, precision
  Count,    // a whole number
  Flag,     // yes or no; CSV 1 or 0
  Model,    // a value the model keeps: float32 in single precision, double in double
  Float32,  // always a float32 (a convergence level's step)
  Double,   // always a double: closed forms, errors, times measured in double
};

// A kind's name, as front ends describe the columns: text, count, flag,
// model, float32, double.
inline const char* kindName(Kind kind) {
  switch (kind) {
    case Kind::Text:
      return "text";
    case Kind::Count:
      return "count";
    case Kind::Flag:
      return "flag";
    case Kind::Model:
      return "model";
    case Kind::Float32:
      return "float32";
    case Kind::Double:
      return "double";
  }
  return "";
}

// A value of a run, or of one point k of it. Text fields read `text`, the
// others `number` (a NaN number is a value that does not exist: a landing
// that never came, an error that was not measured).
template <class Run>
struct Field {
  std::string_view name;
  std::string_view unit;  // empty for a pure number
  Kind kind;
  const char* readable;  // pbsim-study's format ("%.6g", "%.3e", ...); a Flag's word when set
  double (*number)(const Run&);
  std::string (*text)(const Run&) = nullptr;
  const char* absent = "";  // readable tables show this for a value that does not exist
};

// Where a run keeps a column: its floats or its doubles (one of the two),
// size() entries, for front ends that hand the column on without copying.
struct ColumnData {
  const float* floats = nullptr;
  const double* doubles = nullptr;
};

template <class Run>
struct Column {
  std::string_view name;
  std::string_view unit;
  Kind kind;
  double (*value)(const Run&, std::size_t k);
  ColumnData (*data)(const Run&) = nullptr;  // nullptr: computed, not kept (step)
};

// The column kept as `single` in single precision and as `wide` in double.
template <auto Single, auto Wide, class Run>
ColumnData modelData(const Run& r) {
  return r.precision == Precision::Single ? ColumnData{(r.*Single).data(), nullptr}
                                          : ColumnData{nullptr, (r.*Wide).data()};
}
template <auto Member, class Run>
ColumnData doubleData(const Run& r) {
  return ColumnData{nullptr, (r.*Member).data()};
}

// A flight's state column: in `single` or `wide`, as the precision has it.
template <auto Single, auto Wide>
ColumnData flightData(const FlightRun& r) {
  return r.precision == Precision::Single ? ColumnData{(r.single.*Single).data(), nullptr}
                                          : ColumnData{nullptr, (r.wide.*Wide).data()};
}

inline constexpr std::array<Column<FlightRun>, 13> kFlightColumns{{
    {"step", "", Kind::Count, [](const FlightRun&, std::size_t k) { return double(k); }},
    {"t", "s", Kind::Model, [](const FlightRun& r, std::size_t k) { return r.t[k]; },
     doubleData<&FlightRun::t>},
    {"x", "m", Kind::Model, [](const FlightRun& r, std::size_t k) { return r.x(k); },
     flightData<&FlightPoints<float>::x, &FlightPoints<double>::x>},
    {"y", "m", Kind::Model, [](const FlightRun& r, std::size_t k) { return r.y(k); },
     flightData<&FlightPoints<float>::y, &FlightPoints<double>::y>},
    {"z", "m", Kind::Model, [](const FlightRun& r, std::size_t k) { return r.z(k); },
     flightData<&FlightPoints<float>::z, &FlightPoints<double>::z>},
    {"vx", "m/s", Kind::Model, [](const FlightRun& r, std::size_t k) { return r.vx(k); },
     flightData<&FlightPoints<float>::vx, &FlightPoints<double>::vx>},
    {"vy", "m/s", Kind::Model, [](const FlightRun& r, std::size_t k) { return r.vy(k); },
     flightData<&FlightPoints<float>::vy, &FlightPoints<double>::vy>},
    {"vz", "m/s", Kind::Model, [](const FlightRun& r, std::size_t k) { return r.vz(k); },
     flightData<&FlightPoints<float>::vz, &FlightPoints<double>::vz>},
    {"exact_x", "m", Kind::Double, [](const FlightRun& r, std::size_t k) { return r.exactX[k]; },
     doubleData<&FlightRun::exactX>},
    {"exact_y", "m", Kind::Double, [](const FlightRun& r, std::size_t k) { return r.exactY[k]; },
     doubleData<&FlightRun::exactY>},
    {"exact_z", "m", Kind::Double, [](const FlightRun& r, std::size_t k) { return r.exactZ[k]; },
     doubleData<&FlightRun::exactZ>},
    {"path_error", "m", Kind::Double,
     [](const FlightRun& r, std::size_t k) { return r.pathError[k]; },
     doubleData<&FlightRun::pathError>},
    {"h", "s", Kind::Model, [](const FlightRun& r, std::size_t k) { return r.h(k); }},
}};

inline constexpr std::array<Field<FlightRun>, 12> kFlightSummary{{
    {"scheme", "", Kind::Text, "", nullptr, [](const FlightRun& r) { return r.scheme; }},
    {"steps", "", Kind::Count, "", [](const FlightRun& r) { return double(r.steps); }},
    {"evaluations", "", Kind::Count, "", [](const FlightRun& r) { return double(r.evaluations); }},
    {"stop", "", Kind::Text, "", nullptr,
     [](const FlightRun& r) { return std::string(stopName(r)); }},
    {"few_steps", "", Kind::Flag, "few steps",
     [](const FlightRun& r) { return r.fewSteps() ? 1.0 : 0.0; }},
    {"landing_x", "m", Kind::Model, "%.6g", [](const FlightRun& r) { return r.landingX; }},
    {"landing_z", "m", Kind::Model, "%.6g", [](const FlightRun& r) { return r.landingZ; }},
    {"flight_time", "s", Kind::Double, "%.6g", [](const FlightRun& r) { return r.flightTime; }},
    {"landing_miss", "m", Kind::Double, "%.3e", [](const FlightRun& r) { return r.landingMiss; }},
    {"max_path_error", "m", Kind::Double, "%.3e", [](const FlightRun& r) { return r.maxPathError; },
     nullptr, "none"},
    {"rejected", "", Kind::Count, "", [](const FlightRun& r) { return double(r.rejected); }},
    {"wall_ms", "ms", Kind::Double, "%.3f", [](const FlightRun& r) { return r.wallMs; }},
}};

inline constexpr std::array<Column<SpringRun>, 9> kSpringColumns{{
    {"step", "", Kind::Count, [](const SpringRun&, std::size_t k) { return double(k); }},
    {"t", "s", Kind::Model, [](const SpringRun& r, std::size_t k) { return r.t[k]; },
     doubleData<&SpringRun::t>},
    {"y", "m", Kind::Model, [](const SpringRun& r, std::size_t k) { return r.height(k); },
     modelData<&SpringRun::y, &SpringRun::yWide>},
    {"v", "m/s", Kind::Model, [](const SpringRun& r, std::size_t k) { return r.speed(k); },
     modelData<&SpringRun::v, &SpringRun::vWide>},
    {"exact_y", "m", Kind::Double, [](const SpringRun& r, std::size_t k) { return r.exactY[k]; },
     doubleData<&SpringRun::exactY>},
    {"height_error", "m", Kind::Double,
     [](const SpringRun& r, std::size_t k) { return r.heightError[k]; },
     doubleData<&SpringRun::heightError>},
    {"energy", "J", Kind::Double, [](const SpringRun& r, std::size_t k) { return r.energy[k]; },
     doubleData<&SpringRun::energy>},
    {"damping_work", "J", Kind::Double,
     [](const SpringRun& r, std::size_t k) { return r.dampingWork[k]; },
     doubleData<&SpringRun::dampingWork>},
    {"h", "s", Kind::Model, [](const SpringRun& r, std::size_t k) { return r.h(k); }},
}};

inline constexpr std::array<Field<SpringRun>, 12> kSpringSummary{{
    {"scheme", "", Kind::Text, "", nullptr, [](const SpringRun& r) { return r.scheme; }},
    {"steps", "", Kind::Count, "", [](const SpringRun& r) { return double(r.steps); }},
    {"evaluations", "", Kind::Count, "", [](const SpringRun& r) { return double(r.evaluations); }},
    {"stop", "", Kind::Text, "", nullptr,
     [](const SpringRun& r) { return std::string(stopName(r)); }},
    {"few_steps", "", Kind::Flag, "few steps",
     [](const SpringRun& r) { return r.fewSteps() ? 1.0 : 0.0; }},
    {"final_height", "m", Kind::Model, "%.6g", [](const SpringRun& r) { return r.finalHeight; }},
    {"resting_height", "m", Kind::Double, "%.6g",
     [](const SpringRun& r) { return r.restingHeight; }},
    {"max_height_error", "m", Kind::Double, "%.3e",
     [](const SpringRun& r) { return r.maxHeightError; }},
    {"energy_drift", "", Kind::Double, "%.3e", [](const SpringRun& r) { return r.energyDrift; }},
    {"energy_balance_drift", "", Kind::Double, "%.3e",
     [](const SpringRun& r) { return r.energyBalanceDrift; }},
    {"rejected", "", Kind::Count, "", [](const SpringRun& r) { return double(r.rejected); }},
    {"wall_ms", "ms", Kind::Double, "%.3f", [](const SpringRun& r) { return r.wallMs; }},
}};

inline constexpr std::array<Field<ConvergenceRow>, 10> kConvergenceFields{{
    {"scheme", "", Kind::Text, "", nullptr, [](const ConvergenceRow& r) { return r.scheme; }},
    {"precision", "", Kind::Text, "", nullptr,
     [](const ConvergenceRow& r) { return std::string(precisionName(r.precision)); }},
    {"h", "s", Kind::Float32, "%.6g", [](const ConvergenceRow& r) { return r.h; }},
    {"steps", "", Kind::Count, "", [](const ConvergenceRow& r) { return double(r.steps); }},
    {"evaluations", "", Kind::Count, "",
     [](const ConvergenceRow& r) { return double(r.evaluations); }},
    {"error", "m", Kind::Double, "%.3e", [](const ConvergenceRow& r) { return r.error; }},
    {"order", "", Kind::Double, "%.2f", [](const ConvergenceRow& r) { return r.order; }},
    {"floor", "", Kind::Flag, "yes", [](const ConvergenceRow& r) { return r.atFloor ? 1.0 : 0.0; }},
    {"rtol", "", Kind::Double, "%.1e", [](const ConvergenceRow& r) { return r.rtol; }},
    {"rejected", "", Kind::Count, "", [](const ConvergenceRow& r) { return double(r.rejected); }},
}};

// Beside a convergence study's fields, for a work-against-time plot: the
// wall time of each row's own run. Not in pbsim-study's tables, whose files
// stay the same from run to run.
inline constexpr std::array<Field<ConvergenceRow>, 1> kConvergenceTimes{{
    {"wall_ms", "ms", Kind::Double, "%.3f", [](const ConvergenceRow& r) { return r.wallMs; }},
}};

// The rows of a stability study (stability.h): per scheme, the largest
// stable step measured and the one theory gives, and which bound that is.
inline constexpr std::array<Field<StabilityRow>, 9> kStabilityFields{{
    {"scheme", "", Kind::Text, "", nullptr, [](const StabilityRow& r) { return r.scheme; }},
    {"kind", "", Kind::Text, "", nullptr,
     [](const StabilityRow& r) { return std::string(r.info ? schemeKindName(r.info->kind) : ""); }},
    {"measured_dt", "s", Kind::Double, "%.6g", [](const StabilityRow& r) { return r.measured; },
     nullptr, "none"},
    {"theory_dt", "s", Kind::Double, "%.6g", [](const StabilityRow& r) { return r.theory; },
     nullptr, "none"},
    {"relative_difference", "", Kind::Double, "%.3e",
     [](const StabilityRow& r) { return r.relativeDifference(); }},
    {"bound", "", Kind::Text, "", nullptr, [](const StabilityRow& r) { return r.bound; }},
    {"steps", "", Kind::Count, "", [](const StabilityRow& r) { return double(r.steps); }},
    {"searched_to", "s", Kind::Double, "%.6g", [](const StabilityRow& r) { return r.searchedTo; }},
    {"unstable_at_dt", "", Kind::Flag, "unstable at dt",
     [](const StabilityRow& r) { return r.unstableAtDt ? 1.0 : 0.0; }},
}};

// The rows of the exact solution beside a study's runs: the summary fields
// the closed form has (the flight's landing; the spring has none).
inline constexpr std::array<std::string_view, 3> kExactLandingFields{
    {"landing_x", "landing_z", "flight_time"}};

// A value as CSV writes it: the shortest decimal that reads back to the
// value in its kind's precision; nothing for NaN; counts as whole numbers,
// flags as 1 or 0.
std::string csvNumber(double v, Kind kind, Precision precision);
// As pbsim-study's tables show it: `format` ("%.6g", "%.3e", "%.3f", "%.2f",
// "%.9g" or "%.1e"; any other is refused with an empty string), nothing for NaN.
std::string readableNumber(double v, const char* format);

template <class Run>
std::string csvCell(const Field<Run>& f, const Run& r) {
  if (f.kind == Kind::Text) return f.text(r);
  return csvNumber(f.number(r), f.kind, r.precision);
}

template <class Run>
std::string csvCell(const Column<Run>& c, const Run& r, std::size_t k) {
  return csvNumber(c.value(r, k), c.kind, r.precision);
}

// As a readable table shows it: a Flag's word or nothing, a missing value
// as the field's `absent`.
template <class Run>
std::string readableCell(const Field<Run>& f, const Run& r) {
  if (f.kind == Kind::Text) return f.text(r);
  const double v = f.number(r);
  if (f.kind == Kind::Flag) return v != 0.0 ? f.readable : "";
  if (f.kind == Kind::Count) return csvNumber(v, f.kind, r.precision);
  if (v != v) return f.absent;
  return readableNumber(v, f.readable);
}

// A column's heading in a readable table: the name, and its unit in
// brackets unless the name already ends in it (wall_ms).
std::string heading(std::string_view name, std::string_view unit);

// The shortest decimal that reads back to the same value ("" for NaN).
std::string shortest(double v);
std::string shortest(float v);
