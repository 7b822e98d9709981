import itertools
import math
import random

import pytest

import quorvel
from conftest import as_pairs


def dominates(a, b):
    return all(x <= y for x, y in zip(a, b)) and any(x < y for x, y in zip(a, b))


def all_designs(data):
    for design in itertools.product(*(range(len(stand)) for stand in data)):
        target = [0.0] * len(data[0][0])
        for stand, option in zip(data, design):
            target = [t + v for t, v in zip(target, stand[option])]
        yield list(design), target


def exact_front(data):
    designs = list(all_designs(data))
    return [(d, t) for d, t in designs if not any(dominates(u, t) for _, u in designs)]


def test_worked_example(worked_example):
    assert as_pairs(quorvel.find_pareto_front(worked_example, 0.5)) == [
        ((0, 0), (1.0, 8.0)),
        ((1, 0), (2.0, 5.0)),
        ((1, 1), (5.0, 2.0)),
        ((1, 2), (3.0, 3.0)),
        ((2, 1), (8.0, 1.0)),
    ]


@pytest.mark.parametrize("epsilon, expected", [
    (1.0, [((0, 0), (1.5, 4.0))]),
    (0.1, [((0, 0), (1.5, 4.0)), ((1, 0), (2.5, 3.5))]),
])
def test_first_candidate_keeps_a_shared_cell(epsilon, expected):
    data = [[[1.5, 4.0], [2.5, 3.5]], [[0.0, 0.0]]]
    assert as_pairs(quorvel.find_pareto_front(data, epsilon)) == expected


def test_single_option_stands_give_the_single_design():
    data = [[[1.0, -2.0]], [[3.0, 4.0]], [[0.5, 0.25]]]
    assert as_pairs(quorvel.find_pareto_front(data, 0.1)) == [((0, 0, 0), (4.5, 2.25))]


@pytest.mark.parametrize("epsilon", [-1.0, math.inf, 1e300])
def test_degenerate_grids_keep_one_solution(epsilon, worked_example):
    (only,) = quorvel.find_pareto_front(worked_example, epsilon)
    assert len(only.design_vector) == 2


def test_negative_values_return_plain_sums():
    data = [[[-1.0, -5.0], [-5.0, -1.0]], [[-10.0, -10.0]]]
    assert as_pairs(quorvel.find_pareto_front(data, 0.01)) == [
        ((0, 0), (-11.0, -15.0)),
        ((1, 0), (-15.0, -11.0)),
    ]


def test_targets_are_sums_in_stand_order():
    # Stand order fixes the rounding: ((0 + 1) + 1e16) - 1e16 is 0.
    (only,) = quorvel.find_pareto_front([[[1.0]], [[1e16]], [[-1e16]]], 0.1)
    assert only.target_vector == [0.0]


def random_table(rng, n_stands, n_options, n_variables):
    return [[[rng.uniform(-5.0, 20.0) for _ in range(n_variables)] for _ in range(n_options)]
            for _ in range(n_stands)]


@pytest.mark.parametrize("seed", range(12))
def test_fine_grid_finds_the_exact_front(seed):
    rng = random.Random(seed)
    data = random_table(rng, rng.randint(2, 5), rng.randint(1, 4), rng.randint(1, 3))
    found = quorvel.find_pareto_front(data, 1e-7)
    exact = exact_front(data)
    # Both sides add in stand order from +0.0, so the sums agree bit for bit.
    assert sorted(tuple(s.target_vector) for s in found) == sorted(tuple(t) for _, t in exact)


@pytest.mark.parametrize("seed", range(8))
def test_result_designs_match_their_targets_and_do_not_dominate_each_other(seed):
    rng = random.Random(100 + seed)
    data = random_table(rng, 6, 4, 3)
    found = quorvel.find_pareto_front(data, 0.05)
    targets = {tuple(d): t for d, t in all_designs(data)}
    for s in found:
        assert s.target_vector == targets[tuple(s.design_vector)]
    for a, b in itertools.permutations(found, 2):
        assert not dominates(a.target_vector, b.target_vector)


def test_equal_inputs_give_equal_results():
    rng = random.Random(5)
    data = random_table(rng, 30, 5, 3)
    first = quorvel.find_pareto_front(data, 0.01)
    second = quorvel.find_pareto_front(data, 0.01)
    assert first is not second
    assert [s.design_vector for s in first] == [s.design_vector for s in second]
    assert not set(map(id, first)) & set(map(id, second))


def test_many_stands():
    data = [[[1.0, 2.0], [2.0, 1.0]]] * 2000
    found = quorvel.find_pareto_front(data, 0.01)
    assert found
    assert all(len(s.design_vector) == 2000 for s in found)
