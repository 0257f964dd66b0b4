"""Single precision is pbsim's arithmetic: the module's points and summaries against
pbsim-study's CSV and summary, run as a user runs it."""

import csv
import io

import numpy as np
import pytest

import pbsim
from conftest import options, run_study, study_csv, study_summary

# The shot that never moves warns that it is stuck; the spring with negative damping that
# it diverged.
pytestmark = [pytest.mark.filterwarnings("ignore::pbsim.FewStepsWarning"),
              pytest.mark.filterwarnings("ignore::pbsim.DivergedWarning")]

ALL = [s.name for s in pbsim.SCHEMES]

SHOTS = [
    {},  # pbsim's start-up shot
    {"elevation": 80, "azimuth": -35, "dt": 0.01},
    {"mass": 3, "friction": 0.5, "power": 200, "elevation": 30},
    {"friction": 0, "gravity": -1.62, "dt": 0.05, "powder": 0.3},
    {"mass": 250, "friction": 400, "elevation": 60, "dt": 0.002},
    {"power": 0, "gravity": 0},  # never moves: stuck after one step
]

# Quadratic drag (friction in kg/m), whose columns are named by the reference they are
# measured against, as pbsim-study's CSV names them.
QUADRATIC_SHOTS = [
    {},
    {"friction": 0.5},
    {"mass": 3, "friction": 0.01, "power": 200, "elevation": 30, "azimuth": 25},
    {"elevation": 90, "friction": 5, "dt": 0.01},  # straight up and down
]

SPRINGS = [
    {},  # pbsim's start-up spring
    {"kd": 0, "dt": 0.05},
    {"mass": 0.5, "ks": 40, "kd": 9, "rest": 2, "gravity": -30},
    {"mass": 2, "ks": 8, "kd": 8, "dt": 0.02},
    {"mass": 1, "ks": 5, "kd": 0.3, "gravity": 12, "dt": 0.03},  # rises above the anchor
    {"kd": -1},  # negative damping: overflows, and reports no errors
]


def read32(rows, name):
    # An empty cell is a value that is not a number (a diverged run's).
    return np.array([np.float32(float(r[name]) if r[name] else np.nan) for r in rows],
                    dtype=np.float32)


def read64(rows, name):
    return np.array([float(r[name]) if r[name] else np.nan for r in rows])


def same_points(result, rows, float32_columns, float64_columns):
    """Every point: pbsim's float32 values bit for bit (the CSV prints the shortest decimal
    that reads back as the same float), the double columns to the last bit."""
    assert len(result) == len(rows), result.scheme
    np.testing.assert_array_equal(result.step, [int(r["step"]) for r in rows])
    # t is printed as the float the model keeps it as
    np.testing.assert_array_equal(result.t.astype(np.float32), read32(rows, "t"))
    for name in float32_columns:
        assert getattr(result, name).dtype == np.float32
        np.testing.assert_array_equal(getattr(result, name), read32(rows, name),
                                      err_msg=f"{result.scheme} {name}")
    for name in float64_columns:
        np.testing.assert_array_equal(getattr(result, name), read64(rows, name),
                                      err_msg=f"{result.scheme} {name}")


def same_summary(table, study, float32_columns):
    """compare()'s table against pbsim-study's --summary: the same columns, the same counts
    and stops, every number the same (float32 ones as pbsim computes them); wall times
    differ."""
    assert list(table.columns) == [c for c in next(iter(study.values())) if c], table.columns
    for row in table.itertuples(index=False):
        expected = study[row.scheme]
        for name, value in row._asdict().items():
            text = expected[name]
            if name in ("scheme", "stop"):
                assert value == text, (row.scheme, name)
            elif name in ("steps", "evaluations", "few_steps"):
                assert int(value) == int(text), (row.scheme, name)
            elif name == "wall_ms":
                continue
            elif text == "":
                assert np.isnan(value), (row.scheme, name)
            elif name in float32_columns:
                assert np.float32(value) == np.float32(float(text)), (row.scheme, name)
            else:
                assert value == float(text), (row.scheme, name, value, text)


