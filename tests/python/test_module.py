import importlib
import shutil
import subprocess
import sys

import pytest

import quorvel


def test_all_lists_class_and_functions_in_order():
    assert quorvel.__all__ == ["ParetoFrontSolution", "find_pareto_front", "create_random_points"]
    for name in quorvel.__all__:
        assert hasattr(quorvel, name)


def test_panic_exception_is_not_exposed():
    assert not hasattr(quorvel, "PanicException")


@pytest.mark.parametrize(
    "function, signature",
    [(quorvel.find_pareto_front, "(data, epsilon)"), (quorvel.create_random_points, "(data, n_points)")],
)
def test_function_metadata(function, signature):
    assert function.__text_signature__ == signature
    assert function.__doc__ is None
    assert function.__module__ == "quorvel"
    assert function.__self__ is quorvel


def test_module_docstring_describes_an_extension_module():
    assert "extension module" in quorvel.__doc__


def test_extension_is_built_for_the_stable_abi():
    assert quorvel.__file__.endswith(".abi3.so")


def test_reimport_shares_the_class_object():
    first = sys.modules.pop("quorvel")
    try:
        second = importlib.import_module("quorvel")
        assert second is not first
        assert second.ParetoFrontSolution is first.ParetoFrontSolution
        assert second.find_pareto_front is not first.find_pareto_front
        assert len(second.find_pareto_front([[[1.0]], [[2.0]]], 0.1)) == 1
    finally:
        sys.modules["quorvel"] = first


@pytest.mark.skipif(shutil.which("nm") is None, reason="needs nm from binutils")
def test_only_the_init_function_is_exported():
    listing = subprocess.run(["nm", "-D", "--defined-only", quorvel.__file__],
                             capture_output=True, text=True, check=True).stdout
    assert [line.split()[-1] for line in listing.splitlines()] == ["PyInit_quorvel"]
