"""A tableau of the user's own judged like the built-in schemes: its rows checked in the
rule's words, its algebraic order beside the orders its runs show."""

import math
import re

import pytest

import pbsim

RK4 = ([[0, 0, 0, 0], [0.5, 0, 0, 0], [0, 0.5, 0, 0], [0, 0, 1, 0]],
       [1 / 6, 1 / 3, 1 / 3, 1 / 6], [0, 0.5, 0.5, 1])
HEUN3 = pbsim.ButcherTableau([[0, 0, 0], [1 / 3, 0, 0], [0, 2 / 3, 0]], [0.25, 0, 0.75],
                             [0, 1 / 3, 2 / 3], name="heun3")
# Jameson, Schmidt & Turkel's four stages, x+ = x + h f(x + h/2 f(x + h/3 f(x + h/4 f(x)))):
# RK4's stability polynomial, so order 4 on linear problems, but only order 2.
JST = pbsim.ButcherTableau([[0, 0, 0, 0], [0.25, 0, 0, 0], [0, 1 / 3, 0, 0], [0, 0, 0.5, 0]],
                           [0, 0, 0, 1], [0, 0.25, 1 / 3, 0.5], name="jst4")


@pytest.mark.parametrize("a,b,c,message", [
    (RK4[0], RK4[1], [0, 0.5, 0.6, 1],
     "c[2] = 0.6 but row 2 of a sums to 0.5: c must equal the sum of its row of a"),
    ([[0, 0], [1, 0]], [0.6, 0.6], [0, 1],
     "b sums to 1.2 but must sum to 1: otherwise the method is not consistent (order 0)"),
], ids=["c off its row", "b sums to 1.2"])
def test_a_tableau_that_breaks_a_row_rule_is_refused_in_its_words(a, b, c, message):
    with pytest.raises(ValueError, match=f"^{re.escape(message)}$"):
        pbsim.ButcherTableau(a, b, c, name="broken")


def measured(frame, scheme):
    rows = frame[(frame.scheme == scheme) & ~frame.floor]
    return [o for o in rows.order if not math.isnan(o)]


@pytest.mark.parametrize("drag,jst_shows", [("linear", 4), ("quadratic", 2)])
def test_the_algebraic_order_stands_beside_the_measured_one(drag, jst_shows):
    study = pbsim.convergence("flight", schemes=[JST, HEUN3, "rk4"], precision="double",
                              levels=6, drag=drag)
    assert study.attrs["algebraic_order"] == {"jst4": 2, "heun3": 3}
    for scheme, shows in [("jst4", jst_shows), ("heun3", 3)]:
        orders = measured(study, scheme)
        assert len(orders) >= 3, scheme
        assert orders == pytest.approx([shows] * len(orders), abs=0.2), scheme


def test_runs_and_tableaus_carry_the_algebraic_order():
    assert (JST.algebraic_order, HEUN3.algebraic_order) == (2, 3)
    assert pbsim.ButcherTableau(*RK4).algebraic_order == 4
    assert JST.order_report == "order 2: Σ b·c² = 0.25 but must be 1/3 for order 3"
    assert pbsim.flight(scheme=JST).algebraic_order == 2
    assert pbsim.spring(scheme=HEUN3).algebraic_order == 3
    assert pbsim.flight(scheme="rk4").algebraic_order is None
    assert pbsim.compare("spring", schemes=[JST, "euler"]).attrs["algebraic_order"] == {
        "jst4": 2}
