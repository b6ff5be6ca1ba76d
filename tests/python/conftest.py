"""What the module's tests share: the programs of the same build, the data
they are given, and a run of the program that collects what it wrote."""

import os
import pathlib
import subprocess

import numpy
import pytest


def _built(variable):
    path = os.environ.get(variable)
    if not path:
        raise RuntimeError(f"{variable} is not set: run the tests through ctest")
    return path


PROGRAM = _built("UNIONBOUND_PROGRAM")
PROBGEN = _built("PROBGEN_PROGRAM")
SOURCE_DIR = pathlib.Path(_built("UNIONBOUND_SOURCE_DIR"))
EXAMPLE = SOURCE_DIR / "examples" / "n10-m3" / "prob.txt"


def numbers(text):
    return numpy.array(text.split(), dtype=numpy.float64)


def run_program(arguments, cwd, check=True):
    """The program's batch run in `cwd`; with `check`, one that must succeed."""
    done = subprocess.run([PROGRAM, *arguments], cwd=cwd, capture_output=True, text=True,
                          timeout=300)
    if check:
        assert done.returncode == 0, done.stderr
    return done


def program_error(arguments, cwd):
    """The one line the program refuses `arguments` with, without 'error: '."""
    done = run_program(arguments, cwd, check=False)
    assert done.returncode == 1, done.stderr
    lines = done.stderr.splitlines()
    assert len(lines) == 1 and lines[0].startswith("error: "), done.stderr
    return lines[0][len("error: "):]


def mixture(n, m, seed):
    """probgen's seeded mixture of n events, as the numbers it writes."""
    done = subprocess.run([PROBGEN, "-n", str(n), "-m", str(m), "--mixture", str(seed),
                           "--output", "-"], capture_output=True, text=True, check=True)
    return numbers(done.stdout)


@pytest.fixture(scope="session")
def example():
    """The bundled example, n = 10, m = 3."""
    return numbers(EXAMPLE.read_text())


@pytest.fixture(scope="session")
def pairwise():
    """A mixture of 8 events with pairs only: no structured passes."""
    return mixture(8, 2, 3)
