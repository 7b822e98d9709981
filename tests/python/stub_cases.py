"""Calls the stub must accept and reject, as the module does.

A type checker reads this file with unused ignores reported: a rejected call
that type-checks leaves its ignore unused and fails the check. The tests run
every call too, so the stub cannot drift from what the module takes.
"""

from typing import Callable, List

import numpy as np

import quorvel

ARRAY = np.arange(12.0).reshape(2, 3, 2)
TABLE = [[[1.0, 2.0]], [[3.0, 4.0]]]

ACCEPTED: List[Callable[[], object]] = [
    lambda: quorvel.find_pareto_front(TABLE, 0.1),
    lambda: quorvel.find_pareto_front((((1, 2),), ((True, 2.5),)), epsilon=0.1),
    lambda: quorvel.find_pareto_front(ARRAY, 0.1),
    lambda: quorvel.find_pareto_front([ARRAY[0], ARRAY[1]], 0.1),
    lambda: quorvel.find_pareto_front([[ARRAY[0, 0]], [ARRAY[1, 2]]], 0.1),
    lambda: quorvel.find_pareto_front([[range(2), b"\x01\x02"], [bytearray(b"\x03\x04")]], 0.1),
    lambda: quorvel.find_pareto_front([[[np.float32(1.5), np.int64(2)]], [[np.float64(0.5), 1]]], 0.1),
    lambda: quorvel.create_random_points(ARRAY.astype(np.int64), 3),
    lambda: quorvel.create_random_points(data=ARRAY[:, ::2, ::-1], n_points=2),
]

REJECTED: List[Callable[[], object]] = [
    lambda: quorvel.find_pareto_front("abc", 0.1),  # type: ignore[arg-type]
    lambda: quorvel.find_pareto_front(["ab", "cd"], 0.1),  # type: ignore[list-item]
    lambda: quorvel.find_pareto_front([["12"], ["34"]], 0.1),  # type: ignore[list-item]
    lambda: quorvel.find_pareto_front({0: [[1.0]], 1: [[2.0]]}, 0.1),  # type: ignore[arg-type]
    lambda: quorvel.find_pareto_front([[{0: 1.0}], [{0: 2.0}]], 0.1),  # type: ignore[list-item]
    lambda: quorvel.find_pareto_front(1.0, 0.1),  # type: ignore[arg-type]
    lambda: quorvel.find_pareto_front(np.float64(1.0), 0.1),  # type: ignore[arg-type]
    lambda: quorvel.find_pareto_front([1.0, 2.0], 0.1),  # type: ignore[list-item]
    lambda: quorvel.find_pareto_front([[1.0], [2.0]], 0.1),  # type: ignore[list-item]
    lambda: quorvel.find_pareto_front(TABLE, "0.1"),  # type: ignore[arg-type]
    lambda: quorvel.create_random_points(TABLE, 1.5),  # type: ignore[arg-type]
]
