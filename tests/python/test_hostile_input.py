"""Randomized hostile arguments for both functions: a call ends in a result
or a documented exception, never in a crash. Plain inputs have one right
outcome, predicted by a model of conversion and table validation; inputs whose
objects raise or mutate what is being converted (or let another thread do so)
are held to the documented exception types, or to the exception they raised.
"""

import math
import operator
import random
import re
import sys
import threading
import time

import pytest

import quorvel
from conftest import SANITIZED, summed_target
from test_arguments import (U32_OVERFLOW, Claims, Index, IntSubclass, ItemsOnly, LenRaises,
                            TypeErrorSubclass)
from test_failures import EMPTY, SINGLE, catch_panic, mismatch

SEED = 7_2026
BUDGET_SECONDS = 5.0 if SANITIZED else 10.0
GRID_FAILURE = "negative coordinate value: "
MISMATCH = re.compile(re.escape(mismatch(9, 9, 9, 9)).replace("9", r"\d+"))


class FloatSub(float):
    pass


class Refusal(Exception):
    """The outcome of a plain input that fails: exception type and message
    (None where the interpreter words it)."""


# Objects that run hostile code. Those that raise call `fire`, which records
# the exception for the check and raises it.

class RaisingIndex:
    def __init__(self, fire):
        self.fire = fire

    def __index__(self):
        self.fire()


class RaisingFloat(RaisingIndex):
    def __float__(self):
        self.fire()


class Yielding:
    """Lets other threads run while it is converted."""

    def __init__(self, value):
        self.value = value

    def __float__(self):
        time.sleep(0)
        return self.value

    def __index__(self):
        return int(self.__float__())


class Meddling:
    """Empties or grows a container while its items are being converted."""

    def __init__(self, value, victim):
        self.value = value
        self.victim = victim

    def __float__(self):
        if len(self.victim) % 2:
            self.victim.clear()
        else:
            self.victim.append(self.victim[:])
        return self.value


class Trapping(list):
    def __init__(self, items, fire):
        super().__init__(items)
        self.fire = fire


class LengthRaising(Trapping):
    def __len__(self):
        self.fire()


class IterRaising(Trapping):
    def __iter__(self):
        self.fire()


class IterationRaising(ItemsOnly):
    """Fails part-way, when item `at` is fetched."""

    def __init__(self, items, fire, at):
        super().__init__(items)
        self.fire, self.at = fire, at

    def __getitem__(self, index):
        if index == self.at:
            self.fire()
        return super().__getitem__(index)


