"""The adaptive, implicit and landing options from Python: the landing against scipy's
solve_ivp on the same shot and against the closed form, a pair of your own against the
built-in pair it writes out, and every new option's refusal in the engine's words."""

import math
import warnings

import numpy as np
import pytest

import pbsim

scipy_integrate = pytest.importorskip("scipy.integrate")

TIGHT = {"rtol": 1e-10, "atol": 1e-12}


def exact_landing():
    """The closed form's landing: time and (x, z)."""
    t = pbsim.exact_landing_time()
    at = pbsim.exact_flight(t)
    return t, float(at.x), float(at.z)


def scipy_landing():
    """The start-up shot integrated by scipy's RK45 to its ground event. The launch state is
    the closed form's at t = 0; the right-hand side (linear drag k = friction/mass, gravity
    as the model keeps it, in float32) is checked against the closed form's own
    acceleration before it is used."""
    p = {q.name: q.default for q in pbsim.parameters("flight")}
    k = float(np.float32(p["friction"])) / float(np.float32(p["mass"]))
    g = float(np.float32(p["gravity"]))

    def f(t, s):
        return np.concatenate([s[3:], -k * s[3:] + np.array([0.0, g, 0.0])])

    for t in (0.3, 0.9):
        h = 1e-5
        slope = (np.array(pbsim.exact_flight(t + h)) - np.array(pbsim.exact_flight(t - h))) / (2 * h)
        np.testing.assert_allclose(slope, f(t, np.array(pbsim.exact_flight(t))), atol=1e-8)

    def ground(t, s):
        return s[1]

    ground.terminal = True
    ground.direction = -1
    start = np.array([float(c) for c in pbsim.exact_flight(0.0)])
    sol = scipy_integrate.solve_ivp(f, (0.0, 100.0), start, method="RK45", events=ground,
                                    **TIGHT)
    assert sol.status == 1  # ended on the event
    (t,), (state,) = sol.t_events[0], sol.y_events[0]
    return t, state[0], state[2]


def test_dopri5s_interpolated_landing_is_at_least_as_close_as_scipys():
    t, x, z = exact_landing()
    st, sx, sz = scipy_landing()
    r = pbsim.flight(scheme="dopri5", landing="interpolated", **TIGHT)
    assert (r.stop, r.precision, r.landing) == ("landed", "double", "interpolated")
    ours = math.hypot(r.landing_x - x, r.landing_z - z)
    theirs = math.hypot(sx - x, sz - z)
    assert ours == pytest.approx(r.landing_miss, rel=1e-6)
    assert ours <= theirs, (ours, theirs)
    assert abs(r.flight_time - t) <= abs(st - t)
    # And well within the tolerance asked for, on a flight of about 10 m.
    assert ours < 1e-8


def test_a_pair_written_out_is_the_built_in_pair():
    # Bogacki-Shampine 3(2) from its paper's coefficients, as a user types it.
    own = pbsim.EmbeddedTableau(
        a=[[0, 0, 0, 0], [1 / 2, 0, 0, 0], [0, 3 / 4, 0, 0], [2 / 9, 1 / 3, 4 / 9, 0]],
        b=[2 / 9, 1 / 3, 4 / 9, 0], b_hat=[7 / 24, 1 / 4, 1 / 3, 1 / 8], c=[0, 1 / 2, 3 / 4, 1],
        name="bs-own")
    assert (own.algebraic_order, own.embedded_order, own.fsal, own.stages) == (3, 2, True, 4)
    for run in (pbsim.flight, pbsim.spring):
        mine, builtin = run(scheme=own, **TIGHT), run(scheme="bogacki-shampine", **TIGHT)
        assert mine.adaptive and mine.precision == "double"
        assert (mine.steps, mine.rejected, mine.evaluations) == (
            builtin.steps, builtin.rejected, builtin.evaluations)
        np.testing.assert_array_equal(mine.t, builtin.t)
        np.testing.assert_array_equal(mine.y, builtin.y)
        assert mine.algebraic_order == 3
    # Its study sweeps rtol, as the built-in pair's does.
    study = pbsim.convergence("flight", schemes=[own], rtol_levels=3)
    assert list(study.rtol) == pytest.approx([1e-4, 1e-5, 1e-6]) and study.h.isna().all()
    assert study.attrs["algebraic_order"] == {"bs-own": 3}


