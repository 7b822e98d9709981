"""The type stub shipped with the module must describe what the module has."""

import ast
import inspect
from pathlib import Path

import pytest

import quorvel

STUB = Path(__file__).resolve().parents[2] / "src" / "binding" / "quorvel.pyi"


@pytest.fixture(scope="module")
def stub():
    return ast.parse(STUB.read_text())


def top_level(stub, kind):
    return {node.name: node for node in stub.body if isinstance(node, kind)}


def test_stub_lists_the_module_names(stub):
    (assignment,) = [n for n in stub.body if isinstance(n, ast.Assign) and n.targets[0].id == "__all__"]
    assert ast.literal_eval(assignment.value) == quorvel.__all__


@pytest.mark.parametrize("name", ["find_pareto_front", "create_random_points"])
def test_stub_signatures_match(stub, name):
    function = top_level(stub, ast.FunctionDef)[name]
    stub_parameters = [a.arg for a in function.args.args]
    assert stub_parameters == list(inspect.signature(getattr(quorvel, name)).parameters)


def test_stub_class_attributes_match(stub):
    cls = top_level(stub, ast.ClassDef)["ParetoFrontSolution"]
    stub_attributes = {n.name for n in cls.body if isinstance(n, ast.FunctionDef)}
    real_attributes = {name for name, value in vars(quorvel.ParetoFrontSolution).items()
                       if inspect.isgetsetdescriptor(value)}
    assert stub_attributes == real_attributes == {"design_vector", "target_vector"}