class SelfMutating(list):
    def __iter__(self):
        self.reverse()
        del self[len(self) // 2:]
        return super().__iter__()


PLAIN_VALUES = [math.nan, math.inf, -math.inf, -0.0, 0.0, 5e-324, 1e-310, 1e308, -1e308,
                1.0, -2.5, 10**400, -(10**400), 2**53 + 1, True, False, 0, 7]
PLAIN_EPSILONS = [0.1, 0.01, 0.5, 1e-3, 2.0, 0.0, -0.0, math.nan, math.inf, -math.inf, -0.5,
                  -1.0, -2.0, 1e-320, 1e308, 10**400, "0.1", None, True, 3, Index(2)]
PLAIN_COUNTS = [0, 1, 2, 5, 17, True, False, -1, 2**32, 2**64, 2**64 - 1, 3.0, "3", None,
                Index(4), IntSubclass(3)]
ERRORS = [ValueError, TypeError, TypeErrorSubclass, RuntimeError, ZeroDivisionError,
          KeyboardInterrupt, SystemExit]


class Case:
    """One random call. Half the cases are plain; in the others some objects
    run hostile code, and the case is marked so."""

    def __init__(self, rng, victims):
        self.rng = rng
        self.victims = victims
        self.wild = rng.random() < 0.5
        self.hostile = False
        # (exception, whether the call may ignore it) for each one raised.
        self.fired = []

    def trap(self, from_len=False):
        self.hostile = True
        error = self.rng.choice(ERRORS)("hostile")

        def fire():
            self.fired.append((error, from_len and isinstance(error, Exception)))
            raise error
        return fire

    def value(self, option):
        rng = self.rng
        pick = rng.random()
        if pick < 0.10:
            return rng.choice(PLAIN_VALUES)
        if pick < 0.14:
            return rng.choice([FloatSub(rng.uniform(-5, 5)), IntSubclass(rng.randint(-5, 5))])
        if pick < 0.15:
            return rng.choice(["x", None, [1.0], Index(3)])
        if not self.wild or pick < 0.95:
            return rng.uniform(-10, 10)
        self.hostile = True
        if pick < 0.97:
            return rng.choice([RaisingFloat, RaisingIndex])(self.trap())
        if pick < 0.99:
            return Yielding(rng.uniform(0, 5))
        return Meddling(rng.uniform(0, 5), option)

    def sequence(self, level, make_items):
        """A sequence at a vector level (0 data, 1 stand, 2 option)."""
        rng = self.rng
        items = make_items()
        pick = rng.random()
        if pick < 0.15:
            return tuple(items)
        if pick < 0.20:
            return ItemsOnly(items)
        if pick < 0.25:
            return Claims(items, rng.choice([0, 1, 10**12, sys.maxsize, -1]))
        if pick < 0.27:
            return LenRaises(items)  # ignored: the length only guides reservation
        if pick < 0.28:
            return rng.choice(["ab", None, 5, {}, {1}, b"ab" if level < 2 else range(3)])
        if not self.wild or pick < 0.88:
            return items
        self.hostile = True
        if pick < 0.90:
            return LengthRaising(items, self.trap(from_len=True))
        if pick < 0.93:
            return IterationRaising(items, self.trap(), rng.randrange(len(items) + 1))
        if pick < 0.95:
            return IterRaising(items, self.trap())
        if pick < 0.97 or level == 0:
            return SelfMutating(items)
        return self.victims[2 - level]

    def option(self, n_variables):
        def items():
            option = []
            option.extend(self.value(option) for _ in range(n_variables))
            return option
        return self.sequence(2, items)

    def data(self):
        rng = self.rng
        n_stands = rng.choice([0, 1]) if rng.random() < 0.05 else rng.randint(2, 4)
        n_variables = rng.randint(1, 3)
        ragged = rng.random() < 0.05

        def stand():
            n_options = 0 if rng.random() < 0.03 else rng.randint(1, 3)
            return self.sequence(1, lambda: [
                self.option(rng.randint(0, 3) if ragged else n_variables)
                for _ in range(n_options)])

        return self.sequence(0, lambda: [stand() for _ in range(n_stands)])

    def second(self, function):
        rng = self.rng
        front = function is quorvel.find_pareto_front
        pick = rng.random()
        if self.wild and pick < 0.08:
            return RaisingFloat(self.trap())
        if self.wild and pick < 0.12:
            self.hostile = True
            return Yielding(0.1 if front else 3)
        if pick < 0.7:
            return rng.choice([0.1, 0.01, 0.5]) if front else rng.randint(0, 20)
        return rng.choice(PLAIN_EPSILONS if front else PLAIN_COUNTS)


# The model of conversion and validation for plain inputs.

def interpreter_error(convert, value):
    try:
        return convert(value)
    except Exception as error:  # noqa: BLE001 - the interpreter's own wording
        raise Refusal(type(error), str(error)) from None


def model_sequence(obj, level):
    if isinstance(obj, str):
        raise Refusal(TypeError, "Can't extract `str` to `Vec`")
    if obj is None:
        raise Refusal(TypeError, "'None' is not an instance of 'Sequence'")
    if not isinstance(obj, (list, tuple, range, bytes, ItemsOnly)):
        raise Refusal(TypeError,
                      f"'{type(obj).__qualname__}' object is not an instance of 'Sequence'")
    # Iterated as the call does, without asking __len__.
    items = [item for item in obj]
    if level == 2:
        return [model_float(item) for item in items]
    return [model_sequence(item, level + 1) for item in items]


def model_float(obj):
    # math.isnan converts its argument exactly as the call converts a float.
    interpreter_error(math.isnan, obj)
    return float(obj)


def model_count(obj):
    value = interpreter_error(operator.index, obj)
    if value < 0 or value >= 2**64:
        raise Refusal(OverflowError, None)
    if value >= 2**32:
        raise Refusal(OverflowError, U32_OVERFLOW)
    return value


def model_table(values):
    if not values:
        raise Refusal(ValueError, EMPTY)
    if len(values) == 1:
        raise Refusal(ValueError, SINGLE)
    if not values[0]:
        raise Refusal(ValueError, EMPTY)
    n_variables = len(values[0][0])
    for s, stand in enumerate(values):
        if not stand:
            raise Refusal(ValueError, EMPTY)
        for o, option in enumerate(stand):
            if not option:
                raise Refusal(ValueError, EMPTY)
            if len(option) != n_variables:
                raise Refusal(ValueError, mismatch(n_variables, len(option), s, o))
    return values


def argument(name, convert, *args):
    try:
        return convert(*args)
    except Refusal as refusal:
        kind, message = refusal.args
        if kind is TypeError:
            raise Refusal(TypeError, f"argument '{name}': {message}") from None
        raise


def model(function, data, second):
    """The table and converted second argument, or raises Refusal."""
    values = argument("data", model_sequence, data, 0)
    if function is quorvel.find_pareto_front:
        converted = argument("epsilon", model_float, second)
    else:
        converted = argument("n_points", model_count, second)
    return model_table(values), converted


def check_plain(function, data, second, outcome):
    try:
        values, converted = model(function, data, second)
    except Refusal as refusal:
        kind, message = refusal.args
        assert type(outcome) is kind, (outcome, refusal)
        if message is not None:
            assert str(outcome) == message
        return
    if isinstance(outcome, BaseException):
        # Only the grid can fail on a valid table: non-finite targets or steps.
        assert function is quorvel.find_pareto_front, outcome
        assert str(outcome).startswith(GRID_FAILURE), outcome
        well_posed = 1e-3 <= converted <= 2.0 and all(
            abs(v) <= 1e6 for stand in values for option in stand for v in option)
        assert not well_posed, outcome
        return
    if function is quorvel.create_random_points:
        assert len(outcome) == converted
    else:
        assert outcome
    for solution in outcome:
        design = solution.design_vector
        assert len(design) == len(values)
        assert all(0 <= index < len(stand) for index, stand in zip(design, values))
        target = summed_target(values, design)
        assert list(map(repr, solution.target_vector)) == list(map(repr, target))


def check_hostile(case, outcome, panic):
    stopping = [error for error, ignorable in case.fired if not ignorable]
    if stopping:
        # The first exception from user code ends the call: it comes out
        # unchanged, or prefixed when it is exactly a TypeError.
        assert len(stopping) == 1, f"lost {stopping[:-1]!r}"
        error = stopping[0]
        if type(error) is TypeError:
            assert type(outcome) is TypeError and re.fullmatch(r"argument '\w+': hostile", str(outcome))
        else:
            assert outcome is error, (outcome, error)
        return
    if not isinstance(outcome, BaseException):
        assert len({len(s.design_vector) for s in outcome}) <= 1
        assert len({len(s.target_vector) for s in outcome}) <= 1
        return
    kind = type(outcome)
    if kind is TypeError:
        assert str(outcome).startswith("argument '"), outcome
    elif kind is ValueError:
        assert str(outcome) in (EMPTY, SINGLE) or MISMATCH.fullmatch(str(outcome)), outcome
    elif kind is panic:
        assert str(outcome).startswith(GRID_FAILURE), outcome
    else:
        assert kind is OverflowError, repr(outcome)


@pytest.fixture
def victims():
    """Lists that another thread keeps reshaping while calls convert them."""
    shared = [[1.0, 2.0], [[1.0], [2.0]]]
    stop = threading.Event()

    def reshape():
        rng = random.Random(SEED)
        while not stop.is_set():
            shared[0][:] = [rng.uniform(0, 3) for _ in range(rng.randint(0, 3))]
            shared[1][:] = [[rng.uniform(0, 3)] * rng.randint(0, 2) for _ in range(rng.randint(0, 3))]
            time.sleep(0)

    worker = threading.Thread(target=reshape)
    switch = sys.getswitchinterval()
    sys.setswitchinterval(1e-4)
    worker.start()
    try:
        yield shared
    finally:
        stop.set()
        worker.join()
        sys.setswitchinterval(switch)


def test_hostile_arguments(victims):
    panic = type(catch_panic())
    deadline = time.monotonic() + BUDGET_SECONDS
    cases = 0
    while time.monotonic() < deadline:
        rng = random.Random(SEED + cases)
        case = Case(rng, victims)
        function = rng.choice([quorvel.find_pareto_front, quorvel.create_random_points])
        data = case.data()
        second = case.second(function)
        try:
            outcome = function(data, second)
        except BaseException as error:  # noqa: BLE001 - every outcome is checked
            outcome = error
        context = f"case {cases} (seed {SEED + cases})"
        try:
            if case.hostile:
                check_hostile(case, outcome, panic)
            else:
                check_plain(function, data, second, outcome)
        except AssertionError as failure:
            raise AssertionError(f"{context}: {failure}") from failure
        cases += 1
    assert cases > 100
    (solution,) = quorvel.find_pareto_front([[[1.0, 2.0]], [[3.0, 4.0]]], 0.1)
    assert solution.target_vector == [4.0, 6.0]
