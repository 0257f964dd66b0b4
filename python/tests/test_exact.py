"""The closed forms over numpy arrays against the textbook solutions, written out here."""

import math

import numpy as np
import pytest

import pbsim


def launch(**physics):
    """Muzzle speed and direction as the textbook has them: speed powder x power / mass,
    elevation above the horizon, azimuth turning from +z towards -x (pbsim's panel)."""
    p = dict(azimuth=10.0, elevation=45.0, mass=1000.0, powder=1.0, power=10000.0)
    p.update(physics)
    speed = p["powder"] * p["power"] / p["mass"]
    el, az = math.radians(p["elevation"]), math.radians(p["azimuth"])
    return np.array([-speed * math.cos(el) * math.sin(az), speed * math.sin(el),
                     speed * math.cos(el) * math.cos(az)])


FLIGHTS = [
    dict(friction=50.0),
    dict(friction=0.0),
    dict(friction=3.0, mass=2.0, power=40.0, gravity=-1.62, elevation=70.0, azimuth=-120.0),
]


@pytest.mark.parametrize("physics", FLIGHTS, ids=[str(p) for p in FLIGHTS])
def test_flight_is_the_linear_drag_solution(physics):
    t = np.linspace(0.0, 3.0, 31)
    e = pbsim.exact_flight(t, **physics)
    v0 = launch(**physics)
    g = physics.get("gravity", -9.8)
    m = physics.get("mass", 1000.0)
    k = physics["friction"] / m
    if k == 0:
        fade, drift = t, t * t / 2
    else:
        fade = (1 - np.exp(-k * t)) / k       # integral of e^(-ks) over [0, t]
        drift = (t - fade) / k                # integral of fade
    # The model launches 0.0001 m above the gun, at the muzzle velocity it computes in
    # single precision: agreement to a few parts in 1e7 of the speed.
    tol = 3e-7 * np.linalg.norm(v0) * max(t.max(), 1) + 1e-12
    np.testing.assert_allclose(e.x, v0[0] * fade, atol=tol)
    np.testing.assert_allclose(e.y, 1e-4 + v0[1] * fade + g * drift, atol=tol)
    np.testing.assert_allclose(e.z, v0[2] * fade, atol=tol)
    decay = np.exp(-k * t)
    np.testing.assert_allclose(e.vy, v0[1] * decay + g * fade, atol=tol)
    np.testing.assert_allclose(e.vx, v0[0] * decay, atol=tol)


def test_the_drag_free_landing_time_is_the_parabola_s():
    v0 = launch(friction=0.0)
    tl = pbsim.exact_landing_time(friction=0.0)
    # 1e-4 + vy t - 4.9 t^2 = 0
    expected = (v0[1] + math.sqrt(v0[1] ** 2 + 4 * 4.9 * 1e-4)) / 9.8
    assert tl == pytest.approx(expected, rel=1e-6)
    assert pbsim.exact_flight(tl, friction=0.0).y == pytest.approx(0.0, abs=1e-9)
    assert pbsim.exact_landing_time(gravity=0.0) is None


def test_times_keep_their_shape_and_dtype():
    t = np.arange(12, dtype=np.float32).reshape(3, 4) / 10
    e = pbsim.exact_flight(t)
    assert e.x.shape == (3, 4) and e.x.dtype == np.float64
    assert e.y[1, 2] == pbsim.exact_flight(float(t[1, 2])).y
    s = pbsim.exact_spring(t)
    assert s.y.shape == (3, 4)


SPRINGS = [
    # mass, ks, kd: under-, critically and over-damped, and undamped
    dict(mass=5.0, ks=15.0, kd=1.0),
    dict(mass=2.0, ks=8.0, kd=8.0),
    dict(mass=1.0, ks=4.0, kd=10.0),
    dict(mass=5.0, ks=15.0, kd=0.0),
]


def oscillator(t, m, ks, kd, g=-9.8, rest=1.0):
    """m u'' + kd u' + ks u = 0 about y* = g/ks - rest, from rest at y = -rest."""
    y_rest = g / ks - rest
    u0 = -rest - y_rest
    roots = np.roots([m, kd, ks]).astype(complex)
    if abs(roots[0] - roots[1]) < 1e-12:
        r = roots[0].real
        u = u0 * np.exp(r * t) * (1 - r * t)
    else:
        r1, r2 = roots
        # u = A e^(r1 t) + B e^(r2 t), A + B = u0, r1 A + r2 B = 0
        a = u0 * r2 / (r2 - r1)
        u = (a * np.exp(r1 * t) + (u0 - a) * np.exp(r2 * t)).real
    return y_rest + u


@pytest.mark.parametrize("physics", SPRINGS, ids=[str(p) for p in SPRINGS])
def test_spring_is_the_damped_oscillator(physics):
    t = np.linspace(0.0, 10.0, 101)
    s = pbsim.exact_spring(t, **physics)
    np.testing.assert_allclose(s.y, oscillator(t, physics["mass"], physics["ks"], physics["kd"]),
                               atol=1e-9)
    # the speed is the height's derivative
    h = 1e-6
    ahead = pbsim.exact_spring(t[1:-1] + h, **physics).y
    behind = pbsim.exact_spring(t[1:-1] - h, **physics).y
    np.testing.assert_allclose(s.v[1:-1], (ahead - behind) / (2 * h), atol=1e-6)


def test_spring_has_no_closed_form_above_the_anchor():
    # gravity pulls up (a force of 12 N against ks 5): the body rises through the anchor,
    # where the force law changes; from there on the closed form gives NaN.
    physics = dict(mass=1.0, ks=5.0, kd=0.3, gravity=12.0)
    info = pbsim.spring_closed_form(**physics)
    assert info["resting_height"] == pytest.approx(12.0 / 5.0 - 1.0)
    until = info["valid_until"]
    assert 0 < until < math.inf
    s = pbsim.exact_spring(np.array([0.5 * until, 0.999 * until, until, 2 * until]), **physics)
    assert np.isfinite(s.y[:2]).all() and np.isnan(s.y[2:]).all()
    assert s.y[1] == pytest.approx(0.0, abs=1e-2)
