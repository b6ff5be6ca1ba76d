"""unionbound.bounds against the program: the same bounds as its --json on
the same data, its refusals as ValueError with its messages, the methods
that run by default, the progress callback, and the interpreter released
while the bounds are computed."""

import json
import math
import os
import re
import signal
import threading
import time

import numpy
import pytest

import unionbound
from conftest import mixture, program_error, run_program


def as_record(bound):
    """A Bound in the form of the program's JSON."""
    return {"value": bound.value, "proven": bound.proven, "why": bound.why,
            "distance": bound.distance, "l": bound.l}


def as_json(result):
    """What the program's JSON says of the same result, its times left out."""
    def parts(named):
        return [{"name": p.name, "formula": p.formula, "value": p.value} for p in named]

    return {
        "problem": {"n": result.n, "m": result.m},
        "best": {"lower": as_record(result.best.lower), "upper": as_record(result.best.upper),
                 "lower_method": result.lower_method, "upper_method": result.upper_method},
        "methods": {name: {"upper": as_record(m.upper), "lower": as_record(m.lower),
                           "stop": m.stop, "upper_parts": parts(m.upper_parts),
                           "lower_parts": parts(m.lower_parts),
                           "passes": [{"l": p.l, "q": p.q, "upper": as_record(p.upper),
                                       "lower": as_record(p.lower)} for p in m.passes]}
                    for name, m in result.methods.items()},
        "left_out": [{"method": name, "why": why} for name, why in result.left_out.items()],
        "consistency": {"pairs_checked": result.consistency.pairs_checked},
    }


def without_times(record):
    record = {key: record[key] for key in ("problem", "best", "methods", "left_out",
                                           "consistency")}
    del record["problem"]["input"]
    for method in record["methods"].values():
        del method["seconds"]
        for each in method["passes"]:
            del each["seconds"]
    return record


@pytest.mark.parametrize("data, n, m", [("example", 10, 3), ("pairwise", 8, 2)])
def test_every_method_gives_the_bounds_of_the_programs_json(data, n, m, request, tmp_path):
    probabilities = request.getfixturevalue(data)
    (tmp_path / "prob.txt").write_text("\n".join(repr(p) for p in probabilities))
    run_program(["-n", str(n), "-m", str(m), "--exact", "--sharpest", "--compare",
                 "--json", "run.json"], tmp_path)
    record = json.loads((tmp_path / "run.json").read_text())
    result = unionbound.bounds(probabilities, n, m, methods=unionbound.METHODS)
    assert as_json(result) == without_times(record)
    assert list(result.methods) == list(record["methods"])
    assert result.interval == (record["best"]["lower"]["value"], record["best"]["upper"]["value"])
    # The rows of the passes join each l's aggregation and exact bounds.
    exact = {p.l: p for p in result.methods["exact"].passes}
    aggregation = {p.l: p for p in getattr(result.methods.get("aggregation"), "passes", [])}
    assert [(r.l, r.aggregation, r.exact_lower, r.exact_upper) for r in result.passes] == \
        [(l, aggregation[l].upper.value if aggregation else None, p.lower.value, p.upper.value)
         for l, p in exact.items()]


def test_run_by_default_every_method_the_sizes_allow(example, pairwise):
    assert list(unionbound.bounds(example, 10, 3).methods) == \
        ["exact", "sharpest", "aggregation", "classical"]
    result = unionbound.bounds(pairwise, 8, 2)
    assert (list(result.methods), result.left_out) == (unionbound.methods_for(8, 2), {})
    assert list(unionbound.bounds(example, 10, 3, methods="exact").methods) == ["exact"]


def inconsistent(probabilities):
    """P(1∩2) above P(1)."""
    broken = probabilities.copy()
    broken[10] = broken[0] + 0.01
    return broken


def with_value(value):
    def breaking(probabilities):
        broken = probabilities.copy()
        broken[2] = value
        return broken
    return breaking


def in_the_modules_words(message):
    """The program's refusal of prob.txt as the module says it of the vector
    it is given: the vector's place for the file's, the number for the word."""
    message = message.replace('the probabilities of "prob.txt"', "the given probabilities")
    message = message.replace('"prob.txt" ends after', "the given probabilities end after")
    return re.sub(r'^"prob\.txt", line \d+, (.*): "([^"]*)" ', r"\1: \2 ", message)


# A bad call: how to break the example, the call's n, m and methods, and
# the program's arguments that meet the same refusal (None where the program
# has no such input: the message is then the one given).
BAD_CALLS = [
    ("too few", lambda p: p[:-1], 10, 3, None, ["-n", "10", "-m", "3"], None),
    ("not a number", with_value(math.nan), 10, 3, None, ["-n", "10", "-m", "3"], None),
    ("no probability", with_value(1.25), 10, 3, None, ["-n", "10", "-m", "3"], None),
    ("even order", None, 10, 4, ["aggregation"], ["-n", "10", "-m", "4"], None),
    ("order above n/2", None, 10, 7, ["aggregation"], ["-n", "10", "-m", "7"], None),
    ("too few events", None, 5, 3, ["aggregation"], ["-n", "5", "-m", "3"], None),
    ("no method can run", None, 10, 11, None, ["-n", "10", "-m", "11", "--exact",
                                                "--sharpest"], None),
    ("inconsistent", inconsistent, 10, 3, ["aggregation", "exact"],
     ["-n", "10", "-m", "3", "--exact"], None),
    # The program reads no further than it needs; a vector must fit.
    ("too many", lambda p: numpy.append(p, 0.5), 10, 3, None, None,
     "the given probabilities hold 176 numbers, not the 175 expected for n=10, m=3"),
    ("unknown method", None, 10, 3, ["exat"], None,
     'unknown method "exat": the methods are exact, sharpest, aggregation, classical'),
    ("two-dimensional", lambda p: p.reshape(25, 7), 10, 3, None, None,
     "the probabilities must be one-dimensional, in the subset order, not of shape (25, 7)"),
]


