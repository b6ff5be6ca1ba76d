"""The program's --json record holds exactly the keys docs/program.md documents,
each of the documented type, for runs with every method."""

import json
import re

import pytest

from conftest import SOURCE_DIR, run_program

JSON_TYPES = {"string": str, "integer": int, "number": (int, float), "boolean": bool,
              "array": list, "object": dict}


def documented_tables():
    """The documentation's two tables of the record: its keys, and a bound's; each
    as {key: (type, may be null)}."""
    readme = (SOURCE_DIR / "docs" / "program.md").read_text()
    section = readme.split("## JSON record of a run (`--json`)", 1)[1].split("\n## ", 1)[0]
    tables = []
    for block in re.split(r"\n\n+", section):
        rows = [line for line in block.splitlines() if line.startswith("| `")]
        if rows:
            table = {}
            for row in rows:
                keys, kind = row.split("|")[1:3]
                kind = kind.strip()
                for key in re.findall(r"`([^`]+)`", keys):
                    table[key] = (kind.removesuffix(" or null"), kind.endswith(" or null"))
            tables.append(table)
    assert len(tables) == 2, "the JSON section of docs/program.md should hold two tables of keys"
    return tables


def check_type(value, kind, nullable, where):
    if value is None:
        assert nullable, f"{where} is null"
    else:
        assert isinstance(value, JSON_TYPES[kind]) and \
            (kind == "boolean" or not isinstance(value, bool)), f"{where}: {value!r} is no {kind}"


def keys_of(record, keys, bound_keys):
    """Every path of `record` as the documentation names it, each checked against
    its documented type."""
    seen = set()

    def walk(node, path):
        kind, nullable = keys.get(path, (None, False))
        if kind == "bound":
            seen.add(path)
            assert set(node) == set(bound_keys), f"{path}: {sorted(node)}"
            for key, (inner, may_be_null) in bound_keys.items():
                check_type(node[key], inner, may_be_null, f"{path}.{key}")
            return
        if isinstance(node, dict) and kind != "object":
            for key, value in node.items():
                walk(value, f"{path}.{key}" if path else key)
            return
        assert kind is not None, f"{path} is not documented"
        seen.add(path)
        check_type(node, kind, nullable, path)
        if isinstance(node, dict):  # members by name: methods
            for value in node.values():
                walk(value, f"{path}.NAME")
        elif isinstance(node, list):
            for value in node:
                walk(value, f"{path}[]")

    walk(record, "")
    return seen


def test_the_record_holds_the_documented_keys_and_no_other(example, pairwise, tmp_path):
    keys, bound_keys = documented_tables()
    seen = set()
    # Every method; and every method asked for at an order the structured
    # passes cannot take, which leaves them out.
    for probabilities, n, m in ((example, 10, 3), (pairwise, 8, 2)):
        (tmp_path / "prob.txt").write_text("\n".join(repr(p) for p in probabilities))
        run_program(["-n", str(n), "-m", str(m), "--exact", "--sharpest", "--compare",
                     "--json", "run.json"], tmp_path)
        record = json.loads((tmp_path / "run.json").read_text())
        assert list(record["methods"]) == (["exact", "sharpest", "aggregation", "classical"]
                                           if m == 3 else ["exact", "sharpest", "classical"])
        seen |= keys_of(record, keys, bound_keys)
        assert record["timings"]["reading_seconds"] > 0
    assert sorted(set(keys) - seen) == [], "documented but never written"
