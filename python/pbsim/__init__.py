"""pbsim for notebooks: pbsim's two models, its schemes and their exact solutions.

The projectile under gravity and linear air drag and the body on a damped
spring, integrated by the same engine as pbsim and pbsim-study. In single
precision the positions, heights, steps, evaluations and stops are pbsim's,
bit for bit; in double precision they come from the models' double twins.
The flight also flies quadratic drag (``drag="quadratic"``), which has no
closed form: its errors are measured against a reference integration
(``result.judge`` says which, ``result.judge_error`` how far it may be off).

    >>> import pbsim
    >>> r = pbsim.flight(scheme="rk4")
    >>> r.steps, r.landing_z
    >>> pbsim.compare("flight", schemes=["euler", "midpoint", "rk4"])
    >>> pbsim.convergence("flight", precision="both")
    >>> pbsim.convergence("flight", precision="double", drag="quadratic")
    >>> pbsim.flight(scheme="dopri5", rtol=1e-10, atol=1e-12, landing="interpolated")
    >>> pbsim.convergence("flight", schemes=["dopri5"], quantity="landing")
    >>> pbsim.stability(ks=1e4, mass=1)

Parameters use the units of pbsim's panels (degrees, kg, s; in the spring
model gravity is a force in N). A scheme is a name of ``SCHEMES``, a
``ButcherTableau``, an ``EmbeddedTableau`` (a pair of your own, run adaptively) or a
callable ``step(f, t, state, h) -> new_state``. Explicit schemes and tableaus run in
pbsim's single precision unless asked otherwise; implicit and adaptive ones, pairs and
steps of your own in double (``SCHEMES`` gives each scheme's kind).
"""

from __future__ import annotations

import inspect
import keyword
import math
import textwrap
import warnings
from typing import Any, Callable, NamedTuple, Optional, Sequence, Union

import numpy as np

from . import _pbsim
from ._pbsim import ButcherTableau, EmbeddedTableau

__version__: str = _pbsim.__version__

__all__ = [
    "ATOL",
    "ButcherTableau",
    "CONVERGENCE_RTOL",
    "CONVERGENCE_RTOL_LEVELS",
    "DRAG_LAWS",
    "DivergedWarning",
    "EmbeddedTableau",
    "ExactFlight",
    "ExactSpring",
    "FEW_STEPS",
    "FailedWarning",
    "FewStepsWarning",
    "FlightResult",
    "LANDINGS",
    "MAX_FLIGHT_STEPS",
    "MAX_SPRING_SAMPLES",
    "Parameter",
    "QUANTITIES",
    "REST_SPEED",
    "RTOL",
    "SCHEMES",
    "SETTLE_THRESHOLD",
    "SMALLEST_RTOL",
    "SWEEPS",
    "Scheme",
    "SpringResult",
    "ToleranceWarning",
    "compare",
    "convergence",
    "exact_flight",
    "exact_landing_time",
    "exact_spring",
    "flight",
    "parameters",
    "spring",
    "spring_closed_form",
    "stability",
]

