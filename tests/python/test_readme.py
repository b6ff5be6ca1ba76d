"""The README's Python examples run as the README says, on this build, and
the first prints an interval."""

import os
import re
import subprocess
import sys

from conftest import SOURCE_DIR


def examples():
    readme = (SOURCE_DIR / "README.md").read_text()
    section = readme.split("\n## Python\n", 1)[1].split("\n## ", 1)[0]
    return re.findall(r"```python\n(.*?)```", section, re.S)


def test_the_examples_run_from_the_repository_root_and_the_first_prints_an_interval(tmp_path):
    found = examples()
    assert len(found) == 3
    # The repository root as the examples see it, without writing there.
    (tmp_path / "examples").symlink_to(SOURCE_DIR / "examples")
    outputs = []
    for code in found:
        done = subprocess.run([sys.executable, "-c", code], cwd=tmp_path, env=os.environ,
                              capture_output=True, text=True, timeout=300)
        assert done.returncode == 0, done.stderr
        outputs.append(done.stdout)
    assert re.match(r"P\(union\) in \[0\.\d+, 0\.\d+\] for n=10, m=3\n", outputs[0])
    assert (tmp_path / "bounds.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
