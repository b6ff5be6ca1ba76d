"""unionbound.from_observations against probgen --data on the same matrix,
the refusals of what is no 0/1 matrix, and the bounds of observed data."""

import math
import subprocess

import numpy
import pytest

import unionbound
from conftest import PROBGEN, numbers


def probgen_data(cells, m, tmp_path):
    """probgen --data on `cells` written as a CSV file with a header: the
    numbers and its closing lines."""
    path = tmp_path / "observations.csv"
    header = ",".join(f"e{k}" for k in range(1, cells.shape[1] + 1))
    path.write_text(header + "\n" + "\n".join(",".join(str(int(c)) for c in row)
                                            for row in cells) + "\n")
    done = subprocess.run([PROBGEN, "-m", str(m), "--data", str(path), "--output", "-"],
                          capture_output=True, text=True, check=True)
    return numbers(done.stdout), done.stderr


def random_cells(rows, events, seed):
    rng = numpy.random.default_rng(seed)
    return (rng.random((rows, events)) < rng.random(events) * 0.4).astype(numpy.int64)


@pytest.mark.parametrize("cells, m", [
    (random_cells(300, 9, 1), 3),
    (random_cells(40, 6, 2), 6),
    (random_cells(25, 4, 3), 7),  # orders above the events: none of those
    (numpy.zeros((5, 3), dtype=numpy.int64), 2),
])
def test_give_the_frequencies_probgen_writes(cells, m, tmp_path):
    written, closing = probgen_data(cells, m, tmp_path)
    observed = unionbound.from_observations(cells, m)
    assert observed.probabilities.tolist() == written.tolist()
    with_an_event = int(cells.any(axis=1).sum())
    assert (observed.n, observed.m) == (cells.shape[1], m)
    assert (observed.observations, observed.observations_with_an_event) == \
        (cells.shape[0], with_an_event)
    union, counts = closing.splitlines()[1].split(": ")[1].split(" ", 1)
    assert (float(union), counts) == \
        (observed.union, f"({with_an_event} of {cells.shape[0]} observations)")
    # Whatever holds the zeros and ones.
    for same in (cells.astype(bool), cells.astype(float), cells.tolist()):
        assert unionbound.from_observations(same, m).probabilities.tolist() == written.tolist()


def test_give_read_only_probabilities():
    observed = unionbound.from_observations([[1, 0], [1, 1]], 2)
    with pytest.raises(ValueError):
        observed.probabilities[0] = 0.5


@pytest.mark.parametrize("matrix, m, message", [
    ([[0, 1], [1, 0.5]], 2, "observation 2, event 2: 0.5 is not 0 or 1"),
    ([[0, math.nan]], 2, "observation 1, event 2: nan is not 0 or 1"),
    (numpy.array([[1, 0], [0, 2]], dtype=numpy.uint8), 2, "observation 2, event 2: 2 is not 0 or 1"),
    ([["1", "0"]], 2, "observation 1, event 1: '1' is not 0 or 1"),
    ([0, 1, 1], 2, "the observations must be a two-dimensional 0/1 matrix, one row per "
                   "observation, not of shape (3,)"),
    (numpy.zeros((0, 4)), 2, "there are no observations (rows of 0 and 1)"),
    (numpy.zeros((3, 0)), 2, "the observations name no events: a row needs at least one column"),
    ([[0, 1]], 0, "m=0 is too small: the maximum order of the intersections must be at least 1"),
])
def test_refuse_what_is_no_matrix_of_zeros_and_ones(matrix, m, message):
    with pytest.raises(ValueError) as raised:
        unionbound.from_observations(matrix, m)
    assert str(raised.value) == message


def test_bounds_of_observations_hold_the_observed_union():
    cells = random_cells(200, 8, 4)
    result = unionbound.bounds_from_observations(cells, 3, methods=["exact", "sharpest"])
    observed = result.observations
    assert observed.probabilities.tolist() == \
        unionbound.from_observations(cells, 3).probabilities.tolist()
    same = unionbound.bounds(observed.probabilities, 8, 3, methods=["exact", "sharpest"])
    assert result.interval == same.interval
    # The observations are one distribution with these probabilities, so
    # every proven bound holds its union.
    assert result.lower <= observed.union <= result.upper
    assert unionbound.bounds(observed.probabilities, 8, 3).observations is None
