"""pbsim.stability: the same limits as pbsim-study's, bit for bit, and the textbook bounds."""

import math

import pytest

import pbsim
from conftest import study_summary


def test_same_numbers_as_pbsim_study():
    frame = pbsim.stability(ks=1e4, mass=1, kd=1, dt=0.01)
    study = study_summary("stability", "spring", "--ks", "10000", "--mass", "1", "--kd", "1",
                          "--dt", "0.01")
    assert list(frame.columns) == [f["name"] for f in pbsim._pbsim.stability_fields()]
    assert list(frame["scheme"]) == list(study)
    for _, row in frame.iterrows():
        theirs = study[row["scheme"]]
        for name in ("measured_dt", "theory_dt", "relative_difference", "searched_to"):
            mine = row[name]
            if theirs[name] == "":
                assert math.isnan(mine), (row["scheme"], name)
            else:
                assert mine == float(theirs[name]), (row["scheme"], name)
        assert row["bound"] == theirs["bound"]
        assert row["steps"] == int(theirs["steps"])
        assert row["unstable_at_dt"] == (theirs["unstable_at_dt"] == "1")


def test_undamped_bounds_and_modes():
    # ω0 = 100 1/s: RK4's imaginary-axis interval 2√2, Verlet's h < 2/ω0.
    frame = pbsim.stability(ks=1e4, mass=1, kd=0, schemes=["rk4", "verlet"]).set_index("scheme")
    assert frame.loc["rk4", "theory_dt"] == pytest.approx(2 * math.sqrt(2) / 100, rel=1e-9)
    assert frame.loc["verlet", "theory_dt"] == pytest.approx(2 / 100, rel=1e-9)
    assert (frame["relative_difference"].abs() < 0.01).all()
    modes = frame.attrs["modes"]
    assert modes["a"] == 0 and modes["omega"] == 100 and modes["oscillates"]


def test_refusals_in_the_engines_words():
    with pytest.raises(ValueError, match="kd must be 0 or more"):
        pbsim.stability(kd=-1)
    heun = pbsim.ButcherTableau([[0, 0], [1, 0]], [0.5, 0.5], [0, 1], name="heun")
    with pytest.raises(ValueError, match="built-in schemes"):
        pbsim.stability(schemes=heun)
