"""A user's own schemes (a Butcher tableau, a Python step) against the built-in ones."""

import numpy as np
import pytest

import pbsim

RK4 = pbsim.ButcherTableau(
    a=[[], [0.5], [0.0, 0.5], [0.0, 0.0, 1.0]],
    b=[1 / 6, 1 / 3, 1 / 3, 1 / 6], c=[0.0, 0.5, 0.5, 1.0], name="my-rk4")
HEUN = pbsim.ButcherTableau(a=[[0, 0], [1, 0]], b=[0.5, 0.5], c=[0, 1], name="heun")


def rk4_step(f, t, x, h):
    k1 = f(t, x)
    k2 = f(t + h / 2, x + h / 2 * k1)
    k3 = f(t + h / 2, x + h / 2 * k2)
    k4 = f(t + h, x + h * k3)
    return x + h / 6 * (k1 + 2 * k2 + 2 * k3 + k4)


def heun_step(f, t, x, h):
    k1 = f(t, x)
    k2 = f(t + h, x + h * k1)
    return x + h / 2 * (k1 + k2)


def euler_step(f, t, x, h):
    return x + h * f(t, x)


FLIGHT_COLUMNS = ("x", "y", "z", "vx", "vy", "vz")
SPRING_COLUMNS = ("y", "v")

# (user's scheme, built-in or reference scheme it must match in double precision)
PAIRS = [
    (RK4, "rk4"),
    (rk4_step, "rk4"),
    (euler_step, "euler"),
    (heun_step, HEUN),
]


def agree(a, b, columns):
    assert (a.steps, a.stop) == (b.steps, b.stop)
    for name in columns:
        u, v = getattr(a, name), getattr(b, name)
        np.testing.assert_allclose(u, v, rtol=1e-14, atol=1e-14 * np.abs(v).max(), err_msg=name)


@pytest.mark.parametrize("mine,builtin", PAIRS, ids=["rk4-tableau", "rk4-step", "euler-step",
                                                     "heun-step"])
def test_own_scheme_agrees_with_builtin_in_double(mine, builtin):
    for shot in ({}, {"dt": 0.01, "elevation": 70}):
        agree(pbsim.flight(**shot, scheme=mine, precision="double"),
              pbsim.flight(**shot, scheme=builtin, precision="double"), FLIGHT_COLUMNS)
    # A user's step is judged at rest by one evaluation at its end, a built-in scheme by
    # every evaluation of the step: the runs may settle a step apart, so both end at 20 s.
    for spring in ({}, {"kd": 0.2, "dt": 0.05}):
        agree(pbsim.spring(**spring, scheme=mine, precision="double", until=20),
              pbsim.spring(**spring, scheme=builtin, precision="double", until=20),
              SPRING_COLUMNS)


def test_own_step_counts_its_evaluations_and_names_the_run():
    r = pbsim.flight(scheme=rk4_step, precision="double")
    assert r.scheme == "rk4_step"
    assert r.evaluations == 4 * r.steps
    assert pbsim.flight(scheme=HEUN).evaluations == 2 * pbsim.flight(scheme=HEUN).steps
    assert pbsim.flight(scheme=HEUN).scheme == "heun"


def test_tableau_runs_in_single_precision_with_pbsims_rules():
    # Euler as a tableau forms x + h*k in double and narrows once, as pbsim's Euler does.
    euler = pbsim.ButcherTableau([[0]], [1], [0], name="e")
    for shot in ({}, {"dt": 0.003, "friction": 7}):
        mine, pbsims = pbsim.flight(**shot, scheme=euler), pbsim.flight(**shot, scheme="euler")
        assert mine.x.dtype == np.float32
        for name in FLIGHT_COLUMNS:
            np.testing.assert_array_equal(getattr(mine, name), getattr(pbsims, name))
    # RK4 as a tableau in single precision: the same flight to float rounding.
    mine, pbsims = pbsim.flight(scheme=RK4), pbsim.flight(scheme="rk4")
    assert mine.steps == pbsims.steps
    np.testing.assert_allclose(mine.z, pbsims.z, rtol=1e-6)


@pytest.mark.filterwarnings("ignore::pbsim.FewStepsWarning")
def test_own_step_runs_in_the_models_loop_with_its_stops():
    # A step that leaves the state as it is: the flight is stuck after one step,
    # the spring never rests and ends at the sample limit.
    def still(f, t, x, h):
        return x

    assert pbsim.flight(scheme=still, precision="double").stop == "stuck"
    s = pbsim.spring(scheme=still, precision="double")
    assert (s.stop, len(s)) == ("sample_limit", pbsim.MAX_SPRING_SAMPLES)
    assert pbsim.spring(scheme=heun_step, precision="double", until=1.0).stop == "until"


def test_tableau_order_shows_in_a_convergence_study():
    table = pbsim.convergence("flight", schemes=[HEUN, "midpoint"], precision="double",
                              levels=4)
    for name in ("heun", "midpoint"):
        orders = table[(table.scheme == name) & (table.precision == "double")].order.dropna()
        assert orders.between(1.9, 2.1).all(), table