def test_a_pair_of_lower_order_keeps_its_error_near_its_tolerance():
    # Heun-Euler 2(1), not FSAL: the error at the landing follows rtol down.
    heun_euler = pbsim.EmbeddedTableau(a=[[0, 0], [1, 0]], b=[0.5, 0.5], b_hat=[1, 0],
                                       c=[0, 1], name="heun-euler")
    assert (heun_euler.algebraic_order, heun_euler.embedded_order, heun_euler.fsal) == (2, 1, False)
    misses = [pbsim.flight(scheme=heun_euler, rtol=rtol, atol=rtol * 1e-3,
                           landing="interpolated").landing_miss for rtol in (1e-4, 1e-6, 1e-8)]
    assert misses[0] > misses[1] > misses[2]
    assert misses[2] < 1e-5


def test_an_rtol_finer_than_double_precision_warns_in_the_engines_words():
    with pytest.warns(pbsim.ToleranceWarning, match=r"rtol 1e-15 is below what double "
                      r"precision can hold"):
        r = pbsim.flight(scheme="dopri5", rtol=1e-15)
    assert r.stop == "landed"
    with pytest.warns(pbsim.ToleranceWarning, match="rtol 1e-14 is below"):
        pbsim.convergence("flight", schemes=["dopri5"], rtol=1e-8, rtol_levels=7)
    # A fixed-step scheme has no tolerance to warn about, nor has a study that stays above.
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        pbsim.flight(scheme="rk4", rtol=1e-15)
        pbsim.convergence("flight", schemes=["dopri5"], rtol_levels=3)


def test_a_step_that_cannot_shrink_enough_stops_the_run_with_its_reason():
    with pytest.warns(pbsim.FailedWarning, match=r"stopped after 0 steps \(step_too_small\)"):
        r = pbsim.flight(scheme="dopri5", rtol=1e-300, atol=1e-300)
    assert r.stop == "step_too_small" and math.isnan(r.landing_x)


def test_an_adaptive_flight_that_never_moves_is_stuck_not_endless():
    with pytest.warns(pbsim.FewStepsWarning):
        r = pbsim.flight(power=0, gravity=0, scheme="dopri5")
    assert (r.stop, r.steps) == ("stuck", 1)


def test_convergence_rows_carry_rtol_and_rejected():
    study = pbsim.convergence("spring", schemes=["rk4", "bogacki-shampine"], levels=2,
                              rtol_levels=2)
    fixed, adaptive = study[study.scheme == "rk4"], study[study.scheme == "bogacki-shampine"]
    assert fixed.rtol.isna().all() and (fixed.rejected == 0).all() and fixed.h.notna().all()
    assert list(adaptive.rtol) == pytest.approx([pbsim.CONVERGENCE_RTOL, pbsim.CONVERGENCE_RTOL / 10])
    assert adaptive.h.isna().all() and (adaptive.precision == "double").all()
    # atol at the coarsest level in the proportion of the default tolerances, as pbsim-study.
    params = study.attrs["params"]
    assert params["sweep"] == "auto"
    assert params["atol"] == pytest.approx(pbsim.CONVERGENCE_RTOL * pbsim.ATOL / pbsim.RTOL)


OWN_STEP = lambda f, t, x, h: x  # noqa: E731

