"""The type stubs name what the module has: every class with its public
attributes, every function, and nothing else."""

import ast
import inspect
import pathlib

import unionbound


def test_the_stubs_name_every_class_attribute_and_function_of_the_module():
    stubs = ast.parse((pathlib.Path(unionbound.__file__).parent / "__init__.pyi").read_text())
    named = set()
    for node in stubs.body:
        if isinstance(node, ast.ClassDef):
            members = {m.target.id if isinstance(m, ast.AnnAssign) else m.name
                       for m in node.body if isinstance(m, (ast.AnnAssign, ast.FunctionDef))}
            public = {a for a in dir(getattr(unionbound, node.name)) if not a.startswith("_")}
            assert members == public, node.name
            named.add(node.name)
        elif isinstance(node, ast.FunctionDef):
            stubbed = [a.arg for a in node.args.args + node.args.kwonlyargs]
            assert stubbed == list(inspect.signature(getattr(unionbound, node.name)).parameters)
            named.add(node.name)
        elif isinstance(node, ast.AnnAssign):
            named.add(node.target.id)
    assert set(unionbound.__all__) <= named
