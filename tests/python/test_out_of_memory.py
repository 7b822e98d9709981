"""Running out of memory gives the interpreter's MemoryError, and what a
sequence claims about its length never costs memory its items do not."""

import subprocess
import sys
import textwrap

import pytest

from conftest import SANITIZED


def run_script(body, prelude=""):
    script = prelude + "import quorvel\n" + textwrap.dedent(body)
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                          timeout=120)
    assert done.returncode == 0, done.stderr
    return done.stdout


# Every allocation the interpreter makes during a call fails in turn, one
# per attempt: conversion, the result list, each result object and each item
# of an attribute list.
FAILING_ONE_ALLOCATION = """
    import _testcapi
    # Option 299 alone is on the front, so its index and the 200 values of the
    # target are fresh objects rather than cached ones.
    variables = 200
    data = [[[10.0] * variables] * 299 + [[0.0] * variables], [[1.0] * variables]]
    (solution,) = quorvel.find_pareto_front(data, 0.1)
    calls = {
        "find_pareto_front": lambda: quorvel.find_pareto_front(data, 0.1),
        "create_random_points": lambda: quorvel.create_random_points(data, 50),
        "design_vector": lambda: solution.design_vector,
        "target_vector": lambda: solution.target_vector,
    }
    for name, call in calls.items():
        outcomes = set()
        for failing in range(400):
            _testcapi.set_nomemory(failing, failing + 1)
            try:
                call()
                outcome = "ok"
            except BaseException as error:
                outcome = type(error).__name__
            _testcapi.remove_mem_hooks()
            outcomes.add(outcome)
        print(name, *sorted(outcomes))
    print(len(quorvel.create_random_points(data, 3)))
"""


def test_failed_allocation_raises_memory_error():
    pytest.importorskip("_testcapi")
    lines = run_script(FAILING_ONE_ALLOCATION).splitlines()
    for line in lines[:-1]:
        name, *outcomes = line.split()
        assert outcomes == ["MemoryError", "ok"], name
    assert lines[-1] == "3"


LIMITED = "import resource\nresource.setrlimit(resource.RLIMIT_AS, (1 << 30, 1 << 30))\n"


@pytest.mark.skipif(SANITIZED, reason="the sanitizer reserves more address space than the limit")
@pytest.mark.parametrize("data", ["[Liar([[1.0]])] * 200_000", "[[Liar([1.0])] * 200_000, [[2.0]]]"],
                         ids=["stand", "option"])
def test_claimed_length_costs_no_memory(data):
    # 200,000 sequences each claiming 10**12 items fit easily in 1 GiB when
    # only what they deliver is stored.
    body = f"""
        class Liar(list):
            def __len__(self):
                return 10**12
        print(len(quorvel.create_random_points({data}, 2)))
    """
    assert run_script(body, prelude=LIMITED) == "2\n"
