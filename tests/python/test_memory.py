"""Thousands of calls through every success and failure path must not grow
the resident memory of the process."""

import gc
import subprocess
import sys

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


# 200,000 designs of 400 stands of 16 options: about 40 MiB of records, more
# as objects. In a fresh process, so that no memory freed earlier and kept
# takes the records unseen; after a first chunk is freed, as only then do the
# heap's chunks stay with the process when freed.
CONVERSION_PEAK = """
import resource, sys, quorvel
peak_kib = lambda: resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
data = [[[float(option)] for option in range(16)]] * 400
quorvel.create_random_points(data, 10)
before = peak_kib()
points = quorvel.create_random_points(data, 200_000)
print(peak_kib() - before, len(points) * (sys.getsizeof(points[0]) + 8) // 1024)
"""


def test_results_are_not_held_twice_while_converted():
    done = subprocess.run([sys.executable, "-c", CONVERSION_PEAK], capture_output=True,
                          text=True, timeout=120, check=True)
    peak, objects = map(int, done.stdout.split())
    assert peak < objects * 5 // 4, f"peak {peak} KiB for {objects} KiB of results"
