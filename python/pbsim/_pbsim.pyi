# Type stubs of the extension module pbsim._pbsim (python/module.cpp and its register_* files).
from typing import Any, Iterable, Optional, Sequence

import numpy as np

__version__: str
MAX_FLIGHT_STEPS: int
MAX_SPRING_SAMPLES: int
SETTLE_THRESHOLD: float
REST_SPEED: float
FEW_STEPS: int
CONVERGENCE_LEVELS: int
CONVERGENCE_RTOL_LEVELS: int
CONVERGENCE_RTOL: float
QUANTITY: str
SWEEP: str
QUANTITIES: tuple[str, ...]
SWEEPS: tuple[str, ...]
DRAG_LAWS: tuple[str, ...]
DRAG: str
RTOL: float
ATOL: float
SMALLEST_RTOL: float
LANDING: str
LANDINGS: tuple[str, ...]
SCHEMES: list[tuple[str, str, int, int, tuple[float, float, float], str, str]]

class ButcherTableau:
    def __init__(
        self,
        a: Sequence[Sequence[float]],
        b: Sequence[float],
        c: Sequence[float],
        name: str = ...,
    ) -> None: ...
    @property
    def a(self) -> list[list[float]]: ...
    @property
    def b(self) -> list[float]: ...
    @property
    def c(self) -> list[float]: ...
    @property
    def name(self) -> str: ...
    @property
    def stages(self) -> int: ...
    @property
    def algebraic_order(self) -> int: ...
    @property
    def order_report(self) -> str: ...

class EmbeddedTableau:
    def __init__(
        self,
        a: Sequence[Sequence[float]],
        b: Sequence[float],
        b_hat: Sequence[float],
        c: Sequence[float],
        name: str = ...,
    ) -> None: ...
    @property
    def a(self) -> list[list[float]]: ...
    @property
    def b(self) -> list[float]: ...
    @property
    def b_hat(self) -> list[float]: ...
    @property
    def c(self) -> list[float]: ...
    @property
    def name(self) -> str: ...
    @property
    def stages(self) -> int: ...
    @property
    def fsal(self) -> bool: ...
    @property
    def algebraic_order(self) -> int: ...
    @property
    def embedded_order(self) -> int: ...
    @property
    def order_report(self) -> str: ...

def parameters(model: object) -> list[dict[str, Any]]: ...
def columns(model: str) -> list[dict[str, str]]: ...
def summary_fields(model: str) -> list[dict[str, str]]: ...
def convergence_fields() -> list[dict[str, str]]: ...
def run_flights(
    values: dict[str, Any],
    schemes: Iterable[Any],
    precision: Optional[str] = ...,
    drag: Optional[str] = ...,
    rtol: Optional[float] = ...,
    atol: Optional[float] = ...,
    landing: Optional[str] = ...,
) -> list[dict[str, Any]]: ...
def run_springs(
    values: dict[str, Any],
    schemes: Iterable[Any],
    precision: Optional[str] = ...,
    until: Optional[float] = ...,
    rtol: Optional[float] = ...,
    atol: Optional[float] = ...,
) -> list[dict[str, Any]]: ...
def convergence(
    model: str,
    values: dict[str, Any],
    schemes: Iterable[Any],
    precision: Optional[str],
    levels: int,
    at: Optional[float],
    drag: Optional[str] = ...,
    quantity: Optional[str] = ...,
    sweep: Optional[str] = ...,
    rtol: Optional[float] = ...,
    atol: Optional[float] = ...,
    rtol_levels: Optional[int] = ...,
    landing: Optional[str] = ...,
) -> dict[str, Any]: ...
def exact_flight(t: np.ndarray, values: dict[str, Any]) -> tuple[np.ndarray, ...]: ...
def exact_landing_time(values: dict[str, Any]) -> Optional[float]: ...
def exact_spring(t: np.ndarray, values: dict[str, Any]) -> tuple[np.ndarray, np.ndarray]: ...
def spring_closed_form(values: dict[str, Any]) -> dict[str, Any]: ...
def stability_fields() -> list[dict[str, str]]: ...
def stability(values: dict[str, Any], schemes: Optional[Iterable[Any]] = ...) -> dict[str, Any]: ...
