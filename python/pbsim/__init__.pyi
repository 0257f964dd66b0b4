# Type stubs of the package pbsim (python/pbsim/__init__.py).
from typing import Any, Callable, NamedTuple, Optional, Sequence, Union

import numpy as np
import pandas as pd  # type: ignore[import]  # pandas ships no stubs

from ._pbsim import ButcherTableau as ButcherTableau
from ._pbsim import EmbeddedTableau as EmbeddedTableau

__version__: str
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

MAX_FLIGHT_STEPS: int
MAX_SPRING_SAMPLES: int
SETTLE_THRESHOLD: float
REST_SPEED: float
FEW_STEPS: int
DRAG_LAWS: tuple[str, ...]
RTOL: float
ATOL: float
SMALLEST_RTOL: float
LANDINGS: tuple[str, ...]
QUANTITIES: tuple[str, ...]
SWEEPS: tuple[str, ...]
CONVERGENCE_RTOL: float
CONVERGENCE_RTOL_LEVELS: int

class Scheme(NamedTuple):
    name: str
    title: str
    order: int
    evaluations: int
    colour: tuple[float, float, float]
    marker: str
    kind: str

SCHEMES: tuple[Scheme, ...]

class FewStepsWarning(UserWarning): ...
class DivergedWarning(UserWarning): ...
class FailedWarning(UserWarning): ...
class ToleranceWarning(UserWarning): ...

class Parameter(NamedTuple):
    name: str
    label: str
    unit: str
    default: float
    help: str
    group: str
    rule: str
    flown: bool
    quadratic_unit: str

def parameters(model: str) -> list[Parameter]: ...

# f(t, state) -> d(state)/dt; a user's step(f, t, state, h) -> new state.
Derivative = Callable[[float, np.ndarray], np.ndarray]
SchemeLike = Union[
    str, ButcherTableau, EmbeddedTableau, Callable[[Derivative, float, np.ndarray, float], Any]
]

class _Result:
    precision: str
    judge: str
    judge_error: float
    notes: list[str]
    algebraic_order: Optional[int]
    adaptive: bool
    params: dict[str, Any]
    def __init__(self, data: dict[str, Any], params: dict[str, Any]) -> None: ...
    def __len__(self) -> int: ...
    def summary(self) -> dict[str, Any]: ...
    def to_frame(self) -> pd.DataFrame: ...

class FlightResult(_Result):
    step: np.ndarray
    t: np.ndarray
    x: np.ndarray
    y: np.ndarray
    z: np.ndarray
    vx: np.ndarray
    vy: np.ndarray
    vz: np.ndarray
    # exact_* under linear drag; under quadratic drag (judge "reference") reference_* instead.
    exact_x: np.ndarray
    exact_y: np.ndarray
    exact_z: np.ndarray
    reference_x: np.ndarray
    reference_y: np.ndarray
    reference_z: np.ndarray
    path_error: np.ndarray
    h: np.ndarray
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
    rejected: int
    wall_ms: float
    target: tuple[float, float]
    drag: str
    landing: str
    @property
    def target_miss(self) -> float: ...

class SpringResult(_Result):
    step: np.ndarray
    t: np.ndarray
    y: np.ndarray
    v: np.ndarray
    exact_y: np.ndarray
    height_error: np.ndarray
    energy: np.ndarray
    damping_work: np.ndarray
    h: np.ndarray
    scheme: str
    steps: int
    evaluations: int
    stop: str
    few_steps: bool
    final_height: float
    resting_height: float
    max_height_error: float
    energy_drift: float
    energy_balance_drift: float
    rejected: int
    wall_ms: float

# The defaults are the engine's start-up values (tests/test_tables.py checks them).
def flight(
    azimuth: float = 10.0,
    elevation: float = 45.0,
    mass: float = 1000.0,
    powder: float = 1.0,
    power: float = 10000.0,
    gravity: float = -9.8,
    friction: float = 50.0,
    dt: float = 0.1,
    scheme: SchemeLike = "rk4",
    precision: Optional[str] = None,
    target_x: float = 10.0,
    target_z: float = 0.0,
    *,
    drag: str = "linear",
    rtol: float = 1e-06,
    atol: float = 1e-09,
    landing: str = "linear",
) -> FlightResult: ...
def spring(
    mass: float = 5.0,
    ks: float = 15.0,
    kd: float = 1.0,
    rest: float = 1.0,
    gravity: float = -9.8,
    dt: float = 0.1,
    scheme: SchemeLike = "rk4",
    precision: Optional[str] = None,
    until: Optional[float] = None,
    *,
    rtol: float = 1e-06,
    atol: float = 1e-09,
) -> SpringResult: ...
def compare(
    model: str,
    schemes: Union[SchemeLike, Sequence[SchemeLike]] = ("euler", "midpoint", "rk4"),
    precision: Optional[str] = None,
    until: Optional[float] = None,
    drag: Optional[str] = None,
    rtol: float = 1e-06,
    atol: float = 1e-09,
    landing: Optional[str] = None,
    **physics: float,
) -> pd.DataFrame: ...
def stability(
    schemes: Optional[Union[SchemeLike, Sequence[SchemeLike]]] = None,
    **physics: float,
) -> pd.DataFrame: ...
def convergence(
    model: str,
    schemes: Union[SchemeLike, Sequence[SchemeLike]] = ("euler", "midpoint", "rk4"),
    precision: Optional[str] = None,
    dt: Optional[float] = None,
    levels: int = 8,
    at: Optional[float] = None,
    drag: Optional[str] = None,
    quantity: str = "at_time",
    sweep: str = "auto",
    rtol: Optional[float] = None,
    atol: Optional[float] = None,
    rtol_levels: int = 7,
    landing: Optional[str] = None,
    **physics: float,
) -> pd.DataFrame: ...

class ExactFlight(NamedTuple):
    x: np.ndarray
    y: np.ndarray
    z: np.ndarray
    vx: np.ndarray
    vy: np.ndarray
    vz: np.ndarray

class ExactSpring(NamedTuple):
    y: np.ndarray
    v: np.ndarray

def exact_flight(t: Any, **physics: float) -> ExactFlight: ...
def exact_landing_time(**physics: float) -> Optional[float]: ...
def exact_spring(t: Any, **physics: float) -> ExactSpring: ...
def spring_closed_form(**physics: float) -> dict[str, Any]: ...
def __dir__() -> list[str]: ...
