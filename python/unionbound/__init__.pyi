from typing import Callable, Iterable, Literal, Sequence

import numpy
import numpy.typing
from matplotlib.figure import Figure

__version__: str

MethodName = Literal["aggregation", "exact", "sharpest", "classical"]
StopReason = Literal["none", "time_limit", "interrupted", "memory_plan"]
METHODS: tuple[MethodName, ...]

class Bound:
    @property
    def value(self) -> float | None: ...
    @property
    def proven(self) -> bool: ...
    @property
    def why(self) -> str | None: ...
    @property
    def distance(self) -> float | None: ...
    @property
    def l(self) -> int | None: ...

class Pass:
    l: int
    q: int
    upper: Bound
    lower: Bound
    seconds: float | None

class NamedBound:
    name: str
    formula: str
    value: float | None

class MethodResult:
    name: str
    upper: Bound
    lower: Bound
    passes: list[Pass]
    upper_parts: list[NamedBound]
    lower_parts: list[NamedBound]
    seconds: float
    @property
    def stop(self) -> StopReason: ...

class PassRow:
    l: int
    q: int
    aggregation: float | None
    exact_upper: float | None
    exact_lower: float | None
    seconds: float | None

class Consistency:
    pairs_checked: bool

class Interval:
    lower: Bound
    upper: Bound
    @property
    def lower_method(self) -> str | None: ...
    @property
    def upper_method(self) -> str | None: ...

class Progress:
    stage: str
    done: int
    total: int
    text: str

class Observations:
    n: int
    m: int
    observations: int
    observations_with_an_event: int
    union: float
    @property
    def probabilities(self) -> numpy.typing.NDArray[numpy.float64]: ...

class Result:
    @property
    def n(self) -> int: ...
    @property
    def m(self) -> int: ...
    @property
    def lower(self) -> float | None: ...
    @property
    def upper(self) -> float | None: ...
    @property
    def lower_method(self) -> str | None: ...
    @property
    def upper_method(self) -> str | None: ...
    @property
    def interval(self) -> tuple[float | None, float | None]: ...
    @property
    def best(self) -> Interval: ...
    @property
    def methods(self) -> dict[str, MethodResult]: ...
    @property
    def left_out(self) -> dict[str, str]: ...
    @property
    def passes(self) -> list[PassRow]: ...
    @property
    def consistency(self) -> Consistency: ...
    @property
    def reading_seconds(self) -> float: ...
    @property
    def observations(self) -> Observations | None: ...

Methods = MethodName | Iterable[MethodName] | None

def methods_for(n: int, m: int) -> list[str]: ...
def bounds(
    probabilities: numpy.typing.ArrayLike | Sequence[float],
    n: int,
    m: int,
    *,
    methods: Methods = None,
    time_limit: float | None = None,
    threads: int | None = None,
    progress: Callable[[Progress], object] | None = None,
) -> Result: ...
def from_observations(matrix: numpy.typing.ArrayLike, m: int) -> Observations: ...
def bounds_from_observations(
    matrix: numpy.typing.ArrayLike,
    m: int,
    *,
    methods: Methods = None,
    time_limit: float | None = None,
    threads: int | None = None,
    progress: Callable[[Progress], object] | None = None,
) -> Result: ...
def plot(result: Result, *, title: str | None = None) -> Figure: ...
