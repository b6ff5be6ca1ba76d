"""unionbound.plot: matplotlib only when called, the ladder of every
method's bounds and the bounds of every pass as the result holds them."""

import subprocess
import sys

import pytest

import unionbound
from unionbound._plot import rungs


def test_importing_the_module_leaves_matplotlib_alone():
    done = subprocess.run([sys.executable, "-c",
                           "import sys, unionbound; print('matplotlib' in sys.modules)"],
                          capture_output=True, text=True, check=True)
    assert done.stdout == "False\n"


def drawn(axes, label):
    """The points of the line of that label."""
    (line,) = [line for line in axes.get_lines() if line.get_label() == label]
    return list(zip(line.get_xdata(), line.get_ydata()))


def test_draws_every_bound_on_its_rung_and_every_pass(example):
    result = unionbound.bounds(example, 10, 3)
    classical = result.methods["classical"]
    sharp = [p.value for p in classical.upper_parts + classical.lower_parts if p.name == "sharp"]
    exact, sharpest = result.methods["exact"], result.methods["sharpest"]
    rows = rungs(result)
    assert [row[0] for row in rows] == ["exact", "sharpest", "aggregation", "Boole",
                                        "Bonferroni", "Hunter", "sharp", "Dawson-Sankoff"]
    assert rows[0] == ("exact", exact.lower.value, exact.upper.value, True, True)
    assert rows[2][1:] == (None, result.methods["aggregation"].upper.value, False, False)
    assert rows[6] == ("sharp", sharp[1], sharp[0], False, False)

    figure = unionbound.plot(result)
    ladder, passes = figure.axes
    assert [tick.get_text() for tick in ladder.get_yticklabels()] == [row[0] for row in rows]
    # Top to bottom: the first rung has the largest y.
    top = len(rows) - 1
    assert drawn(ladder, "upper, proven") == [(exact.upper.value, top),
                                              (sharpest.upper.value, top - 1)]
    assert (rows[3][2], top - 3) in drawn(ladder, "upper")
    assert drawn(passes, "aggregation") == [(row.l, row.aggregation) for row in result.passes]
    assert drawn(passes, "exact lower") == [(row.l, row.exact_lower) for row in result.passes]
    band = [patch for patch in ladder.patches if patch.get_label() == "sharpest interval"]
    assert len(band) == 1
    corners = band[0].get_patch_transform().transform(band[0].get_path().vertices)
    assert (corners[:, 0].min(), corners[:, 0].max()) == \
        pytest.approx((sharpest.lower.value, sharpest.upper.value))


def test_draws_the_observed_union_and_no_passes_where_there_are_none():
    cells = [[1, 0, 0], [0, 1, 1], [0, 0, 0], [1, 1, 0]]
    result = unionbound.bounds_from_observations(cells, 2, methods=["sharpest", "classical"])
    figure = unionbound.plot(result, title="three events")
    (ladder,) = figure.axes
    assert figure._suptitle.get_text() == "three events"
    assert [x for x, _ in drawn(ladder, "observed union")] == [0.75, 0.75]