#: A flight still in the air after this many steps is stopped (stop "step_limit").
MAX_FLIGHT_STEPS: int = _pbsim.MAX_FLIGHT_STEPS
#: A spring run not at rest ends when it holds this many samples (stop "sample_limit").
MAX_SPRING_SAMPLES: int = _pbsim.MAX_SPRING_SAMPLES
#: At-rest rule: an evaluation with |speed| and |acceleration| below this settles its step ...
SETTLE_THRESHOLD: float = _pbsim.SETTLE_THRESHOLD
#: ... and the run ends after a settled step whose final |speed| is at most this.
REST_SPEED: float = _pbsim.REST_SPEED
#: A run that ends by itself within this many steps draws a FewStepsWarning.
FEW_STEPS: int = _pbsim.FEW_STEPS
#: The flight's drag laws, by the engine's words: pbsim's "linear" first.
DRAG_LAWS: tuple[str, ...] = _pbsim.DRAG_LAWS
#: The adaptive schemes' default tolerances: relative (rtol) and absolute (atol, in the
#: state's units).
RTOL: float = _pbsim.RTOL
ATOL: float = _pbsim.ATOL
#: An rtol below this is finer than double precision resolves (a ToleranceWarning).
SMALLEST_RTOL: float = _pbsim.SMALLEST_RTOL
#: Where a flight's ground point is placed within its last step: "linear" (pbsim's rule,
#: the default) or "interpolated" (on an interpolant of the scheme's own order).
LANDINGS: tuple[str, ...] = _pbsim.LANDINGS
#: What a convergence study measures ("at_time" first, the default; "landing") and what it
#: sweeps ("auto" first, the default: dt for fixed-step schemes, rtol for adaptive ones).
QUANTITIES: tuple[str, ...] = _pbsim.QUANTITIES
SWEEPS: tuple[str, ...] = _pbsim.SWEEPS
#: A convergence study's coarsest rtol for the adaptive schemes, divided by 10 per level,
#: CONVERGENCE_RTOL_LEVELS levels in all.
CONVERGENCE_RTOL: float = _pbsim.CONVERGENCE_RTOL
CONVERGENCE_RTOL_LEVELS: int = _pbsim.CONVERGENCE_RTOL_LEVELS


class Scheme(NamedTuple):
    """A built-in scheme: its name, title, order, evaluations per step (an adaptive
    scheme's per accepted step), colour, marker and kind ("explicit", "implicit" or
    "adaptive")."""

    name: str
    title: str
    order: int
    evaluations: int
    colour: tuple[float, float, float]
    marker: str
    kind: str


#: The built-in schemes, in the order of the engine's scheme table (pbsim's three first).
SCHEMES: tuple[Scheme, ...] = tuple(Scheme(*s) for s in _pbsim.SCHEMES)


class FewStepsWarning(UserWarning):
    """A run ended within its first few steps: its time step is as long as the motion."""


class DivergedWarning(UserWarning):
    """A run's state overflowed (is no longer a finite number): its summary reports no
    errors (NaN) and its notes say from which step on."""


class FailedWarning(UserWarning):
    """A run stopped on a step that failed: an adaptive step that would fall below what the
    time resolves (stop "step_too_small"), an implicit step whose Newton iteration did not
    converge (stop "newton_failed")."""


class ToleranceWarning(UserWarning):
    """An adaptive scheme's rtol is finer than double precision resolves (SMALLEST_RTOL):
    rounding, not the tolerance, then limits the error."""


_WARNINGS = {"diverged": DivergedWarning, "failed": FailedWarning,
             "tolerance": ToleranceWarning, "few_steps": FewStepsWarning}


# f(t, state) -> d(state)/dt; a user's step(f, t, state, h) -> new state.
Derivative = Callable[[float, np.ndarray], np.ndarray]
SchemeLike = Union[str, ButcherTableau, EmbeddedTableau,
                   Callable[[Derivative, float, np.ndarray, float], Any]]


class Parameter(NamedTuple):
    """One parameter of a model, as the engine's parameter table describes it."""

    #: The keyword argument's name.
    name: str
    #: The label of pbsim's panel field.
    label: str
    #: The unit of the value ("" for a pure number).
    unit: str
    #: The panel's start-up value, the keyword argument's default.
    default: float
    #: One line on what it is.
    help: str
    #: The group of pbsim's panel it sits in.
    group: str
    #: What a value must be ("a finite number", "a number greater than 0").
    rule: str
    #: False for a value that is only drawn, not flown (the target).
    flown: bool
    #: The unit under quadratic drag where it differs (the friction's "kg/m"), else "".
    quadratic_unit: str


def parameters(model: str) -> list[Parameter]:
    """The parameters of `model` ("flight" or "spring") in the engine's order, each with
    its name, label, unit, default (pbsim's start-up value), help, rule and, where
    quadratic drag measures it otherwise, quadratic_unit. An unknown model is a
    ValueError."""
    return [Parameter(**p) for p in _pbsim.parameters(model)]


