// The closed forms over arrays of times, vectorised without the GIL.

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cmath>
#include <optional>

#include "arguments.h"
#include "bindings.h"
#include "cases.h"

namespace {

using Vec = py::array_t<double, py::array::c_style | py::array::forcecast>;

py::tuple exactFlight(Vec t, const py::dict& values) {
  const ExactFlight exact(flightParams(values));
  const py::ssize_t n = t.size();
  Vec x(n), y(n), z(n), vx(n), vy(n), vz(n);
  const double* tt = t.data();
  double* out[] = {x.mutable_data(),  y.mutable_data(),  z.mutable_data(),
                   vx.mutable_data(), vy.mutable_data(), vz.mutable_data()};
  {
    py::gil_scoped_release release;
    for (py::ssize_t k = 0; k < n; ++k) {
      const Vec3d p = exact.position(tt[k]);
      const Vec3d v = exact.velocity(tt[k]);
      out[0][k] = p.x;
      out[1][k] = p.y;
      out[2][k] = p.z;
      out[3][k] = v.x;
      out[4][k] = v.y;
      out[5][k] = v.z;
    }
  }
  return py::make_tuple(x, y, z, vx, vy, vz);
}

std::optional<double> exactLandingTime(const py::dict& values) {
  return ExactFlight(flightParams(values)).landingTime();
}

py::tuple exactSpring(Vec t, const py::dict& values) {
  const ExactSpring exact(springParams(values));
  const py::ssize_t n = t.size();
  Vec y(n), v(n);
  const double* tt = t.data();
  double* yy = y.mutable_data();
  double* vv = v.mutable_data();
  {
    py::gil_scoped_release release;
    for (py::ssize_t k = 0; k < n; ++k) {
      const bool holds = exact.holdsAt(tt[k]);
      yy[k] = holds ? exact.height(tt[k]) : NAN;
      vv[k] = holds ? exact.velocity(tt[k]) : NAN;
    }
  }
  return py::make_tuple(y, v);
}

py::dict springClosedForm(const py::dict& values) {
  const ExactSpring exact(springParams(values));
  const char* regimes[] = {"under-damped", "critically damped", "over-damped", "none"};
  py::dict out;
  out["regime"] = regimes[exact.regime()];
  out["resting_height"] = exact.restingHeight();
  out["valid_until"] = exact.validUntil();
  return out;
}

}  // namespace

void register_closed_forms(py::module_& m) {
  m.def("exact_flight", &exactFlight, py::arg("t"), py::arg("values"),
        "The closed-form flight at times t: x, y, z, vx, vy, vz.");
  m.def("exact_landing_time", &exactLandingTime, py::arg("values"),
        "The closed-form flight's landing time, or None when it never comes down.");
  m.def("exact_spring", &exactSpring, py::arg("t"), py::arg("values"),
        "The closed-form spring at times t: y, v (NaN where the closed form does not hold).");
  m.def("spring_closed_form", &springClosedForm, py::arg("values"),
        "The closed form's regime, resting height and the time until which it holds.");
}
