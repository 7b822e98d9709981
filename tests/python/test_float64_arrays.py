"""Exact float64 ndarrays are copied in one piece; they must convert exactly as
their items would, wherever they appear in the data."""

import struct
import subprocess
import sys

import pytest

import quorvel
from conftest import summed_target

np = pytest.importorskip("numpy")


class ElementWise(np.ndarray):
    """Converted item by item, as every subclass is: the reference."""


class Negated(np.ndarray):
    """Iterates to negated values, which only item-by-item conversion sees."""

    def __iter__(self):
        for item in super().__iter__():
            yield item if self.ndim > 1 else -item


LAYOUTS = {
    "contiguous": lambda a: a,
    "fortran": np.asfortranarray,
    "stepped": lambda a: np.repeat(np.repeat(a, 2, axis=0), 3, axis=2)[::2, :, 1::3],
    "reversed": lambda a: a[::-1, :, ::-1].copy()[::-1, :, ::-1],
    "transposed": lambda a: a.transpose(2, 0, 1).copy().transpose(1, 2, 0),
}

FORMS = {
    "array": lambda a: a,
    "list of 2-D": list,
    "lists of 1-D": lambda a: [list(stand) for stand in a],
    "mixed": lambda a: [s if i % 3 == 0 else list(s) if i % 3 == 1 else s.tolist()
                        for i, s in enumerate(a)],
}

ODD_FORMS = {
    "array": lambda a: a,
    "list": list,
    # A float64 stand first, so its dtype is the one already recognised.
    "after float64": lambda a: [np.ones((2, 2))] + list(a),
}

FINITE_SPECIALS = [-0.0, 0.0, 5e-324, -2.5e-310]
SPECIALS = FINITE_SPECIALS + [np.inf, -np.inf]
# Signalling and quiet NaNs with payloads, both signs.
NAN_BITS = [0x7FF0000000000001, 0xFFF80000DEADBEEF, 0x7FF8000000000000]


def bits(value):
    return struct.pack("<d", value)


def outcome(function, data, argument):
    try:
        result = function(data, argument)
    except Exception as error:  # noqa: BLE001 - the error itself is compared
        return type(error), str(error)
    return [(tuple(s.design_vector), [bits(v) for v in s.target_vector]) for s in result]


def random_values(rng, shape, specials, nan_bits=()):
    values = rng.standard_normal(shape) * 10.0 ** rng.integers(-3, 4, shape)
    chosen = rng.random(shape) < 0.25
    values[chosen] = rng.choice(specials, chosen.sum())
    if nan_bits:
        # Only in the first stand, so that a sum never meets two NaNs and its
        # payload does not depend on the order of the operands.
        first = values[0].view(np.uint64)
        chosen = rng.random(first.shape) < 0.3
        first[chosen] = rng.choice(nan_bits, chosen.sum())
    return values


@pytest.mark.parametrize("form", FORMS)
@pytest.mark.parametrize("layout", LAYOUTS)
def test_converts_as_item_by_item(layout, form):
    def place(values, kind=np.ndarray):
        return FORMS[form](LAYOUTS[layout](values).view(kind))

    find = quorvel.find_pareto_front
    rng = np.random.default_rng(1)
    for _ in range(6):
        shape = (rng.integers(2, 7), rng.integers(1, 5), rng.integers(1, 4))
        values = random_values(rng, shape, FINITE_SPECIALS)
        front = outcome(find, place(values), 0.05)
        assert front == outcome(find, place(values, ElementWise), 0.05)
        assert front == outcome(find, values.tolist(), 0.05)
        if form != "mixed":  # its tolist() stands bypass the subclass's iteration
            assert outcome(find, place(values, Negated), 0.05) == outcome(find, (-values).tolist(), 0.05)

        values = random_values(rng, shape, SPECIALS, NAN_BITS)
        lists = values.tolist()
        for design, target in outcome(quorvel.create_random_points, place(values), 300):
            assert len(design) == len(lists)
            assert target == [bits(v) for v in summed_target(lists, design)]


@pytest.mark.parametrize("shape", [(0, 3, 2), (1, 3, 2), (3, 0, 2), (3, 2, 0), (3, 2), (4,), (),
                                   (2, 3, 2, 1)])
@pytest.mark.parametrize("dtype", ["float64", ">f8", "float32", "int64", "bool", "object",
                                   "complex128"])
@pytest.mark.filterwarnings("ignore:Casting complex values")
def test_odd_shapes_and_other_dtypes_as_before(shape, dtype):
    values = (np.arange(np.prod(shape)) % 5 - 1.5).reshape(shape).astype(dtype)
    # A 0-d array has no items to put in a list.
    forms = ODD_FORMS if values.ndim else {"array": ODD_FORMS["array"]}
    for convert in forms.values():
        for function, argument in ((quorvel.find_pareto_front, 0.1),
                                   (quorvel.create_random_points, 0)):
            assert outcome(function, convert(values), argument) == outcome(
                function, convert(values.view(ElementWise)), argument)


def test_no_reference_is_kept():
    array = np.random.default_rng(3).standard_normal((4, 3, 2))
    counted = (array, array.dtype, np.ndarray)
    before = [sys.getrefcount(o) for o in counted]
    for form in FORMS.values():
        for _ in range(20):
            quorvel.create_random_points(form(array), 1)
    assert [sys.getrefcount(o) for o in counted] == before


def test_the_module_never_imports_numpy():
    script = ("import sys, quorvel; quorvel.find_pareto_front([[[1.0]], [[2.0]]], 0.1); "
              "print('numpy' in sys.modules)")
    result = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                            check=True)
    assert result.stdout.strip() == "False"