_MODELS = ("flight", "spring")
_DEFAULTS = {m: {p.name: p.default for p in parameters(m)} for m in _MODELS}


def _defaults(model: str) -> dict[str, float]:
    if model not in _DEFAULTS:
        parameters(model)  # the engine's ValueError, naming the models
    return _DEFAULTS[model]



def _names(rows: list[dict[str, str]]) -> tuple[str, ...]:
    return tuple(r["name"] for r in rows)


def _listed(rows: list[dict[str, str]]) -> str:
    return ", ".join(f"{r['name']} [{r['unit']}]" if r["unit"] else r["name"] for r in rows)


def _described(table: list[Parameter], indent: str = "    ") -> str:
    """Lines describing each parameter, for a docstring."""
    lines = []
    for p in table:
        unit = f", {p.unit}" if p.unit else ""
        if p.quadratic_unit:
            unit += f" ({p.quadratic_unit} under quadratic drag)"
        lines.append(textwrap.fill(
            f"{p.name}: {p.help} (pbsim's \"{p.label}\"{unit}; default {p.default:g})",
            width=88, initial_indent=indent, subsequent_indent=indent + "    "))
    return "\n".join(lines)


def _pandas() -> Any:
    try:
        import pandas
    except ImportError as e:  # pragma: no cover - pandas is recommended, not required
        raise ImportError("tables need pandas (Debian: apt install python3-pandas)") from e
    return pandas


class _Result:
    _columns: tuple[str, ...] = ()
    _summary: tuple[str, ...] = ()

    def __init__(self, data: dict[str, Any], params: dict[str, Any]) -> None:
        # The columns as the engine names them for this run (reference_x under quadratic drag).
        self._columns = tuple(data["columns"])
        for name, column in data["columns"].items():
            setattr(self, name, column)
        for name, value in data["summary"].items():
            setattr(self, name, value)
        self.precision: str = data["precision"]
        #: What the errors are measured against: "exact" (a closed form) or "reference".
        self.judge: str = data["judge"]
        #: How far that itself may be off, in m (0 for a closed form).
        self.judge_error: float = data["judge_error"]
        #: The engine's notes on this run, as pbsim-study prints them below its table.
        self.notes: list[str] = list(data["notes"])
        #: A tableau's (or a pair's) order by the Butcher order conditions (checked up to
        #: 5), beside the order its runs show; None for a built-in scheme (SCHEMES has its
        #: order) or a step.
        self.algebraic_order: Optional[int] = data["algebraic_order"]
        #: Whether the scheme chose its own steps (an adaptive scheme or a pair), under
        #: rtol and atol; the h array holds each step's length.
        self.adaptive: bool = data["adaptive"]
        self.params: dict[str, Any] = dict(params, scheme=self.scheme, precision=self.precision,
                                           rtol=data["rtol"], atol=data["atol"])

    def __len__(self) -> int:
        return len(self.t)

    def summary(self) -> dict[str, Any]:
        """The run's summary, by the names pbsim-study's summary uses."""
        return {name: getattr(self, name) for name in self._summary}

    def to_frame(self) -> Any:
        """The points as a pandas DataFrame; its columns are views of this result's arrays."""
        pd = _pandas()
        frame = pd.DataFrame({name: getattr(self, name) for name in self._columns}, copy=False)
        frame.attrs["params"] = dict(self.params)
        return frame


def _result_doc(model: str) -> str:
    def fill(text: str) -> str:
        return textwrap.fill(text, width=88, initial_indent="    ", subsequent_indent="    ")

    return (f"\n\n{fill('Arrays: ' + _listed(_pbsim.columns(model)))}.\n"
            f"{fill('Summary attributes: ' + _listed(_pbsim.summary_fields(model)))}.")


