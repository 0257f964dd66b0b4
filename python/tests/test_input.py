"""Bad input gets the engine's words as a ValueError (or a TypeError for a wrong type);
runs stay within pbsim's limits; too long a time step warns."""

import math
import warnings

import numpy as np
import pytest

import pbsim

BAD = [
    # (call, exception, words of the message)
    (lambda: pbsim.flight(dt=0), ValueError, "dt must be greater than 0"),
    (lambda: pbsim.flight(dt=1e-50), ValueError, "dt must be greater than 0, and 1e-50 is 0 in single precision"),
    (lambda: pbsim.flight(mass=math.nan), ValueError, "mass must be a finite number, not nan"),
    (lambda: pbsim.flight(power=math.inf), ValueError, "power must be a finite number, not inf"),
    (lambda: pbsim.flight(azimuth=1e39), ValueError, "azimuth must lie within single precision"),
    (lambda: pbsim.flight(friction=-10**400), ValueError, "friction must be a finite number, not -inf"),
    (lambda: pbsim.flight(target_x=-math.inf), ValueError, "target_x must be a finite number"),
    (lambda: pbsim.flight(mass=-1), ValueError, "mass must be greater than 0"),
    (lambda: pbsim.flight(mass="5"), TypeError, "mass must be a number, not str"),
    (lambda: pbsim.flight(scheme="rk5"), ValueError, "unknown scheme 'rk5' (euler, midpoint, rk4, symplectic-euler, verlet"),
    (lambda: pbsim.flight(scheme=3), TypeError, "scheme must be a scheme name"),
    (lambda: pbsim.flight(precision="quad"), ValueError, "precision must be 'single' or 'double'"),
    (lambda: pbsim.spring(ks=math.nan), ValueError, "ks must be a finite number, not nan"),
    (lambda: pbsim.spring(mass=0), ValueError, "mass must be greater than 0"),
    (lambda: pbsim.spring(until=-1), ValueError, "until must be greater than 0"),
    (lambda: pbsim.spring(until=math.inf), ValueError, "until must be a finite time, not inf"),
    (lambda: pbsim.compare("flight", wind=3), TypeError, "unexpected parameter 'wind'"),
    (lambda: pbsim.compare("orbit"), ValueError, "model must be 'flight' or 'spring'"),
    (lambda: pbsim.compare("flight", schemes=[]), ValueError, "at least one scheme"),
    (lambda: pbsim.compare("flight", schemes=["rk4", "leapfrog"]), ValueError, "unknown scheme 'leapfrog'"),
    (lambda: pbsim.convergence("flight", at=0.95), ValueError, "at must be a whole number of time steps of 0.1 s"),
    (lambda: pbsim.convergence("flight", at=3.0), ValueError, "at must be before the exact landing"),
    (lambda: pbsim.convergence("flight", levels=99), ValueError, "levels must lie between 1 and"),
    (lambda: pbsim.convergence("spring", ks=0), ValueError, "no closed-form solution"),
    (lambda: pbsim.convergence("flight", precision="half"), ValueError, "precision must be 'single', 'double', 'both' or None, not 'half'"),
    (lambda: pbsim.convergence("flight", schemes=[lambda f, t, x, h: x]), ValueError, "built-in schemes and tableaus only"),
    (lambda: pbsim.flight(scheme=lambda f, t, x, h: x, precision="single"), ValueError, "runs in double precision only"),
    (lambda: pbsim.ButcherTableau([[0, 1], [1, 0]], [0.5, 0.5], [0, 1]), ValueError, "a is not explicit: a[0][1] must be 0"),
    (lambda: pbsim.ButcherTableau([[0]], [1, 0], [0, 1]), ValueError, "a must have as many rows as b has entries"),
    (lambda: pbsim.ButcherTableau([[0]], [math.nan], [0]), ValueError, "not finite"),
    (lambda: pbsim.flight(scheme=lambda f, t, x, h: x[:3], precision="double"), ValueError,
     "the step '<lambda>' must be an array of 6 values [x, y, z, vx, vy, vz], not one of shape (3,)"),
    (lambda: pbsim.spring(scheme=lambda f, t, x, h: None, precision="double"), TypeError,
     "the step '<lambda>' must be an array of 2 values [y, v], not NoneType"),
    (lambda: pbsim.flight(scheme=lambda f, t, x, h: f(t, x[:2]), precision="double"), ValueError,
     "the state given to f must be an array of 6 values"),
]


# Every entry point that takes a time step refuses the same bad ones; a convergence
# study's own keywords are refused by their rules, never replaced by their defaults.
ENTRY_POINTS = {
    "flight": lambda **kw: pbsim.flight(**kw),
    "spring": lambda **kw: pbsim.spring(**kw),
    "compare flight": lambda **kw: pbsim.compare("flight", **kw),
    "compare spring": lambda **kw: pbsim.compare("spring", **kw),
    "convergence flight": lambda **kw: pbsim.convergence("flight", levels=2, **kw),
    "convergence spring": lambda **kw: pbsim.convergence("spring", levels=2, **kw),
}
BAD_STEPS = [
    (0, "dt must be greater than 0"),
    (0.0, "dt must be greater than 0"),
    (-0.1, "dt must be greater than 0"),
    (1e-50, "dt must be greater than 0, and 1e-50 is 0 in single precision"),
    (math.nan, "dt must be a finite number, not nan"),
    (math.inf, "dt must be a finite number, not inf"),
]
BAD_STEPS_EVERYWHERE = [(entry, dt, words) for entry in ENTRY_POINTS for dt, words in BAD_STEPS]


