"""The Python examples of docs/python.md run as it says, on this build, and
print what it shows of them."""

import math
import os
import re
import subprocess
import sys

from conftest import SOURCE_DIR

NUMBER = re.compile(r"-?\d+(?:\.\d+)?(?:e[-+]?\d+)?")


def examples():
    """Each Python block of docs/python.md with the output block
    that follows it (None where a picture follows instead)."""
    section = (SOURCE_DIR / "docs" / "python.md").read_text()
    return [(code, shown or None)
            for code, shown in re.findall(r"```python\n(.*?)```\n(?:\n```\n(.*?)```)?",
                                          section, re.S)]


def same_but_the_last_digits(printed, shown):
    """The same text, each number within 1e-9 of the one shown: the last
    digits of a proven bound may differ from one machine to another."""
    if NUMBER.split(printed) != NUMBER.split(shown):
        return False
    return all(math.isclose(float(a), float(b), rel_tol=0, abs_tol=1e-9)
               for a, b in zip(NUMBER.findall(printed), NUMBER.findall(shown)))


def test_the_examples_run_from_the_repository_root_and_print_what_the_documentation_shows(tmp_path):
    found = examples()
    assert [shown is not None for _, shown in found] == [True, True, False]
    # The repository root as the examples see it, without writing there.
    (tmp_path / "examples").symlink_to(SOURCE_DIR / "examples")
    printed = []
    for code, shown in found:
        done = subprocess.run([sys.executable, "-c", code], cwd=tmp_path, env=os.environ,
                              capture_output=True, text=True, timeout=300)
        assert done.returncode == 0, done.stderr
        if shown is not None:
            assert same_but_the_last_digits(done.stdout, shown), done.stdout
        printed.append(done.stdout)
    assert re.match(r"P\(union\) in \[0\.\d+, 0\.\d+\] for n=10, m=3\n", printed[0])
    assert (tmp_path / "bounds.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
