"""The module follows the engine's tables: every parameter is a keyword argument with its
start-up value as default and its rule enforced, every column and summary field of the
engine's descriptors is an array, attribute or table column, and the static type stubs
agree with the tables."""

import ast
import inspect
import math
import pathlib

import numpy as np
import pytest

import pbsim
from pbsim import _pbsim

MODELS = ("flight", "spring")
RUN = {"flight": pbsim.flight, "spring": pbsim.spring}


def stub_functions():
    """The functions of the package's stub, by name, from its source."""
    source = pathlib.Path(pbsim.__file__).with_name("__init__.pyi").read_text()
    return {node.name: node for node in ast.parse(source).body
            if isinstance(node, ast.FunctionDef)}


def stub_arguments(function):
    """(name, default) of each argument of a stub's function that has a default."""
    args = function.args
    positional = args.args[len(args.args) - len(args.defaults):]
    out = [(a.arg, ast.literal_eval(d)) for a, d in zip(positional, args.defaults)]
    out += [(a.arg, ast.literal_eval(d)) for a, d in zip(args.kwonlyargs, args.kw_defaults)
            if d is not None]
    return out


def stub_class_attributes(name):
    source = pathlib.Path(pbsim.__file__).with_name("__init__.pyi").read_text()
    for node in ast.parse(source).body:
        if isinstance(node, ast.ClassDef) and node.name == name:
            return {a.target.id for a in node.body if isinstance(a, ast.AnnAssign)}
    raise AssertionError(f"no class {name} in the stub")


@pytest.mark.parametrize("model", MODELS)
def test_parameters_describe_each_model_as_the_engine_does(model):
    table = pbsim.parameters(model)
    assert [p._asdict() for p in table] == _pbsim.parameters(model)
    for p in table:
        assert isinstance(p, pbsim.Parameter)
        assert p.name.isidentifier() and p.label and p.help and p.rule, p
        assert isinstance(p.default, float) and math.isfinite(p.default), p


def test_an_unknown_model_is_refused_naming_the_models():
    with pytest.raises(ValueError, match="model must be 'flight' or 'spring', not 'orbit'"):
        pbsim.parameters("orbit")


@pytest.mark.parametrize("model", MODELS)
def test_each_parameter_is_a_keyword_argument_with_the_tables_default(model):
    signature = inspect.signature(RUN[model])
    for p in pbsim.parameters(model):
        assert signature.parameters[p.name].default == p.default, p.name
        assert p.name in RUN[model].__doc__, p.name
    # compare() and convergence() fill in the same defaults (and the flight's drag law).
    # The flight's drag law and landing rule, both models' tolerances: the engine's defaults.
    drag = {"drag": pbsim.DRAG_LAWS[0], "landing": pbsim.LANDINGS[0]} if model == "flight" else {}
    assert pbsim.compare(model, schemes=["rk4"]).attrs["params"] == dict(
        {p.name: p.default for p in pbsim.parameters(model)}, precision="single",
        rtol=pbsim.RTOL, atol=pbsim.ATOL, **drag)


@pytest.mark.parametrize("model", MODELS)
def test_each_parameters_rule_is_enforced_naming_it(model):
    for p in pbsim.parameters(model):
        bad = [math.nan] + ([0.0] if "greater than 0" in p.rule else [])
        for value in bad:
            with pytest.raises(ValueError, match=f"^{p.name} must be"):
                RUN[model](**{p.name: value})


def test_the_stubs_carry_the_tables_defaults():
    stubs = stub_functions()
    for model in MODELS:
        name = RUN[model].__name__
        runtime = [(a.name, a.default) for a in inspect.signature(RUN[model]).parameters.values()]
        assert stub_arguments(stubs[name]) == runtime, name
        table = {p.name: p.default for p in pbsim.parameters(model)}
        assert {n: d for n, d in stub_arguments(stubs[name]) if n in table} == table, name
    for name in ("compare", "convergence"):
        runtime = [(a.name, a.default) for a in inspect.signature(getattr(pbsim, name))
                   .parameters.values() if a.default is not inspect.Parameter.empty]
        assert stub_arguments(stubs[name]) == runtime, name
    assert dict(stub_arguments(stubs["convergence"]))["levels"] == _pbsim.CONVERGENCE_LEVELS


@pytest.mark.parametrize("precision", ["single", "double"])
@pytest.mark.parametrize("model", MODELS)
def test_every_column_and_summary_field_is_shown(model, precision):
    r = RUN[model](precision=precision)
    columns = [c["name"] for c in _pbsim.columns(model)]
    fields = [f["name"] for f in _pbsim.summary_fields(model)]
    result_class = type(r).__name__
    for name in columns:
        column = getattr(r, name)
        assert isinstance(column, np.ndarray) and column.shape == (len(r),), name
    assert list(r.to_frame().columns) == columns
    for name in fields:
        assert hasattr(r, name), name
    assert list(r.summary()) == fields
    assert list(pbsim.compare(model, schemes=["rk4"], precision=precision).columns) == fields
    assert set(columns + fields) <= stub_class_attributes(result_class)


@pytest.mark.parametrize("model", MODELS)
def test_every_convergence_field_is_a_column(model):
    table = pbsim.convergence(model, schemes=["euler"], levels=2)
    assert list(table.columns) == [f["name"] for f in _pbsim.convergence_fields()]
    assert len(table) == 2