class FlightResult(_Result):
    """One flight: every point as numpy arrays (the launch point first, the ground point
    last, as pbsim draws it), the summary as attributes and the parameters it ran with."""

    __doc__ = ((__doc__ or "") + _result_doc("flight") + "\n"
               + textwrap.fill(
                   "Under quadratic drag, which has no closed form, the exact_* arrays are "
                   "reference_* instead (judge is then 'reference'): the flight's reference "
                   "integration, as pbsim-study's CSV names them; path_error, landing_miss and "
                   "max_path_error are measured against it.",
                   width=88, initial_indent="    ", subsequent_indent="    "))
    _columns = _names(_pbsim.columns("flight"))
    _summary = _names(_pbsim.summary_fields("flight"))

    def __init__(self, data: dict[str, Any], params: dict[str, Any]) -> None:
        super().__init__(data, params)
        #: The target in the model's coordinates (x, z): the panel's "Z" and "X".
        self.target: tuple[float, float] = tuple(data["target"])  # type: ignore[assignment]
        #: The drag law it flew: "linear" or "quadratic".
        self.drag: str = data["drag"]
        #: How its ground point was placed within the last step: "linear" or "interpolated".
        self.landing: str = data["landing"]
        self.params["landing"] = self.landing

    def __getattr__(self, name: str) -> Any:
        # Only for names not found: the exact_* arrays of a flight judged by a reference.
        if name.startswith("exact_") and "judge" in self.__dict__:
            judged = self.judge + name[len("exact"):]
            if judged in self.__dict__:
                raise AttributeError(
                    f"{name}: {self.drag} drag has no closed form; this flight's errors are "
                    f"measured against its {self.judge} ({judged})", name=name, obj=self)
        raise AttributeError(f"{type(self).__name__!r} object has no attribute {name!r}",
                             name=name, obj=self)

    @property
    def target_miss(self) -> float:
        """Distance from the ground point to the target; NaN unless the flight landed."""
        return math.hypot(self.landing_x - self.target[0], self.landing_z - self.target[1])

    def __repr__(self) -> str:
        drag = "" if self.drag == DRAG_LAWS[0] else f", drag={self.drag!r}"
        drag += "" if self.landing == LANDINGS[0] else f", landing={self.landing!r}"
        return (f"FlightResult(scheme={self.scheme!r}, precision={self.precision!r}{drag}, "
                f"steps={self.steps}, stop={self.stop!r}, landing_x={self.landing_x:.6g}, "
                f"landing_z={self.landing_z:.6g}, flight_time={self.flight_time:.6g})")


class SpringResult(_Result):
    """One spring run: every sample as numpy arrays, the summary as attributes and the
    parameters it ran with."""

    __doc__ = (__doc__ or "") + _result_doc("spring")
    _columns = _names(_pbsim.columns("spring"))
    _summary = _names(_pbsim.summary_fields("spring"))

    def __repr__(self) -> str:
        return (f"SpringResult(scheme={self.scheme!r}, precision={self.precision!r}, "
                f"steps={self.steps}, stop={self.stop!r}, "
                f"final_height={self.final_height:.6g})")


def _warn(data: list[dict[str, Any]], stacklevel: int) -> None:
    # The engine's warnings, worded as pbsim-study words them on its command line.
    for d in data:
        for kind, text in d["warnings"]:
            warnings.warn(text, _WARNINGS[kind], stacklevel=stacklevel + 1)


def _scheme_list(schemes: Any) -> list[Any]:
    """schemes as a list: one scheme (a name, a tableau or a step) is a list of one."""
    if isinstance(schemes, (str, ButcherTableau, EmbeddedTableau)) or callable(schemes):
        return [schemes]
    return list(schemes)


class _Option(NamedTuple):
    """A keyword argument beside the model's parameters."""

    name: str
    default: Any
    annotation: str


