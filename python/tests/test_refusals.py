"""Every entry point refuses every parameter's bad values by that parameter's rule, as
pbsim.parameters(model) states it: the runs, compare(), convergence() and the closed
forms alike. The cases are made from the table, so a new parameter or entry point is
covered without a new line here; a rule this file does not know fails until its bad
values are written down."""

import math

import pytest

import pbsim

# Bad values for each rule's words, with the words of the refusal.
NOT_FINITE = [
    (math.nan, "must be a finite number, not nan"),
    (math.inf, "must be a finite number, not inf"),
    (-math.inf, "must be a finite number, not -inf"),
    (1e39, "must lie within single precision"),
    (-1e39, "must lie within single precision"),
]
BAD_BY_RULE = {
    "a finite number": NOT_FINITE,
    "a number greater than 0": NOT_FINITE + [
        (0, "must be greater than 0"),
        (-0.0, "must be greater than 0"),
        (-1, "must be greater than 0"),
        (1e-50, "must be greater than 0, and 1e-50 is 0 in single precision"),
    ],
}

# Every way in that takes the model's parameters.
ENTRY_POINTS = {
    "flight": {
        "flight": lambda **kw: pbsim.flight(**kw),
        "flight quadratic": lambda **kw: pbsim.flight(drag="quadratic", **kw),
        "flight double": lambda **kw: pbsim.flight(precision="double", **kw),
        "compare": lambda **kw: pbsim.compare("flight", **kw),
        "convergence": lambda **kw: pbsim.convergence("flight", levels=2, **kw),
        "convergence quadratic": lambda **kw: pbsim.convergence("flight", levels=2,
                                                                drag="quadratic", **kw),
        "exact_flight": lambda **kw: pbsim.exact_flight([0.0, 0.5], **kw),
        "exact_landing_time": lambda **kw: pbsim.exact_landing_time(**kw),
    },
    "spring": {
        "spring": lambda **kw: pbsim.spring(**kw),
        "spring double": lambda **kw: pbsim.spring(precision="double", **kw),
        "compare": lambda **kw: pbsim.compare("spring", **kw),
        "convergence": lambda **kw: pbsim.convergence("spring", levels=2, **kw),
        "exact_spring": lambda **kw: pbsim.exact_spring([0.0, 0.5], **kw),
        "spring_closed_form": lambda **kw: pbsim.spring_closed_form(**kw),
    },
}


def cases():
    for model, entries in ENTRY_POINTS.items():
        for p in pbsim.parameters(model):
            for value, words in BAD_BY_RULE.get(p.rule, [(None, None)]):
                for entry in entries:
                    yield pytest.param(model, entry, p.name, p.rule, value, words,
                                       id=f"{model} {entry} {p.name}={value}")


@pytest.mark.parametrize("model,entry,name,rule,value,words", list(cases()))
def test_every_entry_point_refuses_by_each_parameters_rule(model, entry, name, rule, value,
                                                           words):
    assert words is not None, f"no bad values written down for the rule {rule!r} of {name}"
    with pytest.raises(ValueError) as caught:
        ENTRY_POINTS[model][entry](**{name: value})
    assert str(caught.value).startswith(f"{name} {words}"), str(caught.value)


@pytest.mark.parametrize("model", sorted(ENTRY_POINTS))
def test_every_entry_point_runs_the_start_up_values(model):
    # The refusals above are the values', not the entry points': each one takes the
    # table's defaults as they are.
    for entry, call in ENTRY_POINTS[model].items():
        call()
