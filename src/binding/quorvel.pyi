"""Approximate Pareto fronts of discrete multi-objective selection problems."""

from typing import Any, Protocol, Sequence, SupportsFloat, SupportsIndex, final

__all__ = ["ParetoFrontSolution", "find_pareto_front", "create_random_points"]

class _Array(Protocol):
    """A numpy array, or another array type, read through its length and items."""

    def __array__(self) -> Any: ...
    def __len__(self) -> int: ...
    def __getitem__(self, index: int, /) -> Any: ...

# A str is a sequence of str, never of numbers, so it fails at the innermost
# level; a dict is neither a Sequence nor an array.
_Number = SupportsFloat | SupportsIndex
_Option = Sequence[_Number] | _Array
_Stand = Sequence[_Option] | _Array
Data = Sequence[_Stand] | _Array

@final
class ParetoFrontSolution:
    """One design: the option chosen per stand and the summed values."""

    @property
    def design_vector(self) -> list[int]: ...
    @property
    def target_vector(self) -> list[float]: ...

def find_pareto_front(data: Data, epsilon: float) -> list[ParetoFrontSolution]:
    """Approximate Pareto front of all designs, every variable minimised.

    data[stand][option][variable]; epsilon sets the width of the log1p grid
    whose cells merge near-identical partial designs. The order of the
    returned list is not defined.
    """

def create_random_points(data: Data, n_points: int) -> list[ParetoFrontSolution]:
    """n_points designs with independent, uniform option indices, in draw order."""
