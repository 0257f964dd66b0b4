"""The module's defaults are the engine's: the keyword defaults of every function against
the engine's own and against pbsim-study's (another front end over the same engine), and
the type stubs' defaults against the module's."""

import ast
import inspect
import pathlib
import re
import subprocess

import pytest

import pbsim
from pbsim import _pbsim

from conftest import study_path

FUNCTIONS = {f.__name__: f for f in (pbsim.flight, pbsim.spring, pbsim.compare, pbsim.convergence)}


def defaults(function):
    return {name: p.default for name, p in inspect.signature(function).parameters.items()
            if p.default is not inspect.Parameter.empty}


def table_defaults(model):
    return lambda: {p.name: p.default for p in pbsim.parameters(model)}


@pytest.mark.parametrize("function,engine", [
    (pbsim.flight, table_defaults("flight")),
    (pbsim.spring, table_defaults("spring")),
    (pbsim.convergence, lambda: {"levels": _pbsim.CONVERGENCE_LEVELS}),
], ids=["flight", "spring", "convergence"])
def test_keyword_defaults_are_the_engines(function, engine):
    given = defaults(function)
    expected = engine()
    shared = set(given) & set(expected)
    assert shared, "the engine's defaults name none of the keywords"
    assert {k: given[k] for k in shared} == {k: expected[k] for k in shared}


def study_defaults(*command):
    """pbsim-study's option defaults for a command, as its help prints them (--name TYPE=value)."""
    done = subprocess.run([study_path(), *command, "--help"], capture_output=True, text=True,
                          timeout=60)
    assert done.returncode == 0, done.stderr
    found = {}
    for name, value in re.findall(r"^\s+--([a-z-]+) [A-Z]+(?::\{[^}]*\})?=(\S+)", done.stdout,
                                  re.MULTILINE):
        if value.startswith("["):
            found[name] = tuple(value.strip("[]").split(","))
        elif re.fullmatch(r"-?\d+", value):
            found[name] = int(value)
        elif re.fullmatch(r"[-+.\de]+", value):
            found[name] = float(value)
        else:
            found[name] = value
    assert found, done.stdout
    return found


@pytest.mark.parametrize("function,command", [
    (pbsim.flight, ["flight"]),
    (pbsim.spring, ["spring"]),
    (pbsim.compare, ["flight"]),
    (pbsim.convergence, ["convergence", "flight"]),
    (pbsim.convergence, ["convergence", "spring"]),
], ids=["flight", "spring", "compare", "convergence flight", "convergence spring"])
def test_keyword_defaults_are_pbsim_studys(function, command):
    given = {k: v for k, v in defaults(function).items() if v is not None}
    printed = study_defaults(*command)
    shared = set(given) & set(printed)
    assert shared, (given, printed)
    assert {k: given[k] for k in shared} == {k: printed[k] for k in shared}


def stub_functions():
    tree = ast.parse(pathlib.Path(pbsim.__file__).with_suffix(".pyi").read_text())
    return {node.name: node for node in tree.body if isinstance(node, ast.FunctionDef)}


def stub_defaults(node):
    args = node.args.posonlyargs + node.args.args
    given = dict(zip([a.arg for a in args[len(args) - len(node.args.defaults):]],
                     node.args.defaults))
    given.update({a.arg: d for a, d in zip(node.args.kwonlyargs, node.args.kw_defaults) if d})
    return given


@pytest.mark.parametrize("name", sorted(FUNCTIONS))
def test_stub_defaults_are_the_modules(name):
    stub = stub_defaults(stub_functions()[name])
    runtime = defaults(FUNCTIONS[name])
    assert set(stub) == set(runtime)
    for keyword, node in stub.items():
        # "..." would say nothing to a reader, and nothing could notice it drift.
        assert not (isinstance(node, ast.Constant) and node.value is Ellipsis), keyword
        assert ast.literal_eval(node) == runtime[keyword], keyword