@pytest.mark.parametrize("shot", SHOTS, ids=[str(s) for s in SHOTS])
def test_flight_points_are_pbsim_study_bits(shot):
    args = ["flight", *options(shot), "--schemes", ",".join(ALL)]
    rows = study_csv(*args)
    assert sorted(rows) == sorted(ALL)
    for scheme in ALL:
        same_points(pbsim.flight(**shot, scheme=scheme), rows[scheme],
                    ("x", "y", "z", "vx", "vy", "vz"),
                    ("exact_x", "exact_y", "exact_z", "path_error"))
    same_summary(pbsim.compare("flight", schemes=ALL, **shot), study_summary(*args),
                 ("landing_x", "landing_z"))


@pytest.mark.parametrize("shot", QUADRATIC_SHOTS, ids=[str(s) for s in QUADRATIC_SHOTS])
def test_quadratic_flight_points_are_pbsim_study_bits(shot):
    args = ["flight", *options(shot), "--drag", "quadratic", "--schemes", ",".join(ALL)]
    rows = study_csv(*args)
    assert sorted(rows) == sorted(ALL)
    for scheme in ALL:
        r = pbsim.flight(**shot, scheme=scheme, drag="quadratic")
        assert (r.judge, r.drag) == ("reference", "quadratic")
        same_points(r, rows[scheme], ("x", "y", "z", "vx", "vy", "vz"),
                    ("reference_x", "reference_y", "reference_z", "path_error"))
    table = pbsim.compare("flight", schemes=ALL, drag="quadratic", **shot)
    same_summary(table, study_summary(*args), ("landing_x", "landing_z"))
    assert table.attrs["judge"] == "reference"


@pytest.mark.parametrize("values", SPRINGS, ids=[str(s) for s in SPRINGS])
def test_spring_heights_are_pbsim_study_bits(values):
    args = ["spring", *options(values), "--schemes", ",".join(ALL)]
    rows = study_csv(*args)
    for scheme in ALL:
        same_points(pbsim.spring(**values, scheme=scheme), rows[scheme], ("y", "v"),
                    ("exact_y", "height_error", "energy"))
    same_summary(pbsim.compare("spring", schemes=ALL, **values), study_summary(*args),
                 ("final_height",))


def test_the_stops_are_pbsim_study_stops():
    # The start-up shot lands; the shot that never moves is stuck; an undamped spring
    # never rests and ends at pbsim's sample limit.
    assert pbsim.flight().stop == "landed"
    assert pbsim.flight(power=0, gravity=0).stop == "stuck"
    undamped = pbsim.spring(kd=0, scheme="verlet")
    assert undamped.stop == "sample_limit"
    assert len(undamped) == pbsim.MAX_SPRING_SAMPLES


@pytest.mark.parametrize("model,values,drag", [
    ("flight", {}, None), ("flight", {"dt": 0.05, "friction": 5}, None),
    ("flight", {"friction": 0.5}, "quadratic"), ("flight", {"dt": 0.05}, "quadratic"),
    ("spring", {}, None), ("spring", {"kd": 0}, None)])
def test_convergence_is_pbsim_study_s(model, values, drag):
    law = ["--drag", drag] if drag else []
    study = run_study("convergence", model, *options(values), *law, "--levels", "4",
                      "--double", "--schemes", ",".join(ALL), "--summary", "-")
    rows = list(csv.DictReader(io.StringIO(study)))
    table = pbsim.convergence(model, schemes=ALL, precision="both", levels=4, drag=drag,
                              **values)
    # pbsim-study's columns, then each row's wall time (which differs from run to run).
    assert list(table.columns) == list(rows[0]) + ["wall_ms"]
    assert len(table) == len(rows)
    for row, expected in zip(table.itertuples(index=False), rows):
        assert (row.scheme, row.precision) == (expected["scheme"], expected["precision"])
        assert np.float32(row.h) == np.float32(float(expected["h"]))
        assert (row.steps, row.evaluations) == (int(expected["steps"]),
                                                int(expected["evaluations"]))
        assert row.error == float(expected["error"])
        assert (np.isnan(row.order) if expected["order"] == "" else
                row.order == float(expected["order"]))
        assert row.floor == (expected["floor"] == "1")
