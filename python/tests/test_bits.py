"""Single precision is pbsim's arithmetic: the module's positions, heights, steps and
evaluations against pbsim-study's CSV and table, run as a user runs it."""

import numpy as np
import pytest

import pbsim
from conftest import options, study_counts, study_csv

# The shot that never moves warns that it is stuck.
pytestmark = pytest.mark.filterwarnings("ignore::pbsim.FewStepsWarning")

ALL = [s.name for s in pbsim.SCHEMES]

SHOTS = [
    {},  # pbsim's start-up shot
    {"elevation": 80, "azimuth": -35, "dt": 0.01},
    {"mass": 3, "friction": 0.5, "power": 200, "elevation": 30},
    {"friction": 0, "gravity": -1.62, "dt": 0.05, "powder": 0.3},
    {"mass": 250, "friction": 400, "elevation": 60, "dt": 0.002},
    {"power": 0, "gravity": 0},  # never moves: stuck after one step
]

SPRINGS = [
    {},  # pbsim's start-up spring
    {"kd": 0, "dt": 0.05},
    {"mass": 0.5, "ks": 40, "kd": 9, "rest": 2, "gravity": -30},
    {"mass": 2, "ks": 8, "kd": 8, "dt": 0.02},
    {"mass": 1, "ks": 5, "kd": 0.3, "gravity": 12, "dt": 0.03},  # rises above the anchor
]


def read32(rows, name):
    return np.array([np.float32(float(r[name])) for r in rows], dtype=np.float32)


@pytest.mark.parametrize("shot", SHOTS, ids=[str(s) for s in SHOTS])
def test_flight_points_are_pbsim_study_bits(shot):
    args = ["flight", *options(shot), "--schemes", ",".join(ALL)]
    rows = study_csv(*args)
    counts = study_counts(*args)
    assert sorted(rows) == sorted(ALL)
    for scheme in ALL:
        r = pbsim.flight(**shot, scheme=scheme)
        expected = rows[scheme]
        assert len(r) == len(expected), scheme
        assert (r.steps, r.evaluations) == counts[scheme], scheme
        for name in ("x", "y", "z", "vx", "vy", "vz"):
            if name in expected[0]:
                assert getattr(r, name).dtype == np.float32
                np.testing.assert_array_equal(getattr(r, name), read32(expected, name),
                                              err_msg=f"{scheme} {name}")
        np.testing.assert_allclose(r.t, [float(e["t"]) for e in expected], rtol=1e-9)
        np.testing.assert_array_equal(r.step, [int(e["step"]) for e in expected])


@pytest.mark.parametrize("values", SPRINGS, ids=[str(s) for s in SPRINGS])
def test_spring_heights_are_pbsim_study_bits(values):
    args = ["spring", *options(values), "--schemes", ",".join(ALL)]
    rows = study_csv(*args)
    counts = study_counts(*args)
    for scheme in ALL:
        r = pbsim.spring(**values, scheme=scheme)
        expected = rows[scheme]
        assert len(r) == len(expected), scheme
        assert (r.steps, r.evaluations) == counts[scheme], scheme
        for name in ("y", "v"):
            assert getattr(r, name).dtype == np.float32
            np.testing.assert_array_equal(getattr(r, name), read32(expected, name),
                                          err_msg=f"{scheme} {name}")


def test_the_stops_are_pbsim_study_stops():
    # The start-up shot lands; the shot that never moves is stuck; an undamped spring
    # never rests and ends at pbsim's sample limit.
    assert pbsim.flight().stop == "landed"
    assert pbsim.flight(power=0, gravity=0).stop == "stuck"
    undamped = pbsim.spring(kd=0, scheme="verlet")
    assert undamped.stop == "sample_limit"
    assert len(undamped) == pbsim.MAX_SPRING_SAMPLES
    table = study_counts("spring", "--kd=0", "--schemes", "verlet")
    assert table["verlet"][0] == undamped.steps