def _with_parameters(model: str, *extra: _Option,
                     keyword_only: Sequence[_Option] = ()) -> Callable[[Callable[..., Any]], Any]:
    """Gives run(values, **extra) the model's parameters as arguments with their start-up
    values as defaults: the flown ones in the table's order, then `extra`, then those only
    drawn (the target), then the `keyword_only` ones. run gets the parameters as one dict,
    in that order.

    The function is written out and compiled once, as collections.namedtuple does, so that
    it binds its arguments as fast as any function and its signature is its own."""
    table = parameters(model)
    ordered = [p for p in table if p.flown] + [p for p in table if not p.flown]
    args = ([_Option(p.name, p.default, "float") for p in ordered if p.flown] + list(extra)
            + [_Option(p.name, p.default, "float") for p in ordered if not p.flown])
    for a in args + list(keyword_only):
        if not a.name.isidentifier() or keyword.iskeyword(a.name):
            raise ValueError(f"{a.name!r} cannot name an argument")
    values = ", ".join(f"{p.name!r}: {p.name}" for p in ordered)
    rest = ", ".join(f"{a.name}={a.name}" for a in list(extra) + list(keyword_only))

    def wrap(run: Callable[..., Any]) -> Any:
        namespace: dict[str, Any] = {f"_default_{a.name}": a.default
                                     for a in args + list(keyword_only)}
        namespace["_run"] = run
        signature = ", ".join(f"{a.name}: {a.annotation!r} = _default_{a.name}" for a in args)
        if keyword_only:
            signature += ", *, " + ", ".join(f"{a.name}: {a.annotation!r} = _default_{a.name}"
                                             for a in keyword_only)
        returns = run.__annotations__["return"]
        source = (f"def {run.__name__}({signature}) -> {returns!r}:\n"
                  f"    return _run({{{values}}}, {rest})\n")
        # Compiled on its own (not under this module's __future__ import): the annotations
        # are the strings written here, as in every function of this module.
        exec(compile(source, f"<pbsim.{run.__name__}>", "exec", dont_inherit=True), namespace)
        call = namespace[run.__name__]
        call.__qualname__ = run.__qualname__
        call.__module__ = run.__module__
        call.__doc__ = f"{inspect.cleandoc(run.__doc__ or '')}\n\n{_described(ordered)}\n"
        return call

    return wrap


_TOLERANCES = [_Option("rtol", RTOL, "float"), _Option("atol", ATOL, "float")]


@_with_parameters("flight", _Option("scheme", "rk4", "SchemeLike"),
                  _Option("precision", None, "Optional[str]"),
                  keyword_only=[_Option("drag", _pbsim.DRAG, "str"), *_TOLERANCES,
                                _Option("landing", _pbsim.LANDING, "str")])
def flight(values: dict[str, float], scheme: SchemeLike, precision: Optional[str], drag: str,
           rtol: float, atol: float, landing: str) -> FlightResult:
    """Fire one shot, as pbsim's ballistics panel does, and integrate it with `scheme`.

    precision "single" is pbsim's float arithmetic, "double" the engine's double-precision
    twin. By default (None) each scheme runs in its own: single where it has pbsim's
    arithmetic (the explicit schemes, tableaus), double otherwise (implicit and adaptive
    schemes, pairs, a step of your own); asking single of those is a ValueError. An
    adaptive scheme chooses its steps so that each step's error estimate stays within
    atol + rtol x |state| (the h array holds their lengths); other schemes ignore rtol and
    atol, which must still be finite numbers above 0. landing "linear" places the ground
    point on the straight line through the last step's ends (pbsim's rule); "interpolated"
    where an interpolant of the scheme's own order crosses the ground. drag "linear" is
    pbsim's law (friction in kg/s); "quadratic" decelerates by friction/mass x |v| x v
    (friction in kg/m), which has no closed form: its exact_* arrays are then reference_*,
    a reference integration, and judge says so. A run that ends within its first few steps
    draws a FewStepsWarning, one whose state overflows a DivergedWarning, one stopped by a
    failing step a FailedWarning, an rtol below SMALLEST_RTOL a ToleranceWarning. The
    parameters, in the units of pbsim's panel:
    """
    (data,) = _pbsim.run_flights(values, [scheme], precision, drag, rtol, atol, landing)
    result = FlightResult(data, dict(values, drag=drag))
    _warn([data], 3)
    return result


