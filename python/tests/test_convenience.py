"""What a notebook user runs into: a step of their own runs without asking for double
precision, one scheme needs no list, a diverged run reports no errors and says so,
dir(pbsim) shows the package's own names, and a convergence study has its wall times."""

import math
import warnings

import numpy as np
import pytest

import pbsim
from pbsim import _pbsim


def heun(f, t, x, h):
    k1 = f(t, x)
    k2 = f(t + h, x + h * k1)
    return x + h / 2 * (k1 + k2)


@pytest.mark.parametrize("run", [pbsim.flight, pbsim.spring], ids=["flight", "spring"])
def test_a_step_of_your_own_runs_in_double_by_default(run):
    mine = run(scheme=heun)
    assert mine.precision == "double" and mine.params["precision"] == "double"
    asked = run(scheme=heun, precision="double")
    np.testing.assert_array_equal(mine.y, asked.y)
    # Built-in schemes and tableaus keep pbsim's single precision by default.
    assert run().precision == "single" and run().y.dtype == np.float32
    with pytest.raises(ValueError, match="runs in double precision only"):
        run(scheme=heun, precision="single")


def test_a_comparison_runs_each_scheme_in_its_own_precision():
    # rk4 in pbsim's single precision, a step of your own and dopri5 in double (the only
    # precision they have), unless one precision is asked for.
    table = pbsim.compare("flight", schemes=["rk4", heun, "dopri5"])
    assert table.attrs["precision"] == {"rk4": "single", "heun": "double", "dopri5": "double"}
    assert table.attrs["params"]["precision"] is None
    assert table.landing_x[0] == pbsim.flight(scheme="rk4", precision="single").landing_x
    assert table.landing_x[1] == pbsim.flight(scheme=heun, precision="double").landing_x
    both = pbsim.compare("flight", schemes=["rk4", heun], precision="double")
    assert both.attrs["params"]["precision"] == "double"
    assert both.landing_x[0] == pbsim.flight(scheme="rk4", precision="double").landing_x
    assert pbsim.compare("flight", schemes=["rk4"]).attrs["params"]["precision"] == "single"


HEUN = pbsim.ButcherTableau([[0, 0], [1, 0]], [0.5, 0.5], [0, 1], name="heun")


@pytest.mark.parametrize("one", ["rk4", HEUN, heun], ids=["name", "tableau", "step"])
def test_one_scheme_needs_no_list(one):
    alone = pbsim.compare("flight", schemes=one)
    listed = pbsim.compare("flight", schemes=[one])
    assert len(alone) == 1
    assert alone.drop(columns="wall_ms").equals(listed.drop(columns="wall_ms"))
    if callable(one):
        return
    study = pbsim.convergence("spring", schemes=one, levels=3)
    assert list(study.scheme) == [listed.scheme[0]] * 3


def test_a_step_of_your_own_is_refused_by_a_convergence_study_saying_why():
    with pytest.raises(ValueError) as caught:
        pbsim.convergence("flight", schemes=heun)
    words = str(caught.value)
    assert "not a Python step such as 'heun'" in words
    assert "single precision" in words and "long double" in words
    assert "ButcherTableau" in words


DIVERGING = [
    ("spring", dict(kd=-1.0), ("max_height_error", "energy_drift")),  # negative damping
    ("flight", dict(friction=-20000.0), ("max_path_error",)),  # negative linear friction
]


@pytest.mark.parametrize("model,physics,errors", DIVERGING, ids=[m for m, _, _ in DIVERGING])
def test_a_diverged_run_reports_no_errors_and_says_so(model, physics, errors):
    run = {"flight": pbsim.flight, "spring": pbsim.spring}[model]
    with pytest.warns(pbsim.DivergedWarning, match=r"rk4 diverged at step (\d+) \(t = [^)]+\): "
                                                   r"its state overflowed") as caught:
        r = run(**physics)
    step = int(caught[0].message.args[0].split("step ")[1].split(" ")[0])
    # The first point that is not a finite number, as the arrays show it.
    finite = np.isfinite(r.y) & np.isfinite(r.to_frame()["v" if model == "spring" else "vy"])
    assert not finite[step] and finite[:step].all()
    for name in errors:
        assert math.isnan(getattr(r, name)), name
    assert any("diverged" in n for n in r.notes)
    with pytest.warns(pbsim.DivergedWarning):
        table = pbsim.compare(model, schemes=["euler", "rk4"], **physics)
    assert table[list(errors)].isna().all().all()
    # A run that stays finite keeps its numbers and draws no such warning.
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        calm = run()
    assert all(np.isfinite(getattr(calm, name)) for name in errors)


def test_dir_shows_the_packages_own_names():
    names = dir(pbsim)
    assert set(pbsim.__all__) <= set(names)
    for name in names:
        assert name in pbsim.__all__ or name.startswith("__"), name
    for imported in ("np", "math", "Any", "warnings", "Optional", "inspect"):
        assert imported not in names, imported


@pytest.mark.parametrize("precision", ["single", "double"])
def test_a_convergence_study_has_each_rows_wall_time(precision):
    fields = _pbsim.convergence_fields()
    assert fields[-1] == {"name": "wall_ms", "unit": "ms"}
    study = pbsim.convergence("flight", schemes=["euler", "rk4"], precision=precision, levels=4)
    assert study.wall_ms.dtype == np.float64
    assert np.isfinite(study.wall_ms).all() and (study.wall_ms >= 0).all()
    assert study.wall_ms.sum() > 0
