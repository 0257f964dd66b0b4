#pragma once

// The engine's column and summary descriptors (columns.h) in Python terms:
// a field's value as the Python object of its kind, and a table's names and
// units for the pure-Python layer.

#include <pybind11/pybind11.h>

#include <string>

#include "columns.h"

namespace py = pybind11;

// Text as str, Count as int, Flag as bool, every number as float.
template <class Run>
py::object fieldValue(const Field<Run>& f, const Run& r) {
  switch (f.kind) {
    case Kind::Text:
      return py::str(f.text(r));
    case Kind::Count:
      return py::int_(static_cast<long long>(f.number(r)));
    case Kind::Flag:
      return py::bool_(f.number(r) != 0.0);
    case Kind::Model:
    case Kind::Float32:
    case Kind::Double:
      break;
  }
  return py::float_(f.number(r));
}

// Each row's name and unit, in the table's order.
template <class Table>
py::list describe(const Table& table) {
  py::list out;
  for (const auto& row : table) {
    py::dict d;
    d["name"] = std::string(row.name);
    d["unit"] = std::string(row.unit);
    out.append(d);
  }
  return out;
}