@_with_parameters("spring", _Option("scheme", "rk4", "SchemeLike"),
                  _Option("precision", None, "Optional[str]"),
                  _Option("until", None, "Optional[float]"), keyword_only=_TOLERANCES)
def spring(values: dict[str, float], scheme: SchemeLike, precision: Optional[str],
           until: Optional[float], rtol: float, atol: float) -> SpringResult:
    """Release the body on its spring, as pbsim's spring-mass panel does, and integrate
    until it comes to rest (or, with `until`, until the first step at or after that time;
    an adaptive scheme ends on it exactly).

    scheme, precision, rtol and atol as for flight(). damping_work is the work the damping
    has taken out of the body up to each sample, so that energy + damping_work - energy[0]
    is the integrator's own drift (its largest relative value: energy_balance_drift). The
    parameters, in the units of pbsim's panel:
    """
    (data,) = _pbsim.run_springs(values, [scheme], precision, until, rtol, atol)
    result = SpringResult(data, dict(values, until=until))
    _warn([data], 3)
    return result


def _physics_doc() -> str:
    return "\n".join(f"\n    The parameters of {m}():\n{_described(parameters(m), '      ')}"
                     for m in _MODELS)


def compare(model: str,
            schemes: Union[SchemeLike, Sequence[SchemeLike]] = ("euler", "midpoint", "rk4"),
            precision: Optional[str] = None, until: Optional[float] = None,
            drag: Optional[str] = None, rtol: float = RTOL, atol: float = ATOL,
            landing: Optional[str] = None, **physics: float) -> Any:
    """Run `model` ("flight" or "spring") once per scheme and return the summaries as a
    pandas DataFrame, one row per scheme, in the columns of pbsim-study's summary.

    schemes: a list, or one scheme. precision, rtol and atol: as for flight(); by default
    each scheme runs in its own precision (attrs["precision"] says which, by scheme name).
    physics takes the parameters of flight() or spring(); until only for the spring, drag
    and landing only for the flight. The frame's attrs hold params, judge, judge_error, the
    engine's notes and algebraic_order: each tableau's order by the order conditions, by
    scheme name.
    """
    pd = _pandas()
    values = dict(_defaults(model), **physics)
    results: list[_Result]
    if model == "flight":
        if until is not None:
            raise TypeError("until applies to the spring only")
        data = _pbsim.run_flights(values, _scheme_list(schemes), precision, drag, rtol, atol,
                                  landing)
        params = dict(values, drag=data[0]["drag"], landing=data[0]["landing"])
        results = [FlightResult(d, params) for d in data]
        columns = FlightResult._summary
    else:
        if drag is not None:
            raise TypeError("drag applies to the flight only")
        if landing is not None:
            raise TypeError("landing applies to the flight only")
        data = _pbsim.run_springs(values, _scheme_list(schemes), precision, until, rtol, atol)
        params = values
        results = [SpringResult(d, dict(values, until=until)) for d in data]
        columns = SpringResult._summary
    _warn(data, 2)
    frame = pd.DataFrame([r.summary() for r in results], columns=list(columns))
    # One precision for all, or None when the schemes ran in their own (attrs["precision"]).
    precisions = {r.scheme: r.precision for r in results}
    shared = set(precisions.values())
    frame.attrs["params"] = dict(params, precision=shared.pop() if len(shared) == 1 else None,
                                 rtol=data[0]["rtol"], atol=data[0]["atol"])
    frame.attrs["precision"] = precisions
    frame.attrs["judge"] = data[0]["judge"]
    frame.attrs["judge_error"] = data[0]["judge_error"]
    frame.attrs["notes"] = list(dict.fromkeys(n for d in data for n in d["notes"]))
    frame.attrs["algebraic_order"] = {r.scheme: r.algebraic_order for r in results
                                      if r.algebraic_order is not None}
    return frame


