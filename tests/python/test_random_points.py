import json
import os
import subprocess
import sys
import threading
from collections import Counter

import pytest

import quorvel

DATA = [
    [[1.0, 10.0], [2.0, 20.0]],
    [[100.0, 1000.0], [200.0, 2000.0], [300.0, 3000.0]],
]


def test_zero_points_give_a_new_empty_list():
    first = quorvel.create_random_points(DATA, 0)
    assert first == [] and first is not quorvel.create_random_points(DATA, 0)


def test_designs_in_range_and_targets_are_the_plain_sums():
    data = [[[float(s * 10 + o), float(-o)] for o in range(s + 1)] for s in range(6)]
    points = quorvel.create_random_points(data, 500)
    assert len(points) == 500
    for p in points:
        design = p.design_vector
        assert len(design) == 6
        assert all(0 <= o <= s for s, o in enumerate(design))
        assert p.target_vector == [sum(data[s][o][0] for s, o in enumerate(design)) + 0.0,
                                   sum(data[s][o][1] for s, o in enumerate(design)) + 0.0]


def test_single_option_stand_always_gets_zero():
    data = [[[1.0]], [[1.0], [2.0], [3.0]], [[5.0]]]
    assert {(p.design_vector[0], p.design_vector[2]) for p in quorvel.create_random_points(data, 300)} == {(0, 0)}


def test_designs_are_uniform():
    n = 60_000
    counts = Counter(tuple(p.design_vector) for p in quorvel.create_random_points(DATA, n))
    assert len(counts) == 6
    expected = n / 6
    chi_square = sum((c - expected) ** 2 / expected for c in counts.values())
    # 5 degrees of freedom: 30 is far beyond the 0.9999 quantile (~25.7).
    assert chi_square < 30


def test_duplicates_are_kept():
    points = quorvel.create_random_points([[[1.0]], [[2.0]]], 3)
    assert [p.design_vector for p in points] == [[0, 0]] * 3


def draw(count=64):
    data = [[[float(o)] for o in range(1000)]] * 4
    return [tuple(p.design_vector) for p in quorvel.create_random_points(data, count)]


def test_calls_continue_the_stream():
    assert draw() != draw()


def test_threads_draw_independent_streams():
    results = [None] * 4

    def work(i):
        results[i] = draw()

    threads = [threading.Thread(target=work, args=(i,)) for i in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert len(set(map(tuple, results))) == 4


def test_processes_draw_different_streams():
    script = ("import quorvel\n"
              "print([p.design_vector for p in quorvel.create_random_points([[[0.0]] * 1000] * 3, 16)])")
    outputs = {subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                              timeout=60, check=True).stdout for _ in range(2)}
    assert len(outputs) == 2


def test_forked_child_draws_its_own_designs():
    data = [[[float(o)] for o in range(1000)]] * 8

    def designs():
        return [p.design_vector for p in quorvel.create_random_points(data, 4)]

    designs()  # the parent keys its generator before the fork
    read_end, write_end = os.pipe()
    child = os.fork()
    if child == 0:
        try:  # a child that fails writes nothing, which the parent cannot parse
            os.write(write_end, json.dumps(designs()).encode())
        finally:
            os._exit(0)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        child_designs = json.loads(pipe.read())
    os.waitpid(child, 0)
    # 32 draws from 1000 options: equal streams are the only way to match.
    assert len(child_designs) == 4 and child_designs != designs()


@pytest.mark.parametrize("n_points", [1, 17, 16_385])
def test_counts_across_buffer_and_rekey_boundaries(n_points):
    points = quorvel.create_random_points(DATA, n_points)
    assert len(points) == n_points
