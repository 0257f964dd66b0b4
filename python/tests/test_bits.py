"""Single precision is pbsim's arithmetic: the module's points and summaries against
pbsim-study's CSV and summary, run as a user runs it. Every scheme runs in its default
precision on both sides (the implicit and adaptive ones in double)."""

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


def same_points(result, rows, model_columns, float64_columns):
    """Every point: the model's values bit for bit (the CSV prints the shortest decimal
    that reads back as the same float32 in single precision, as the same double in double
    precision), the double columns to the last bit."""
    assert len(result) == len(rows), result.scheme
    np.testing.assert_array_equal(result.step, [int(r["step"]) for r in rows])
    single = result.precision == "single"
    read, dtype = (read32, np.float32) if single else (read64, np.float64)
    # t (and h) are printed as the model keeps them: float32 in single precision
    for name in ("t", "h"):
        np.testing.assert_array_equal(getattr(result, name).astype(dtype), read(rows, name),
                                      err_msg=f"{result.scheme} {name}")
    for name in model_columns:
        assert getattr(result, name).dtype == dtype, (result.scheme, name)
        np.testing.assert_array_equal(getattr(result, name), read(rows, name),
                                      err_msg=f"{result.scheme} {name}")
    for name in float64_columns:
        np.testing.assert_array_equal(getattr(result, name), read64(rows, name),
                                      err_msg=f"{result.scheme} {name}")


def same_summary(table, study, model_columns):
    """compare()'s table against pbsim-study's --summary: the same columns, the same counts
    and stops, every number the same (the model's as the scheme's precision keeps them);
    wall times differ."""
    assert list(table.columns) == [c for c in next(iter(study.values())) if c], table.columns
    for row in table.itertuples(index=False):
        expected = study[row.scheme]
        single = table.attrs["precision"][row.scheme] == "single"
        for name, value in row._asdict().items():
            text = expected[name]
            if name in ("scheme", "stop"):
                assert value == text, (row.scheme, name)
            elif name in ("steps", "evaluations", "few_steps", "rejected"):
                assert int(value) == int(text), (row.scheme, name)
            elif name == "wall_ms":
                continue
            elif text == "":
                assert np.isnan(value), (row.scheme, name)
            elif name in model_columns and single:
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
                    ("exact_y", "height_error", "energy", "damping_work"))
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
        # An adaptive scheme's rows sweep rtol (h is NaN); the others' dt (rtol is NaN).
        for name in ("h", "rtol"):
            value = getattr(row, name)
            assert (np.isnan(value) if expected[name] == "" else
                    np.float32(value) == np.float32(float(expected[name]))), (row.scheme, name)
        assert (row.steps, row.evaluations, row.rejected) == (
            int(expected["steps"]), int(expected["evaluations"]), int(expected["rejected"]))
        assert row.error == float(expected["error"])
        assert (np.isnan(row.order) if expected["order"] == "" else
                row.order == float(expected["order"]))
        assert row.floor == (expected["floor"] == "1")


# The run options beside the parameters, as keyword arguments and as pbsim-study options.
RUN_OPTIONS = [
    {"landing": "interpolated"},
    {"rtol": 1e-10, "atol": 1e-12, "landing": "interpolated"},
    {"rtol": 1e-3, "atol": 1e-5},
]


def option_args(opts):
    return [f"--{name}={value}" if isinstance(value, str) else f"--{name}={value!r}"
            for name, value in opts.items()]


@pytest.mark.parametrize("opts", RUN_OPTIONS, ids=[str(o) for o in RUN_OPTIONS])
def test_flights_with_tolerances_and_landing_are_pbsim_study_bits(opts):
    schemes = ["euler", "rk4", "implicit-midpoint", "bogacki-shampine", "dopri5"]
    args = ["flight", *option_args(opts), "--schemes", ",".join(schemes)]
    rows = study_csv(*args)
    for scheme in schemes:
        r = pbsim.flight(scheme=scheme, **opts)
        assert r.landing == opts["landing"] if "landing" in opts else r.landing == "linear"
        same_points(r, rows[scheme], ("x", "y", "z", "vx", "vy", "vz"),
                    ("exact_x", "exact_y", "exact_z", "path_error"))
    same_summary(pbsim.compare("flight", schemes=schemes, **opts), study_summary(*args),
                 ("landing_x", "landing_z"))


@pytest.mark.parametrize("values", [{}, {"ks": 1e4, "mass": 1, "dt": 0.01, "kd": 0}],
                         ids=["start-up", "stiff"])
def test_adaptive_and_implicit_springs_are_pbsim_study_bits(values):
    schemes = ["backward-euler", "implicit-midpoint", "bogacki-shampine", "dopri5"]
    opts = {"rtol": 1e-8, "atol": 1e-10}
    args = ["spring", *options(values), *option_args(opts), "--until", "2",
            "--schemes", ",".join(schemes)]
    rows = study_csv(*args)
    for scheme in schemes:
        same_points(pbsim.spring(**values, scheme=scheme, until=2, **opts), rows[scheme],
                    ("y", "v"), ("exact_y", "height_error", "energy", "damping_work"))
    same_summary(pbsim.compare("spring", schemes=schemes, until=2, **values, **opts),
                 study_summary(*args), ("final_height",))


@pytest.mark.parametrize("study", [
    {"quantity": "landing", "landing": "interpolated"},
    {"quantity": "landing"},
    {"sweep": "rtol", "rtol": 1e-3, "atol": 1e-6, "rtol_levels": 4},
    {"sweep": "dt", "quantity": "landing", "landing": "interpolated", "levels": 3},
], ids=["landing interpolated", "landing linear", "rtol", "dt"])
def test_convergence_sweeps_and_quantities_are_pbsim_study_s(study):
    schemes = ["euler", "rk4", "backward-euler"] if study.get("sweep") == "dt" else (
        ["bogacki-shampine", "dopri5"] if study.get("sweep") == "rtol" else
        ["euler", "midpoint", "rk4", "dopri5"])
    levels = study.pop("levels", 4)
    args = [f"--{k.replace('_', '-')}={v!r}" if not isinstance(v, str) else f"--{k}={v}"
            for k, v in study.items()]
    rows = list(csv.DictReader(io.StringIO(run_study(
        "convergence", "flight", "--levels", str(levels), *args, "--schemes", ",".join(schemes),
        "--summary", "-"))))
    table = pbsim.convergence("flight", schemes=schemes, levels=levels, **study)
    assert len(table) == len(rows) > 0
    for row, expected in zip(table.itertuples(index=False), rows):
        assert (row.scheme, row.precision) == (expected["scheme"], expected["precision"])
        for name in ("h", "rtol"):
            value = getattr(row, name)
            assert (np.isnan(value) if expected[name] == "" else
                    np.float32(value) == np.float32(float(expected[name]))), (row.scheme, name)
        assert (row.steps, row.evaluations, row.rejected) == (
            int(expected["steps"]), int(expected["evaluations"]), int(expected["rejected"]))
        assert row.error == float(expected["error"]), row
        assert (np.isnan(row.order) if expected["order"] == "" else
                row.order == float(expected["order"]))
        assert row.floor == (expected["floor"] == "1")
