"""Quadratic drag from Python: the engine's words for the law, results that say what they
are measured against (a reference integration where no closed form exists), that
reference against the textbook's vertical shot and the drag-free parabola, and the orders
of Euler, midpoint and RK4 measured against it."""

import math
import re

import numpy as np
import pytest

import pbsim
from conftest import run_study, study_csv

QUADRATIC = dict(drag="quadratic", friction=0.5)
# The model's gravity, as the float it keeps it as.
G = -float(np.float32(-9.8))


def test_the_laws_are_the_engines_words_and_linear_is_pbsims():
    assert pbsim.DRAG_LAWS == ("linear", "quadratic")
    assert pbsim.flight().drag == "linear"
    assert pbsim.flight(drag="quadratic").drag == "quadratic"
    # pbsim's law is the default and flies as it always did, to the bit.
    a, b = pbsim.flight(), pbsim.flight(drag="linear")
    for name in ("x", "y", "z", "exact_x", "path_error"):
        np.testing.assert_array_equal(getattr(a, name), getattr(b, name))


DRAG_ENTRY_POINTS = {
    "flight": lambda drag: pbsim.flight(drag=drag),
    "compare": lambda drag: pbsim.compare("flight", schemes="rk4", drag=drag),
    "convergence": lambda drag: pbsim.convergence("flight", schemes="rk4", levels=2, drag=drag),
}


@pytest.mark.parametrize("entry", sorted(DRAG_ENTRY_POINTS))
@pytest.mark.parametrize("drag,error,words", [
    ("cubic", ValueError, "drag must be linear or quadratic, not 'cubic'"),
    ("Quadratic", ValueError, "drag must be linear or quadratic, not 'Quadratic'"),
    ("", ValueError, "drag must be linear or quadratic, not ''"),
    (2, TypeError, "drag must be a str, not int"),
])
def test_a_word_that_is_no_law_is_refused_everywhere(entry, drag, error, words):
    with pytest.raises(error) as caught:
        DRAG_ENTRY_POINTS[entry](drag)
    assert str(caught.value) == words


@pytest.mark.parametrize("call,words", [
    (lambda: pbsim.compare("spring", drag="quadratic"), "drag applies to the flight only"),
    (lambda: pbsim.convergence("spring", drag="linear"), "drag applies to the flight only"),
    (lambda: pbsim.exact_flight(1.0, drag="quadratic"), "quadratic drag has none"),
    (lambda: pbsim.exact_landing_time(drag="quadratic"), "quadratic drag has none"),
])
def test_where_the_law_plays_no_part_it_is_refused(call, words):
    with pytest.raises(TypeError, match=words):
        call()


@pytest.mark.parametrize("entry", sorted(DRAG_ENTRY_POINTS))
def test_negative_quadratic_friction_is_refused_everywhere(entry):
    with pytest.raises(ValueError, match="^friction "):
        {"flight": lambda: pbsim.flight(drag="quadratic", friction=-1),
         "compare": lambda: pbsim.compare("flight", drag="quadratic", friction=-1),
         "convergence": lambda: pbsim.convergence("flight", drag="quadratic", friction=-1)
         }[entry]()


def test_the_friction_shows_its_quadratic_unit():
    # F = c |v| v: c in N/(m/s)^2 = kg/m; every other parameter keeps its unit.
    units = {p.name: p.quadratic_unit for p in pbsim.parameters("flight")}
    assert units.pop("friction") == "kg/m"
    assert set(units.values()) == {""}
    assert all(p.quadratic_unit == "" for p in pbsim.parameters("spring"))
    assert "kg/m under quadratic drag" in pbsim.flight.__doc__


@pytest.mark.parametrize("precision", ["single", "double"])
def test_results_say_what_they_are_measured_against(precision):
    linear = pbsim.flight(precision=precision)
    assert (linear.judge, linear.judge_error) == ("exact", 0.0)
    assert "exact_x" in linear._columns and "reference_x" not in linear._columns
    r = pbsim.flight(precision=precision, **QUADRATIC)
    assert r.judge == "reference"
    # The reference's own estimate, in m: far below any scheme's error here.
    assert 0.0 < r.judge_error < 1e-12
    assert [c for c in r._columns if c.startswith(("exact", "reference"))] == [
        "reference_x", "reference_y", "reference_z"]
    # The names are pbsim-study's CSV header.
    header = run_study("flight", "--drag", "quadratic", "--friction", "0.5", "--schemes", "rk4",
                       "--csv", "-").splitlines()[0].split(",")
    assert list(r.to_frame().columns) == header[1:]
    with pytest.raises(AttributeError, match=r"exact_y: quadratic drag has no closed form.*"
                                             r"against its reference \(reference_y\)"):
        r.exact_y
    with pytest.raises(AttributeError, match="no attribute 'wind'"):
        r.wind
    # path_error is the distance to the reference.
    d = np.hypot(np.hypot(r.x - r.reference_x, r.y - r.reference_y), r.z - r.reference_z)
    np.testing.assert_allclose(r.path_error[:-1], d[:-1], rtol=1e-12)


