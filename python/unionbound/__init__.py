"""Bounds on the probability of the union of n events.

From the probabilities of all intersections of 1 to m of the events (a
vector in the subset order: every single event, then every pair, ..., each
size in lexicographic order), or from observed 0/1 data:

    >>> import unionbound
    >>> result = unionbound.bounds(probabilities, n=10, m=3)
    >>> result.lower, result.upper

bounds() -- the bounds of every method asked for, and the best interval
from_observations() -- intersection probabilities of a 0/1 matrix
bounds_from_observations() -- both steps at once
plot() -- every method's bounds as a ladder, and per pass (matplotlib)
"""

import numpy as _numpy

from . import _core
from ._core import (
    Bound,
    Consistency,
    Interval,
    MethodResult,
    NamedBound,
    Observations,
    Pass,
    PassRow,
    Progress,
    Result,
    __version__,
)

__all__ = [
    "METHODS",
    "Bound",
    "Consistency",
    "Interval",
    "MethodResult",
    "NamedBound",
    "Observations",
    "Pass",
    "PassRow",
    "Progress",
    "Result",
    "bounds",
    "bounds_from_observations",
    "from_observations",
    "methods_for",
    "plot",
]

METHODS = ("aggregation", "exact", "sharpest", "classical")


def _method_list(methods):
    if methods is None:
        return None
    if isinstance(methods, str):
        return [methods]
    return list(methods)


def methods_for(n, m):
    """The methods that can run for n events and order m, in the order they run."""
    return _core.methods_for(n, m)


def bounds(probabilities, n, m, *, methods=None, time_limit=None, threads=None,
           progress=None):
    """Bound P(union) of n events from their intersection probabilities.

    probabilities: C(n,1) + ... + C(n,m) numbers in the subset order (every
        single event, then every pair, ..., each size in lexicographic order).
    methods: any of (default: every method that can run for these n and m)
        "aggregation"  structured bases of every pass (subsequences of
                       l = m ... n/2): an upper bound, not proven; odd m <= n/2
        "exact"        the extremes each pass's moments allow, proven; any m
        "sharpest"     the extremes over all distributions with exactly these
                       probabilities, the best possible, proven; any n
                       whose positive intersections fit the memory plan;
                       time depends on the data (time_limit bounds it)
        "classical"    Boole, Bonferroni, Hunter, Dawson-Sankoff and the sharp
                       bounds from S_1 ... S_m (beside another method)
    time_limit: seconds, after which each method stops with what it found
        (MethodResult.stop); threads: 1 to 256 (default: one per core; the
        result is the same for any); progress: called with a Progress.

    Returns a Result: lower, upper (the best values), lower_method,
    upper_method; methods (name -> MethodResult: upper and lower Bound with
    value, proven, why, distance, l; passes); passes; consistency; left_out.
    Bad input raises ValueError with the program's message. The interpreter
    is released meanwhile; Ctrl-C stops the methods (KeyboardInterrupt).
    """
    values = _numpy.asarray(probabilities, dtype=_numpy.float64)
    if values.ndim != 1:
        raise ValueError("the probabilities must be one-dimensional, in the subset order, "
                         f"not of shape {values.shape}")
    return _core.bounds(values, n, m, _method_list(methods), time_limit, threads, progress,
                        None)


def from_observations(matrix, m):
    """Intersection probabilities of observed 0/1 data, as probgen --data.

    matrix: one row per observation, one column per event, each cell 0 or
        1 (a numpy array of bools, integers or floats, nested lists, a
        pandas DataFrame). m: the largest intersection.
    Returns an Observations: probabilities (the frequency of every
    intersection of 1 ... m events in the subset order), n, m, observations,
    observations_with_an_event and union (the empirical P(union)).
    """
    cells = _numpy.asarray(matrix)
    if cells.ndim != 2:
        raise ValueError("the observations must be a two-dimensional 0/1 matrix, one row per "
                         f"observation, not of shape {cells.shape}")
    if cells.dtype.kind in "iuf":
        bad = _numpy.argwhere((cells != 0) & (cells != 1))
        first = tuple(bad[0]) if len(bad) else None
    elif cells.dtype.kind != "b":
        # Strings, objects: each cell must be the number 0 or 1 itself.
        first = next((index for index, cell in _numpy.ndenumerate(cells)
                      if isinstance(cell, (str, bytes)) or cell not in (0, 1)), None)
    else:
        first = None
    if first is not None:
        cell = cells[first]
        shown = cell.item() if isinstance(cell, _numpy.generic) else cell
        raise ValueError(f"observation {first[0] + 1}, event {first[1] + 1}: {shown!r} is not "
                         "0 or 1")
    return _core.from_observations(_numpy.ascontiguousarray(cells, dtype=_numpy.uint8), m)


def bounds_from_observations(matrix, m, *, methods=None, time_limit=None, threads=None,
                             progress=None):
    """bounds() of from_observations(matrix, m); Result.observations holds them."""
    observed = from_observations(matrix, m)
    return _core.bounds(observed.probabilities, observed.n, observed.m, _method_list(methods),
                        time_limit, threads, progress, observed)


def plot(result, *, title=None):
    """Draw a Result with matplotlib (imported only now); returns the Figure.

    Left, the ladder: every method's (and every classical bound's) upper and
    lower bound, one row each, against the band of the sharpest interval
    (or of the best interval, without the sharpest bounds). Right, per pass
    l: the aggregation bound and the exact upper and lower bounds. The
    empirical P(union) of observed data is drawn as a dashed line.
    """
    from ._plot import draw

    return draw(result, title)