def convergence(model: str,
                schemes: Union[SchemeLike, Sequence[SchemeLike]] = ("euler", "midpoint", "rk4"),
                precision: Optional[str] = None, dt: Optional[float] = None,
                levels: int = _pbsim.CONVERGENCE_LEVELS, at: Optional[float] = None,
                drag: Optional[str] = None, quantity: str = _pbsim.QUANTITY,
                sweep: str = _pbsim.SWEEP, rtol: Optional[float] = None,
                atol: Optional[float] = None,
                rtol_levels: int = CONVERGENCE_RTOL_LEVELS, landing: Optional[str] = None,
                **physics: float) -> Any:
    """The error at time `at` as the time step halves from dt, `levels` times in all, and
    the order each scheme shows, as a pandas DataFrame with the columns of pbsim-study's
    convergence summary and each row's wall time (wall_ms, its own run's: noise below a
    few tenths of a millisecond).

    An adaptive scheme (or an EmbeddedTableau) is swept over its tolerance instead: rtol
    from `rtol` (default CONVERGENCE_RTOL) divided by 10 per level, `rtol_levels` levels,
    atol in proportion (from `atol`, by default in the proportion of RTOL and ATOL); its
    rows carry rtol (h is NaN), rejected steps, and as order the slope of log error against
    log rtol (1: error proportional to rtol). sweep "auto" does both, "dt" or "rtol" only
    one, refusing the schemes it does not fit. quantity "at_time" measures the distance to
    the exact position at T; "landing" (flights only) the miss of the landing point, placed
    by `landing` ("linear" or "interpolated", as for flight()).

    schemes: a list, or one scheme (a name or a tableau; a Python step cannot be studied
    here, see the error it raises). precision None gives each scheme's own rows (single
    where it has pbsim's arithmetic, double otherwise), "single" the model's single rows
    (refused for schemes without them), "double" every scheme in double precision, "both"
    both. `at` defaults to 3/4 of the exact (or reference) flight, 4 s for the spring.
    floor marks rows where rounding,
    or the reference's own error, not the scheme, dominates the error. drag as for
    flight(); under quadratic drag the errors are measured against the reference
    (attrs["judge"], attrs["judge_error"], attrs["notes"]). attrs["algebraic_order"] holds
    each tableau's order by the Butcher order conditions, by scheme name, beside the orders
    its rows show: a tableau can show more on the linear models (linear drag, the spring)
    than it has, and parts from it under quadratic drag. physics takes the parameters of
    flight() or spring(); dt defaults to the model's.
    """
    pd = _pandas()
    values = dict(_defaults(model), **physics)
    if dt is not None:
        values["dt"] = dt
    data = _pbsim.convergence(model, values, _scheme_list(schemes), precision, levels, at,
                              drag, quantity, sweep, rtol, atol, rtol_levels, landing)
    if data["warning"]:
        warnings.warn(data["warning"], ToleranceWarning, stacklevel=2)
    frame = pd.DataFrame(data["columns"])
    frame.attrs["at"] = data["at"]
    params = dict(values, drag=drag if drag is not None else _pbsim.DRAG,
                  landing=data["landing"]) if model == "flight" else values
    frame.attrs["params"] = dict(params, precision=precision, levels=levels,
                                 quantity=data["quantity"], sweep=data["sweep"],
                                 rtol=data["rtol"], atol=data["atol"],
                                 rtol_levels=data["rtol_levels"])
    frame.attrs["judge"] = data["judge"]
    frame.attrs["judge_error"] = data["judge_error"]
    frame.attrs["notes"] = list(data["notes"])
    frame.attrs["algebraic_order"] = dict(data["algebraic_order"])
    return frame