def test_the_reference_note_is_pbsim_studys():
    r = pbsim.flight(**QUADRATIC)
    printed = run_study("flight", "--drag", "quadratic", "--friction", "0.5", "--schemes", "rk4")
    (note,) = [n for n in r.notes if n.startswith("reference:")]
    assert note in printed.splitlines()
    assert re.search(r"own error is about \S+ m", note)
    table = pbsim.compare("flight", schemes=["euler", "rk4"], **QUADRATIC)
    assert table.attrs["notes"].count(note) == 1
    assert (table.attrs["judge"], table.attrs["judge_error"]) == ("reference", r.judge_error)
    study = pbsim.convergence("flight", schemes="rk4", levels=2, **QUADRATIC)
    assert study.attrs["notes"] == [note]
    assert study.attrs["judge"] == "reference"
    assert pbsim.convergence("flight", schemes="rk4", levels=2).attrs["notes"] == []


def vertical_closed_form(t, y0, v0, g, k):
    """Height of a shot straight up under dv/dt = -g - k|v|v (g > 0): going up
    v = vt tan(atan(v0/vt) - g t/vt), coming down v = -vt tanh(g (t - t_top)/vt),
    with the terminal speed vt = sqrt(g/k)."""
    vt = math.sqrt(g / k)
    phi = math.atan(v0 / vt)
    t_top = vt / g * phi
    y_top = y0 + vt * vt / g * math.log(1.0 / math.cos(phi))
    up = y0 + vt * vt / g * np.log(np.cos(phi - g * np.minimum(t, t_top) / vt) / math.cos(phi))
    down = y_top - vt * vt / g * np.log(np.cosh(g * np.maximum(t - t_top, 0.0) / vt))
    return np.where(t <= t_top, up, down), y_top


@pytest.mark.parametrize("physics", [dict(friction=5.0, dt=0.01),
                                     dict(friction=20.0, mass=3.0, power=90.0, dt=0.001)],
                         ids=["light drag", "strong drag"])
def test_the_reference_is_the_vertical_closed_form(physics):
    r = pbsim.flight(elevation=90, drag="quadratic", precision="double", **physics)
    assert r.stop == "landed"
    # The model's own launch state (the double run's first point) starts the closed form;
    # the friction and mass are the floats the model keeps.
    k = float(np.float32(physics["friction"])) / float(np.float32(physics.get("mass", 1000.0)))
    y, top = vertical_closed_form(r.t, r.y[0], r.vy[0], G, k)
    # Relative to the height reached (the heights pass through 0 at the ends).
    np.testing.assert_allclose(r.reference_y, y, rtol=0, atol=1e-12 * top)


def test_the_reference_tends_to_the_parabola_as_the_drag_vanishes():
    # Without drag: x = x0 + vx0 t, y = y0 + vy0 t - g t^2 / 2. The drag's effect is
    # first order in c.
    gaps = []
    for c in (1e-4, 1e-5, 1e-6):
        r = pbsim.flight(friction=c, drag="quadratic", precision="double")
        parabola = (r.x[0] + r.vx[0] * r.t, r.y[0] + r.vy[0] * r.t - G / 2 * r.t ** 2,
                    r.z[0] + r.vz[0] * r.t)
        gaps.append(max(np.abs(r.reference_x - parabola[0]).max(),
                        np.abs(r.reference_y - parabola[1]).max(),
                        np.abs(r.reference_z - parabola[2]).max()))
    assert gaps[0] < 1e-4
    for coarse, fine in zip(gaps, gaps[1:]):
        assert coarse / fine == pytest.approx(10, rel=0.01)


# The textbook's orders, and the laws to measure them under.
ORDERS = {"euler": 1, "midpoint": 2, "rk4": 4}
LAWS = [dict(), dict(drag="linear"), dict(drag="quadratic", friction=0.5),
        dict(drag="quadratic", friction=50.0, dt=0.05)]


@pytest.mark.parametrize("law", LAWS, ids=[str(law) for law in LAWS])
def test_orders_show_in_double_precision_for_both_laws(law):
    table = pbsim.convergence("flight", schemes=list(ORDERS), precision="double", **law)
    assert table.attrs["judge"] == ("reference" if law.get("drag") == "quadratic" else "exact")
    for scheme, order in ORDERS.items():
        rows = table[table.scheme == scheme]
        measured = rows[~rows.floor].order.dropna()
        # Each scheme shows its order over at least three halvings above the floor.
        assert len(measured) >= 3, rows
        assert (measured - order).abs().max() < 0.1, rows