REFUSED = [
    # (call, exception, the engine's words)
    *[(lambda v=v, name=name: pbsim.flight(scheme="dopri5", **{name: v}), ValueError,
       f"{name} must be a finite number above 0")
      for name in ("rtol", "atol") for v in (0, -1, math.nan, math.inf, -0.0)],
    # ... whichever scheme runs, and in every entry point.
    (lambda: pbsim.flight(scheme="rk4", rtol=0), ValueError, "rtol must be a finite number above 0"),
    (lambda: pbsim.spring(scheme="dopri5", atol=math.inf), ValueError, "atol must be a finite number above 0"),
    (lambda: pbsim.compare("spring", atol=-1), ValueError, "atol must be a finite number above 0"),
    (lambda: pbsim.convergence("flight", rtol=math.nan), ValueError, "rtol must be a finite number above 0"),
    (lambda: pbsim.flight(rtol="1e-6"), TypeError, "rtol must be a number, not str"),
    (lambda: pbsim.flight(landing="cubic"), ValueError, "landing must be linear or interpolated, not 'cubic'"),
    (lambda: pbsim.compare("flight", landing="Linear"), ValueError, "landing must be linear or interpolated, not 'Linear'"),
    (lambda: pbsim.convergence("flight", landing="spline"), ValueError, "landing must be linear or interpolated"),
    (lambda: pbsim.flight(landing=1), TypeError, "landing must be a str, not int"),
    (lambda: pbsim.compare("spring", landing="linear"), TypeError, "landing applies to the flight only"),
    (lambda: pbsim.convergence("spring", landing="linear"), TypeError, "landing applies to the flight only"),
    (lambda: pbsim.convergence("flight", sweep="h"), ValueError, "sweep must be auto, dt or rtol, not 'h'"),
    (lambda: pbsim.convergence("flight", quantity="miss"), ValueError, "quantity must be at_time or landing, not 'miss'"),
    (lambda: pbsim.convergence("flight", schemes=["dopri5"], sweep="dt"), ValueError, "dopri5 is adaptive: it chooses its own steps, so its study sweeps rtol, not dt"),
    (lambda: pbsim.convergence("flight", schemes=["rk4", "dopri5"], sweep="rtol"), ValueError, "rk4 steps with a fixed dt: it has no rtol to sweep"),
    (lambda: pbsim.convergence("spring", quantity="landing"), ValueError, "landing is the flight's: a spring's study measures at a time T"),
    (lambda: pbsim.convergence("flight", schemes=["dopri5"], precision="single"), ValueError, "dopri5 runs in double precision only"),
    (lambda: pbsim.convergence("flight", rtol_levels=0), ValueError, "rtol_levels must be at least 1"),
    (lambda: pbsim.flight(scheme="dopri5", precision="single"), ValueError, "dopri5 runs in double precision only"),
    (lambda: pbsim.spring(scheme="backward-euler", precision="single"), ValueError, "backward-euler runs in double precision only"),
    (lambda: pbsim.flight(scheme=OWN_STEP, precision="single"), ValueError, "a scheme of your own runs in double precision only"),
    # A pair's rows, checked as the engine checks the built-in ones.
    (lambda: pbsim.EmbeddedTableau([[0, 0], [1, 0]], [0.5, 0.5], [0.5, 0.5], [0, 1]), ValueError, "the two weight rows are equal, so they estimate no error"),
    (lambda: pbsim.EmbeddedTableau([[0, 0], [1, 0]], [0.5, 0.5], [1, 0.2], [0, 1]), ValueError, "the second weight row sums to 1.2 but must sum to 1"),
    (lambda: pbsim.EmbeddedTableau([[0, 0], [1, 0]], [0.5, 0.5], [1], [0, 1]), ValueError, "the second weight row must have as many entries as b"),
    (lambda: pbsim.EmbeddedTableau([[0, 0], [1, 0]], [0.5, 0.5], [1, math.nan], [0, 1]), ValueError, "the second weight row holds a value that is not finite"),
    (lambda: pbsim.EmbeddedTableau([[0, 0], [1, 0]], [0.5, 0.5], [1, 0], [0, 0.5]), ValueError, "c"),
    (lambda: pbsim.EmbeddedTableau([[0, 0], [1, 0]], [0.6, 0.5], [1, 0], [0, 1]), ValueError, "b"),
]


@pytest.mark.parametrize("call,exception,words", REFUSED, ids=[w for _, _, w in REFUSED])
def test_each_new_option_is_refused_in_the_engines_words(call, exception, words):
    with pytest.raises(exception) as e:
        call()
    assert words in str(e.value)


def test_a_pairs_row_sums_are_refused_as_a_tableaus_are():
    # The same words as ButcherTableau's for the same rows.
    for rows in (([[0, 0], [1, 0]], [0.5, 0.5], [0, 0.5]), ([[0, 0], [1, 0]], [0.6, 0.5], [0, 1])):
        with pytest.raises(ValueError) as tableau:
            pbsim.ButcherTableau(*rows)
        with pytest.raises(ValueError) as pair:
            pbsim.EmbeddedTableau(rows[0], rows[1], [1, 0], rows[2])
        assert str(pair.value) == str(tableau.value)