@pytest.mark.parametrize("case", BAD_CALLS, ids=[c[0] for c in BAD_CALLS])
def test_bad_input_raises_value_error_with_the_programs_message(case, example, tmp_path):
    _, breaking, n, m, methods, arguments, message = case
    probabilities = breaking(example) if breaking else example
    if arguments is not None:
        path = tmp_path / "prob.txt"
        path.write_text("\n".join(repr(p) for p in probabilities))
        message = in_the_modules_words(program_error(arguments, tmp_path))
    with pytest.raises(ValueError) as raised:
        unionbound.bounds(probabilities, n, m, methods=methods)
    assert str(raised.value) == message


@pytest.mark.parametrize("keywords, message", [
    ({"time_limit": -1.0}, "time_limit (seconds) must be at least 0, not -1.0"),
    ({"time_limit": math.nan}, "time_limit (seconds) must be at least 0, not nan"),
    ({"threads": 0}, "threads must be a whole number from 1 to 256, not 0"),
    ({"threads": 257}, "threads must be a whole number from 1 to 256, not 257"),
])
def test_bad_options_raise_value_error(keywords, message, example):
    with pytest.raises(ValueError) as raised:
        unionbound.bounds(example, 10, 3, **keywords)
    assert str(raised.value) == message


def test_a_time_limit_stops_the_methods_and_says_so(example):
    # On one thread: more would take passes before the calling thread asks.
    result = unionbound.bounds(example, 10, 3, methods=["exact", "aggregation"], time_limit=0,
                               threads=1)
    assert [(m.stop, len(m.passes)) for m in result.methods.values()] == \
        [("time_limit", 0), ("time_limit", 0)]
    for endless in (math.inf, 1e300):  # too many ticks of the clock to count
        assert unionbound.bounds(example, 10, 3, time_limit=endless).methods["exact"].stop == \
            "none"


def test_nothing_is_printed(example, capfd):
    unionbound.bounds(example, 10, 3, progress=lambda now: None)
    with pytest.raises(ValueError):
        unionbound.bounds(inconsistent(example), 10, 3)
    assert capfd.readouterr() == ("", "")


def test_progress_is_told_as_the_methods_go_and_what_it_raises_stops_them(example):
    told = []
    unionbound.bounds(example, 10, 3, methods=["exact", "aggregation"], threads=1,
                      progress=told.append)
    assert [(p.stage, p.done, p.total) for p in told] == \
        [("exact", k, 3) for k in (1, 2, 3)] + [("aggregation", k, 3) for k in (1, 2, 3)]
    assert told[-1].text == "pass l=5 done (3 of 3), bound 0.927105046899543"

    class Enough(Exception):
        pass

    calls = []

    def stop_at_the_first(now):
        calls.append(now.stage)
        if now.stage == "exact":
            raise Enough(now.text)

    with pytest.raises(Enough, match="exact bounds: 1 of 3 passes solved"):
        unionbound.bounds(example, 10, 3, methods=["exact", "aggregation"], threads=1,
                          progress=stop_at_the_first)
    assert calls == ["exact"]


@pytest.fixture(scope="module")
def long_problem():
    """About a second of exact passes on one thread: 159 events, 78 passes."""
    return mixture(160, 3, 5)


def test_the_interpreter_runs_other_threads_while_the_bounds_are_computed(long_problem):
    timing = {}

    def compute():
        started = time.monotonic()
        unionbound.bounds(long_problem, 160, 3, methods=["exact"], threads=1, time_limit=1.5)
        timing["seconds"] = time.monotonic() - started

    worker = threading.Thread(target=compute)
    ticks = [time.monotonic()]
    worker.start()
    while worker.is_alive():
        ticks.append(time.monotonic())
    worker.join()
    gaps = numpy.diff(ticks)
    # Held by the computation, the interpreter would stop this loop for all
    # of it.
    assert timing["seconds"] > 0.3
    assert gaps.max() < timing["seconds"] / 3


def test_a_signal_handler_that_raises_stops_the_computation(long_problem):
    class Stopped(Exception):
        pass

    def handler(signum, frame):
        raise Stopped

    earlier = signal.signal(signal.SIGUSR1, handler)
    timer = threading.Timer(0.2, os.kill, (os.getpid(), signal.SIGUSR1))
    try:
        started = time.monotonic()
        timer.start()
        with pytest.raises(Stopped):
            unionbound.bounds(long_problem, 160, 3, methods=["exact"], threads=1)
        seconds = time.monotonic() - started
    finally:
        timer.cancel()
        timer.join()
        signal.signal(signal.SIGUSR1, earlier)
    full = time.monotonic()
    unionbound.bounds(long_problem, 160, 3, methods=["exact"], threads=1)
    # Stopped after the pass at work when the signal came, not at the end.
    assert seconds < 0.2 + (time.monotonic() - full) / 2
