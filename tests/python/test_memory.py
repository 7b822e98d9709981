"""Thousands of calls through every success and failure path must not grow
the resident memory of the process."""

import gc

import pytest

import quorvel
from conftest import SANITIZED

pytestmark = pytest.mark.skipif(SANITIZED, reason="the sanitizer's allocator keeps freed memory")

VALID = [[[1.0, 5.0], [2.0, 2.0], [5.0, 1.0]], [[0.0, 3.0], [3.0, 0.0], [1.0, 1.0]], [[1.0, 1.0]]]


class Exploding:
    def __iter__(self):
        yield [[1.0]]
        raise ValueError("boom")


CALLS = [
    lambda: [s.design_vector + s.target_vector for s in quorvel.find_pareto_front(VALID, 0.5)],
    lambda: quorvel.create_random_points(VALID, 20),
    lambda: quorvel.find_pareto_front(VALID, 0.0),  # internal failure
    lambda: quorvel.find_pareto_front([[[1.0, 2.0]], [[1.0]]], 0.1),  # table validation
    lambda: quorvel.find_pareto_front(VALID, "x"),  # epsilon conversion
    lambda: quorvel.create_random_points(VALID, -1),  # n_points overflow
    lambda: quorvel.find_pareto_front([[[1.0]], [[2.0, "x"]]], 0.1),  # value conversion
    lambda: quorvel.find_pareto_front(Exploding(), 0.1),  # iteration failure
    lambda: quorvel.find_pareto_front([[[1.0]]], 0.1, 3),  # binding
    lambda: quorvel.find_pareto_front(data=VALID, eps=0.1),  # unexpected keyword
    lambda: quorvel.ParetoFrontSolution(),  # refusing constructor
]


def resident_kib():
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise RuntimeError("no VmRSS")


def run_all(rounds):
    for _ in range(rounds):
        for call in CALLS:
            try:
                call()
            except BaseException:  # noqa: BLE001 - every path is exercised on purpose
                pass


def test_resident_memory_stays_flat():
    run_all(500)  # warm up caches and allocator pools
    gc.collect()
    before = resident_kib()
    run_all(5000)
    gc.collect()
    grown = resident_kib() - before
    # A leak of even one small object per call would add several MiB here.
    assert grown < 2048, f"resident memory grew by {grown} KiB"
