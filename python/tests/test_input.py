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
    (lambda: pbsim.convergence("flight", precision="half"), ValueError, "precision must be 'single', 'double' or 'both'"),
    (lambda: pbsim.convergence("flight", schemes=[lambda f, t, x, h: x]), ValueError, "built-in schemes and tableaus only"),
    (lambda: pbsim.flight(scheme=lambda f, t, x, h: x), ValueError, "runs in double precision only"),
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