@pytest.mark.parametrize("entry,dt,words", BAD_STEPS_EVERYWHERE,
                         ids=[f"{e} dt={d}" for e, d, _ in BAD_STEPS_EVERYWHERE])
def test_every_entry_point_refuses_a_bad_time_step(entry, dt, words):
    with pytest.raises(ValueError) as caught:
        ENTRY_POINTS[entry](dt=dt)
    assert words in str(caught.value)


BAD_STUDY_KEYWORDS = [
    ({"at": 0}, ValueError, "at must be greater than 0"),
    ({"at": -1}, ValueError, "at must be greater than 0"),
    ({"at": -0.0}, ValueError, "at must be greater than 0"),
    ({"at": math.nan}, ValueError, "at must be a finite number, not nan"),
    ({"at": math.inf}, ValueError, "at must be a finite number, not inf"),
    ({"at": 1e39}, ValueError, "at must lie within single precision"),
    ({"levels": 0}, ValueError, "levels must lie between 1 and"),
    ({"levels": -1}, ValueError, "levels must lie between 1 and"),
    ({"levels": 99}, ValueError, "levels must lie between 1 and"),
    ({"levels": 2.5}, TypeError, "levels"),
]


@pytest.mark.parametrize("model", ["flight", "spring"])
@pytest.mark.parametrize("keywords,error,words", BAD_STUDY_KEYWORDS,
                         ids=[str(k) for k, _, _ in BAD_STUDY_KEYWORDS])
def test_a_convergence_studys_own_keywords_are_refused(model, keywords, error, words):
    with pytest.raises(error) as caught:
        pbsim.convergence(model, **keywords)
    assert words in str(caught.value)


# A user's step must give back the state it was given, value for value: one value more,
# one fewer, twice as many, or the right number in another shape is refused.
WRONG_STATES = {
    "one more": lambda x: np.append(x, 0.0),
    "one fewer": lambda x: x[:-1],
    "twice as many": lambda x: np.concatenate([x, x]),
    "a column": lambda x: x.reshape(-1, 1),
    "a row": lambda x: x.reshape(1, -1),
    "a scalar": lambda x: x[0],
    "empty": lambda x: x[:0],
}


@pytest.mark.parametrize("run,values", [(pbsim.flight, "6 values [x, y, z, vx, vy, vz]"),
                                        (pbsim.spring, "2 values [y, v]")],
                         ids=["flight", "spring"])
@pytest.mark.parametrize("wrong", sorted(WRONG_STATES))
def test_a_users_step_returning_the_wrong_number_of_values_is_refused(run, values, wrong):
    def step(f, t, x, h):
        return WRONG_STATES[wrong](x + h * f(t, x))

    with pytest.raises(ValueError) as caught:
        run(scheme=step, precision="double")
    assert f"the step 'step' must be an array of {values}, not one of shape" in str(caught.value)


@pytest.mark.parametrize("call,error,words", BAD, ids=[b[2][:40] for b in BAD])
def test_bad_input_is_refused_with_the_engines_words(call, error, words):
    with pytest.raises(error) as caught:
        call()
    assert words in str(caught.value)


class Boom(Exception):
    pass


def test_an_exception_in_a_users_step_ends_the_run_with_it():
    calls = []

    def step(f, t, x, h):
        calls.append(t)
        if len(calls) == 3:
            raise Boom("third step")
        return x + h * f(t, x)

    with pytest.raises(Boom, match="third step"):
        pbsim.flight(scheme=step, precision="double")
    assert len(calls) == 3
    # f outlives its run only as an error
    kept = []
    pbsim.spring(scheme=lambda f, t, x, h: kept.append(f) or x + h * f(t, x),
                 precision="double", until=0.2)
    with pytest.raises(RuntimeError, match="only be called while its run is in progress"):
        kept[0](0.0, np.zeros(2))


def test_a_time_step_as_long_as_the_motion_warns():
    with pytest.warns(pbsim.FewStepsWarning, match=r"rk4 ended after 1 step of dt 5 s \(the exact flight lasts 1.42614 s\): its numbers say nothing about the scheme"):
        r = pbsim.flight(dt=5)
    assert r.steps == 1 and r.stop == "landed"
    with pytest.warns(pbsim.FewStepsWarning, match="euler ended after 2 steps of dt 2 s"):
        pbsim.compare("flight", schemes=["euler"], dt=2)
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        pbsim.flight()
        pbsim.spring()


def test_flights_stop_at_pbsims_step_limit():
    # No gravity, no drag: the shot would climb for ever.
    r = pbsim.flight(gravity=0, friction=0, scheme="euler")
    assert (r.stop, r.steps, len(r)) == ("step_limit", pbsim.MAX_FLIGHT_STEPS,
                                         pbsim.MAX_FLIGHT_STEPS + 1)
    assert math.isnan(r.landing_x) and math.isnan(r.flight_time)
