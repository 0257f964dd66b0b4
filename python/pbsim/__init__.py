"""pbsim for notebooks: pbsim's two models, its schemes and their exact solutions.

The projectile under gravity and linear air drag and the body on a damped
spring, integrated by the same engine as pbsim and pbsim-study. In single
precision the positions, heights, steps, evaluations and stops are pbsim's,
bit for bit; in double precision they come from the models' double twins.

    >>> import pbsim
    >>> r = pbsim.flight(scheme="rk4")
    >>> r.steps, r.landing_z
    >>> pbsim.compare("flight", schemes=["euler", "midpoint", "rk4"])
    >>> pbsim.convergence("flight", precision="both")

Parameters use the units of pbsim's panels (degrees, kg, s; in the spring
model gravity is a force in N). A scheme is a name of ``SCHEMES``, a
``ButcherTableau``, or a callable ``step(f, t, state, h) -> new_state``.
"""

from __future__ import annotations

import math
import warnings
from typing import Any, Callable, Iterable, NamedTuple, Optional, Sequence, Union

import numpy as np

from . import _pbsim
from ._pbsim import ButcherTableau

__version__: str = _pbsim.__version__

__all__ = [
    "ButcherTableau",
    "ExactFlight",
    "ExactSpring",
    "FEW_STEPS",
    "FewStepsWarning",
    "FlightResult",
    "MAX_FLIGHT_STEPS",
    "MAX_SPRING_SAMPLES",
    "REST_SPEED",
    "SCHEMES",
    "SETTLE_THRESHOLD",
    "Scheme",
    "SpringResult",
    "compare",
    "convergence",
    "exact_flight",
    "exact_landing_time",
    "exact_spring",
    "flight",
    "spring",
    "spring_closed_form",
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


class Scheme(NamedTuple):
    """A built-in scheme: its name, title, order, evaluations per step, colour and marker."""

    name: str
    title: str
    order: int
    evaluations: int
    colour: tuple[float, float, float]
    marker: str


#: The built-in schemes, in pbsim's order (euler, midpoint, rk4, symplectic-euler, verlet).
SCHEMES: tuple[Scheme, ...] = tuple(Scheme(*s) for s in _pbsim.SCHEMES)


class FewStepsWarning(UserWarning):
    """A run ended within its first few steps: its time step is as long as the motion."""


# f(t, state) -> d(state)/dt; a user's step(f, t, state, h) -> new state.
Derivative = Callable[[float, np.ndarray], np.ndarray]
SchemeLike = Union[str, ButcherTableau, Callable[[Derivative, float, np.ndarray, float], Any]]

_FLIGHT = _pbsim.flight_defaults()
_SPRING = _pbsim.spring_defaults()
_CONVERGENCE = _pbsim.convergence_defaults()
_FLIGHT_COLUMNS = ("step", "t", "x", "y", "z", "vx", "vy", "vz",
                   "exact_x", "exact_y", "exact_z", "path_error")
_FLIGHT_SUMMARY = ("scheme", "steps", "evaluations", "stop", "few_steps", "landing_x",
                   "landing_z", "flight_time", "landing_miss", "max_path_error", "wall_ms")
_SPRING_COLUMNS = ("step", "t", "y", "v", "exact_y", "height_error", "energy")
_SPRING_SUMMARY = ("scheme", "steps", "evaluations", "stop", "few_steps", "final_height",
                   "resting_height", "max_height_error", "energy_drift", "wall_ms")


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
        for name, column in data["columns"].items():
            setattr(self, name, column)
        for name, value in data["summary"].items():
            setattr(self, name, value)
        self.precision: str = data["precision"]
        self.params: dict[str, Any] = dict(params, scheme=self.scheme, precision=self.precision)

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


class FlightResult(_Result):
    """One flight: every point as numpy arrays (the launch point first, the ground point
    last, as pbsim draws it), the summary as attributes and the parameters it ran with."""

    _columns = _FLIGHT_COLUMNS
    _summary = _FLIGHT_SUMMARY
    step: np.ndarray
    t: np.ndarray
    x: np.ndarray
    y: np.ndarray
    z: np.ndarray
    vx: np.ndarray
    vy: np.ndarray
    vz: np.ndarray
    exact_x: np.ndarray
    exact_y: np.ndarray
    exact_z: np.ndarray
    path_error: np.ndarray
    scheme: str
    steps: int
    evaluations: int
    stop: str
    few_steps: bool
    landing_x: float
    landing_z: float
    flight_time: float
    landing_miss: float
    max_path_error: float
    wall_ms: float

    def __init__(self, data: dict[str, Any], params: dict[str, Any]) -> None:
        super().__init__(data, params)
        #: The target in the model's coordinates (x, z): the panel's "Z" and "X".
        self.target: tuple[float, float] = tuple(data["target"])  # type: ignore[assignment]

    @property
    def target_miss(self) -> float:
        """Distance from the ground point to the target; NaN unless the flight landed."""
        return math.hypot(self.landing_x - self.target[0], self.landing_z - self.target[1])

    def __repr__(self) -> str:
        return (f"FlightResult(scheme={self.scheme!r}, precision={self.precision!r}, "
                f"steps={self.steps}, stop={self.stop!r}, landing_x={self.landing_x:.6g}, "
                f"landing_z={self.landing_z:.6g}, flight_time={self.flight_time:.6g})")


class SpringResult(_Result):
    """One spring run: every sample as numpy arrays, the summary as attributes and the
    parameters it ran with."""

    _columns = _SPRING_COLUMNS
    _summary = _SPRING_SUMMARY
    step: np.ndarray
    t: np.ndarray
    y: np.ndarray
    v: np.ndarray
    exact_y: np.ndarray
    height_error: np.ndarray
    energy: np.ndarray
    scheme: str
    steps: int
    evaluations: int
    stop: str
    few_steps: bool
    final_height: float
    resting_height: float
    max_height_error: float
    energy_drift: float
    wall_ms: float

    def __repr__(self) -> str:
        return (f"SpringResult(scheme={self.scheme!r}, precision={self.precision!r}, "
                f"steps={self.steps}, stop={self.stop!r}, "
                f"final_height={self.final_height:.6g})")


def _warn_few(result: _Result) -> None:
    # As pbsim-study warns on its command line.
    steps = f"{result.steps} step{'' if result.steps == 1 else 's'}"
    if result.stop == "stuck":
        why = ": the projectile no longer moves"
    else:
        why = (f"of dt {result.params['dt']:g} s: its numbers say nothing about the scheme; "
               "take a smaller dt")
    warnings.warn(f"{result.scheme} ended after {steps} {why}", FewStepsWarning, stacklevel=3)


def flight(azimuth: float = _FLIGHT["azimuth"], elevation: float = _FLIGHT["elevation"],
           mass: float = _FLIGHT["mass"], powder: float = _FLIGHT["powder"],
           power: float = _FLIGHT["power"], gravity: float = _FLIGHT["gravity"],
           friction: float = _FLIGHT["friction"], dt: float = _FLIGHT["dt"],
           scheme: SchemeLike = "rk4", precision: str = "single",
           target_x: float = _FLIGHT["target_x"],
           target_z: float = _FLIGHT["target_z"]) -> FlightResult:
    """Fire one shot, as pbsim's ballistics panel does, and integrate it with `scheme`.

    azimuth and elevation in degrees (the panel's sense), mass in kg, powder x power the
    muzzle impulse, gravity an acceleration in m/s^2, friction in kg/s, dt in s; target_x and
    target_z are the panel's target fields. precision "single" is pbsim's float arithmetic,
    "double" the engine's double-precision twin (a callable scheme runs in double only).
    """
    values = dict(azimuth=azimuth, elevation=elevation, mass=mass, powder=powder, power=power,
                  gravity=gravity, friction=friction, dt=dt, target_x=target_x,
                  target_z=target_z)
    (data,) = _pbsim.run_flights(values, [scheme], precision)
    result = FlightResult(data, values)
    if result.few_steps:
        _warn_few(result)
    return result


def spring(mass: float = _SPRING["mass"], ks: float = _SPRING["ks"], kd: float = _SPRING["kd"],
           rest: float = _SPRING["rest"], gravity: float = _SPRING["gravity"],
           dt: float = _SPRING["dt"], scheme: SchemeLike = "rk4", precision: str = "single",
           until: Optional[float] = None) -> SpringResult:
    """Release the body on its spring, as pbsim's spring-mass panel does, and integrate
    until it comes to rest (or, with `until`, until the first step at or after that time).

    mass in kg, ks in N/m, kd in kg/s, rest (the spring's rest length) in m, gravity a
    constant force in N (not an acceleration), dt in s.
    """
    values = dict(mass=mass, ks=ks, kd=kd, rest=rest, gravity=gravity, dt=dt)
    (data,) = _pbsim.run_springs(values, [scheme], precision, until)
    result = SpringResult(data, dict(values, until=until))
    if result.few_steps:
        _warn_few(result)
    return result


def compare(model: str, schemes: Sequence[SchemeLike] = ("euler", "midpoint", "rk4"),
            precision: str = "single", until: Optional[float] = None,
            **physics: float) -> Any:
    """Run `model` ("flight" or "spring") once per scheme and return the summaries as a
    pandas DataFrame, one row per scheme, in the columns of pbsim-study's summary.

    physics takes the parameters of flight() or spring(); until only for the spring.
    """
    pd = _pandas()
    if model == "flight":
        if until is not None:
            raise TypeError("until applies to the spring only")
        values = dict(_FLIGHT, **physics)
        data = _pbsim.run_flights(values, list(schemes), precision)
        results: list[_Result] = [FlightResult(d, values) for d in data]
        columns = _FLIGHT_SUMMARY
    elif model == "spring":
        values = dict(_SPRING, **physics)
        data = _pbsim.run_springs(values, list(schemes), precision, until)
        results = [SpringResult(d, dict(values, until=until)) for d in data]
        columns = _SPRING_SUMMARY
    else:
        raise ValueError(f"model must be 'flight' or 'spring', not {model!r}")
    for r in results:
        if r.few_steps:
            _warn_few(r)
    frame = pd.DataFrame([r.summary() for r in results], columns=list(columns))
    frame.attrs["params"] = dict(values, precision=precision)
    return frame


def convergence(model: str, schemes: Sequence[SchemeLike] = ("euler", "midpoint", "rk4"),
                precision: str = "single", dt: Optional[float] = None,
                levels: int = _CONVERGENCE["levels"],
                at: Optional[float] = None, **physics: float) -> Any:
    """The error at time `at` as the time step halves from dt, `levels` times in all, and
    the order each scheme shows, as a pandas DataFrame with the columns
    scheme, precision, h, steps, evaluations, error, order, floor.

    precision "single" gives the model's own rows, "double" the same schemes in double
    precision, "both" both. `at` defaults to 3/4 of the exact flight, 4 s for the spring.
    floor marks rows where rounding, not the scheme, dominates the error.
    """
    pd = _pandas()
    defaults = _FLIGHT if model == "flight" else _SPRING
    values = dict(defaults, **physics)
    if dt is not None:
        values["dt"] = dt
    data = _pbsim.convergence(model, values, list(schemes), precision, levels, at)
    frame = pd.DataFrame(data["columns"])
    frame.attrs["at"] = data["at"]
    frame.attrs["params"] = dict(values, precision=precision, levels=levels)
    return frame


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


def _physics(defaults: dict[str, float], physics: dict[str, float]) -> dict[str, float]:
    return dict(defaults, **physics)


def exact_flight(t: Any, **physics: float) -> ExactFlight:
    """The closed-form flight (linear drag) at times t (any shape), vectorised, in float64.

    physics: azimuth, elevation, mass, powder, power, gravity, friction as for flight().
    """
    times, shape = _times(t)
    columns = _pbsim.exact_flight(times, _physics(_FLIGHT, physics))
    return ExactFlight(*(c.reshape(shape) for c in columns))


def exact_landing_time(**physics: float) -> Optional[float]:
    """The closed-form flight's landing time in s, or None when it never comes down."""
    return _pbsim.exact_landing_time(_physics(_FLIGHT, physics))


def exact_spring(t: Any, **physics: float) -> ExactSpring:
    """The closed-form spring (a damped oscillator about its resting height) at times t
    (any shape), vectorised, in float64; NaN where the closed form does not hold.

    physics: mass, ks, kd, rest, gravity as for spring().
    """
    times, shape = _times(t)
    columns = _pbsim.exact_spring(times, _physics(_SPRING, physics))
    return ExactSpring(*(c.reshape(shape) for c in columns))


def spring_closed_form(**physics: float) -> dict[str, Any]:
    """The spring's closed form: its regime, resting height (gravity/ks - rest) and the
    time until which it holds."""
    return dict(_pbsim.spring_closed_form(_physics(_SPRING, physics)))