def stability(schemes: Optional[Union[SchemeLike, Sequence[SchemeLike]]] = None,
              **physics: float) -> Any:
    """The largest stable time step of each scheme on the spring, measured and in theory,
    as a pandas DataFrame with the columns of pbsim-study's stability table.

    measured_dt is found by bisection on the growth of the spring's energy over a fixed
    span of natural periods, run with each scheme's own double-precision step; theory_dt
    is the bound of the scheme's step matrix on the spring's eigenvalues -a ± iω, and
    bound says which ("|R(hλ)| = 1", "spectral radius = 1", "h < 2a/(a²+ω²)", "none" for
    the implicit schemes, "not applicable" for the adaptive ones). unstable_at_dt judges
    the spring's own dt. schemes: names of SCHEMES (a list, or one); None: every
    fixed-step scheme. physics takes the parameters of spring(). The frame's attrs hold
    params, the spring's modes (a, omega, natural_omega, period, oscillates, eigenvalues)
    and the engine's notes.
    """
    pd = _pandas()
    values = dict(_defaults("spring"), **physics)
    data = _pbsim.stability(values, None if schemes is None else _scheme_list(schemes))
    frame = pd.DataFrame(data["columns"])
    frame.attrs["params"] = values
    frame.attrs["modes"] = dict(data["modes"])
    frame.attrs["notes"] = list(data["notes"])
    return frame


compare.__doc__ = (compare.__doc__ or "") + _physics_doc()
stability.__doc__ = ((stability.__doc__ or "")
                     + f"\n    Columns: {_listed(_pbsim.stability_fields())}.\n"
                     + _physics_doc())
convergence.__doc__ = ((convergence.__doc__ or "")
                       + f"\n    Columns: {_listed(_pbsim.convergence_fields())}.\n"
                       + _physics_doc())


class ExactFlight(NamedTuple):
    """The closed-form flight at the given times (float64 arrays shaped like t)."""

    x: np.ndarray
    y: np.ndarray
    z: np.ndarray
    vx: np.ndarray
    vy: np.ndarray
    vz: np.ndarray


class ExactSpring(NamedTuple):
    """The closed-form spring at the given times; NaN where the closed form does not hold
    (from the time the body would reach the anchor)."""

    y: np.ndarray
    v: np.ndarray


def _times(t: Any) -> tuple[np.ndarray, tuple[int, ...]]:
    a = np.asarray(t, dtype=np.float64)
    return np.ascontiguousarray(a.ravel()), a.shape


def _physics(model: str, physics: dict[str, float]) -> dict[str, float]:
    if model == "flight" and "drag" in physics:
        raise TypeError("the closed form is linear drag's; quadratic drag has none: a "
                        "flight(drag='quadratic') holds its reference as reference_x, "
                        "reference_y, reference_z")
    return dict(_defaults(model), **physics)


def exact_flight(t: Any, **physics: float) -> ExactFlight:
    """The closed-form flight (linear drag) at times t (any shape), vectorised, in float64.

    physics: the parameters of flight() (its time step and target play no part).
    """
    times, shape = _times(t)
    columns = _pbsim.exact_flight(times, _physics("flight", physics))
    return ExactFlight(*(c.reshape(shape) for c in columns))


def exact_landing_time(**physics: float) -> Optional[float]:
    """The closed-form flight's landing time in s, or None when it never comes down."""
    return _pbsim.exact_landing_time(_physics("flight", physics))


def exact_spring(t: Any, **physics: float) -> ExactSpring:
    """The closed-form spring (a damped oscillator about its resting height) at times t
    (any shape), vectorised, in float64; NaN where the closed form does not hold.

    physics: the parameters of spring() (its time step plays no part).
    """
    times, shape = _times(t)
    columns = _pbsim.exact_spring(times, _physics("spring", physics))
    return ExactSpring(*(c.reshape(shape) for c in columns))


def spring_closed_form(**physics: float) -> dict[str, Any]:
    """The spring's closed form: its regime, resting height (gravity/ks - rest) and the
    time until which it holds."""
    return dict(_pbsim.spring_closed_form(_physics("spring", physics)))


def __dir__() -> list[str]:
    # What the package offers, not what it imports (np, math, typing's names).
    return sorted(set(__all__) | {n for n in globals() if n.startswith("__")})
