import os

import pytest

# Set when the suite runs against the sanitized build, whose allocator makes
# resident-memory figures meaningless.
SANITIZED = os.environ.get("QUORVEL_SANITIZED") == "1"

WORKED_EXAMPLE = [
    [[1.0, 5.0], [2.0, 2.0], [5.0, 1.0]],
    [[0.0, 3.0], [3.0, 0.0], [1.0, 1.0]],
]


@pytest.fixture
def worked_example():
    return [[list(option) for option in stand] for stand in WORKED_EXAMPLE]


def as_pairs(solutions):
    """Order-free view of a result: sorted (design, target) tuples."""
    return sorted((tuple(s.design_vector), tuple(s.target_vector)) for s in solutions)


def summed_target(data, design):
    """A design's target as the module forms it: added in stand order from +0.0."""
    target = [0.0] * len(data[0][0])
    for stand, option in zip(data, design):
        target = [t + v for t, v in zip(target, stand[option])]
    return target
