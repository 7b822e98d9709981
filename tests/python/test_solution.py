import gc
import math
import struct
import weakref

import pytest

import quorvel

Solution = quorvel.ParetoFrontSolution


@pytest.fixture
def solution():
    (only,) = quorvel.find_pareto_front([[[1.0, 2.0, 3.0]], [[10.0, 20.0, 30.0]]], 0.1)
    return only


@pytest.mark.parametrize(
    "make",
    [lambda: Solution(), lambda: Solution(1, 2), lambda: Solution(design_vector=[0]),
     lambda: Solution.__new__(Solution)],
)
def test_constructor_refuses(make):
    with pytest.raises(TypeError, match=r"^cannot create 'quorvel\.ParetoFrontSolution' instances$"):
        make()


@pytest.mark.parametrize("module, qualname, shown", [
    ("elsewhere", "Renamed", "elsewhere.Renamed"),
    ("m", "A\udc80", "m.A\ufffd\ufffd\ufffd"),  # a lone surrogate shows as replacements
    ("m", "A\x00B", "m.A\x00B"),  # an embedded NUL does not cut the message
    (5, "Renamed", "<unknown>.Renamed"),
])
def test_constructor_message_follows_class_attributes(module, qualname, shown):
    saved = Solution.__module__, Solution.__qualname__
    try:
        Solution.__module__ = module
        Solution.__qualname__ = qualname
        with pytest.raises(TypeError) as caught:
            Solution()
        assert caught.value.args == (f"cannot create '{shown}' instances",)
    finally:
        Solution.__module__, Solution.__qualname__ = saved


def test_class_identity():
    assert Solution.__module__ == "quorvel"
    assert Solution.__name__ == Solution.__qualname__ == "ParetoFrontSolution"
    assert Solution.__doc__ is None


def test_attributes_build_fresh_lists(solution):
    assert solution.design_vector is not solution.design_vector
    assert solution.design_vector == solution.design_vector == [0, 0]
    solution.design_vector.append(9)
    solution.target_vector.clear()
    assert solution.design_vector == [0, 0]
    assert solution.target_vector == [11.0, 22.0, 33.0]


def test_item_types(solution):
    assert all(type(i) is int for i in solution.design_vector)
    assert all(type(x) is float for x in solution.target_vector)


@pytest.mark.parametrize(
    "mutate, error",
    [
        (lambda s: setattr(s, "design_vector", [0, 0]), AttributeError),
        (lambda s: delattr(s, "target_vector"), AttributeError),
        (lambda s: setattr(s, "extra", 1), AttributeError),
        (lambda s: weakref.ref(s), TypeError),
    ],
)
def test_instances_are_closed(solution, mutate, error):
    with pytest.raises(error):
        mutate(solution)


def test_cannot_subclass():
    with pytest.raises(TypeError):
        type("Sub", (Solution,), {})


def test_equality_and_hash_are_identity():
    a, b = quorvel.create_random_points([[[1.0]], [[2.0]]], 2)
    assert a.design_vector == b.design_vector and a.target_vector == b.target_vector
    assert a != b
    assert a == a
    assert hash(a) == hash(a)


def test_repr_is_the_default(solution):
    assert repr(solution).startswith("<quorvel.ParetoFrontSolution object at 0x")


def bits(x):
    return struct.pack("<d", x)


def test_special_floats_read_back_exactly():
    data = [[[-0.0, math.inf, -5.0]], [[-0.0, 1.0, 2.5]]]
    (s,) = quorvel.create_random_points(data, 1)
    target = s.target_vector
    # +0.0 plus two negative zeros is +0.0: the sum starts from +0.0.
    assert bits(target[0]) == bits(0.0)
    assert target[1] == math.inf
    assert target[2] == -2.5
    (nan_solution,) = quorvel.create_random_points([[[math.nan, -0.0]], [[1.0, -0.0]]], 1)
    assert math.isnan(nan_solution.target_vector[0])


def test_vector_lengths_follow_the_data():
    data = [[[1.0, 2.0]] * 3] * 7
    for s in quorvel.create_random_points(data, 5):
        assert len(s.design_vector) == 7
        assert len(s.target_vector) == 2


def test_instances_outlive_their_list_and_later_calls():
    solutions = quorvel.find_pareto_front([[[1.0, 2.0], [2.0, 1.0]], [[0.5, 0.5]]], 0.01)
    kept = solutions[0]
    expected = (kept.design_vector, kept.target_vector)
    del solutions
    gc.collect()
    for _ in range(3):
        quorvel.create_random_points([[[1.0, 2.0], [2.0, 1.0]], [[0.5, 0.5]]], 50)
    assert (kept.design_vector, kept.target_vector) == expected
