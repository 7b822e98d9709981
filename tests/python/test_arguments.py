"""Binding and conversion of the arguments of both module functions."""

import ctypes
import gc
import math
import operator
import sys

import pytest

import quorvel

VALID = [[[1.0, 2.0]], [[3.0, 4.0]]]
# Converts, but the table rejects it; reaching that rejection shows that every
# argument converted.
ONE_STAND = [[[1.0]]]
ONE_STAND_MESSAGE = "There's only one stand. Nothing to optimize here."

U32_OVERFLOW = "out of range integral type conversion attempted"


def raised_by(function, *args):
    with pytest.raises(BaseException) as excinfo:
        function(*args)
    return excinfo.value


def only_target(data):
    """The target of the single design of a table whose stands each have one option."""
    (solution,) = quorvel.create_random_points(data, 1)
    return solution.target_vector


class Unreadable(type):
    """Metaclass whose classes hide their names."""

    def __getattribute__(cls, name):
        if name in ("__name__", "__qualname__"):
            raise RuntimeError(f"no {name}")
        return super().__getattribute__(name)


class Holder:
    class NotASequence:
        pass


class Anonymous(metaclass=Unreadable):
    pass


class ItemsOnly:
    """A sequence known only through __getitem__."""

    def __init__(self, items):
        self._items = list(items)

    def __getitem__(self, index):
        return self._items[index]


class LenRaises(ItemsOnly):
    def __len__(self):
        raise RuntimeError("len fails")


class Claims(ItemsOnly):
    """Reports a length that has nothing to do with its items."""

    def __init__(self, items, length):
        super().__init__(items)
        self._length = length

    def __len__(self):
        return self._length


class Failing(ItemsOnly):
    """Yields its items, then raises."""

    def __init__(self, items, error):
        super().__init__(items)
        self._error = error

    def __getitem__(self, index):
        if index < len(self._items):
            return self._items[index]
        raise self._error


class Counting(ItemsOnly):
    """Counts the items fetched from it."""

    fetched = 0

    def __getitem__(self, index):
        item = super().__getitem__(index)
        self.fetched += 1
        return item


class Untouchable:
    """Fails the test if conversion looks at it."""

    touched = False

    def _touch(self, *args):
        Untouchable.touched = True
        raise AssertionError("converted although an earlier failure should end the call")

    __len__ = __iter__ = __getitem__ = __float__ = __index__ = _touch


class Index:
    def __init__(self, value):
        self._value = value

    def __index__(self):
        return self._value


class RaisingIndex:
    def __init__(self, error):
        self._error = error

    def __index__(self):
        raise self._error


class RaisingFloat:
    def __init__(self, error):
        self._error = error

    def __float__(self):
        raise self._error


class Floaty:
    def __float__(self):
        return 2.5


class IntSubclass(int):
    pass


class TypeErrorSubclass(TypeError):
    pass


class Unprintable:
    def __str__(self):
        raise RuntimeError("cannot print")


class Renamed(str):
    def __str__(self):
        return "renamed"


class UnprintableKey(str):
    def __str__(self):
        raise RuntimeError("cannot print key")


class AnonymousKey(str, metaclass=Unreadable):
    def __str__(self):
        raise RuntimeError("cannot print key")


@pytest.fixture
def unraisable(monkeypatch):
    seen = []
    monkeypatch.setattr(sys, "unraisablehook", seen.append)
    return seen


def call_with_raw_keywords(function, args, kwargs):
    """Calls without the interpreter's own check that keywords are strings."""
    call = ctypes.pythonapi.PyObject_Call
    call.restype = ctypes.py_object
    call.argtypes = [ctypes.py_object] * 3
    return call(function, args, kwargs)


# Binding


@pytest.mark.parametrize(
    "args, kwargs",
    [
        ((VALID, 0.1), {}),
        ((VALID,), {"epsilon": 0.1}),
        ((), {"data": VALID, "epsilon": 0.1}),
        ((), {"epsilon": 0.1, "data": VALID}),
    ],
)
def test_find_pareto_front_binds_by_position_or_keyword(args, kwargs):
    (solution,) = quorvel.find_pareto_front(*args, **kwargs)
    assert solution.target_vector == [4.0, 6.0]


@pytest.mark.parametrize(
    "args, kwargs",
    [
        ((VALID, 3), {}),
        ((VALID,), {"n_points": 3}),
        ((), {"n_points": 3, "data": VALID}),
    ],
)
def test_create_random_points_binds_by_position_or_keyword(args, kwargs):
    solutions = quorvel.create_random_points(*args, **kwargs)
    assert [s.target_vector for s in solutions] == [[4.0, 6.0]] * 3


@pytest.mark.parametrize(
    "function, args, kwargs, message",
    [
        (
            quorvel.find_pareto_front,
            (VALID, 0.1, 1),
            {"bogus": 1},
            "find_pareto_front() takes 2 positional arguments but 3 were given",
        ),
        (
            quorvel.create_random_points,
            (VALID, 1, 2, 3),
            {},
            "create_random_points() takes 2 positional arguments but 4 were given",
        ),
        (
            quorvel.create_random_points,
            (),
            {},
            "create_random_points() missing 2 required positional arguments: 'data' and 'n_points'",
        ),
        (
            quorvel.find_pareto_front,
            (VALID,),
            {},
            "find_pareto_front() missing 1 required positional argument: 'epsilon'",
        ),
        (
            quorvel.find_pareto_front,
            (),
            {"epsilon": 0.1},
            "find_pareto_front() missing 1 required positional argument: 'data'",
        ),
        (
            quorvel.find_pareto_front,
            (VALID,),
            {"epsilonn": 0.1},
            "find_pareto_front() got an unexpected keyword argument 'epsilonn'",
        ),
        (
            quorvel.create_random_points,
            (VALID,),
            {"n_point": 1},
            "create_random_points() got an unexpected keyword argument 'n_point'",
        ),
        (
            quorvel.find_pareto_front,
            (),
            {"Data": VALID, "epsilon": 0.1},
            "find_pareto_front() got an unexpected keyword argument 'Data'",
        ),
        (
            quorvel.find_pareto_front,
            (VALID,),
            {"epsilon\0": 0.1},
            "find_pareto_front() got an unexpected keyword argument 'epsilon\0'",
        ),
        (
            quorvel.find_pareto_front,
            (VALID,),
            {"épsilon": 0.1},
            "find_pareto_front() got an unexpected keyword argument 'épsilon'",
        ),
        (
            quorvel.find_pareto_front,
            (VALID,),
            {"\ud800": 0.1},
            "find_pareto_front() got an unexpected keyword argument '\ufffd\ufffd\ufffd'",
        ),
        (
            quorvel.find_pareto_front,
            (VALID,),
            {"a\udcffb": 0.1},
            "find_pareto_front() got an unexpected keyword argument 'a\ufffd\ufffd\ufffdb'",
        ),
        (
            quorvel.find_pareto_front,
            (VALID,),
            {Renamed("bogus"): 0.1},
            "find_pareto_front() got an unexpected keyword argument 'renamed'",
        ),
        (
            quorvel.find_pareto_front,
            (VALID, 0.1),
            {"data": VALID},
            "find_pareto_front() got multiple values for argument 'data'",
        ),
        (
            quorvel.create_random_points,
            (VALID, 1),
            {"n_points": 1},
            "create_random_points() got multiple values for argument 'n_points'",
        ),
        # The first failing keyword in insertion order is the one reported.
        (
            quorvel.find_pareto_front,
            (VALID, 0.1),
            {"first": 1, "data": VALID},
            "find_pareto_front() got an unexpected keyword argument 'first'",
        ),
        (
            quorvel.find_pareto_front,
            (VALID, 0.1),
            {"data": VALID, "second": 1},
            "find_pareto_front() got multiple values for argument 'data'",
        ),
    ],
)
def test_binding_failures(function, args, kwargs, message):
    error = raised_by(lambda: function(*args, **kwargs))
    assert type(error) is TypeError
    assert str(error) == message


@pytest.mark.parametrize(
    "key, shown",
    [(1, "1"), (None, "None"), (b"data", "b'data'")],
)
def test_non_string_keyword_is_unexpected(key, shown):
    error = raised_by(call_with_raw_keywords, quorvel.find_pareto_front, (VALID, 0.1), {key: 1})
    assert type(error) is TypeError
    assert str(error) == f"find_pareto_front() got an unexpected keyword argument '{shown}'"


def test_string_subclass_keyword_matches_by_content():
    (solution,) = quorvel.find_pareto_front(VALID, **{Renamed("epsilon"): 0.1})
    assert solution.target_vector == [4.0, 6.0]


@pytest.mark.parametrize(
    "key, shown",
    [
        (UnprintableKey("bogus"), "<unprintable UnprintableKey object>"),
        (AnonymousKey("bogus"), "<unprintable object>"),
    ],
)
def test_unprintable_keyword(unraisable, key, shown):
    error = raised_by(lambda: quorvel.find_pareto_front(VALID, **{key: 0.1}))
    assert str(error) == f"find_pareto_front() got an unexpected keyword argument '{shown}'"
    assert [type(u.exc_value) for u in unraisable] == [RuntimeError]
    assert unraisable[0].object is key


def test_binding_failure_converts_nothing():
    Untouchable.touched = False
    raised_by(quorvel.create_random_points, Untouchable(), Untouchable(), 1)
    assert not Untouchable.touched


# Conversion of data


@pytest.mark.parametrize(
    "data, target",
    [
        ((((1.0, 2.0),), ((3.0, 4.0),)), [4.0, 6.0]),
        ([[(1.0, 2.0)], ((3.0, 4.0),)], [4.0, 6.0]),
        ([[range(3)], [[1, 1, 1]]], [1.0, 2.0, 3.0]),
        ([[b"ab"], [[0.5, 0.5]]], [97.5, 98.5]),
        ([[[True, False]], [[2, -3]]], [3.0, -3.0]),
        ([[[Floaty(), Index(4)]], [[0.0, 0.0]]], [2.5, 4.0]),
        ([[[1.5, 2.5]], [[IntSubclass(1), 2**53]]], [2.5, 2.0**53 + 2.5]),
        (ItemsOnly([ItemsOnly([ItemsOnly([1.0])]), [[2.0]]]), [3.0]),
        (LenRaises([LenRaises([LenRaises([1.0])]), [[2.0]]]), [3.0]),
    ],
)
def test_data_converts(data, target):
    assert only_target(data) == target


@pytest.mark.parametrize("claimed", [0, 1, 10**15, sys.maxsize, 2**70])
@pytest.mark.parametrize("level", [0, 1, 2])
def test_claimed_length_does_not_limit_or_size_the_result(level, claimed):
    option = [1.0, 2.0, 3.0]
    stands = [[option], [[10.0, 20.0, 30.0]]]
    if level == 2:
        stands[0][0] = Claims(option, claimed)
    elif level == 1:
        stands[0] = Claims(stands[0], claimed)
    else:
        stands = Claims(stands, claimed)
    assert only_target(stands) == [11.0, 22.0, 33.0]


@pytest.mark.parametrize(
    "data",
    [[], [[]], [[[]], [[]]], [[[1.0]], [[1.0, 2.0]]], [[[1.0]], []]],
)
def test_shape_is_left_to_the_table(data):
    error = raised_by(quorvel.find_pareto_front, data, 0.1)
    assert type(error) is ValueError


@pytest.mark.parametrize(
    "data, message",
    [
        ("ab", "Can't extract `str` to `Vec`"),
        ([[[1.0]], "ab"], "Can't extract `str` to `Vec`"),
        ([[[1.0]], ["ab"]], "Can't extract `str` to `Vec`"),
        ([[[1.0]], [Renamed("ab")]], "Can't extract `str` to `Vec`"),
        (5, "'int' object is not an instance of 'Sequence'"),
        (None, "'None' is not an instance of 'Sequence'"),
        ([None], "'None' is not an instance of 'Sequence'"),
        ([[None]], "'None' is not an instance of 'Sequence'"),
        ({}, "'dict' object is not an instance of 'Sequence'"),
        ([{}], "'dict' object is not an instance of 'Sequence'"),
        ([[{}]], "'dict' object is not an instance of 'Sequence'"),
        ({1}, "'set' object is not an instance of 'Sequence'"),
        ([{1}], "'set' object is not an instance of 'Sequence'"),
        ([[{1.0}]], "'set' object is not an instance of 'Sequence'"),
        (b"ab", "'int' object is not an instance of 'Sequence'"),
        ([b"ab"], "'int' object is not an instance of 'Sequence'"),
        (iter([[[1.0]]]), "'list_iterator' object is not an instance of 'Sequence'"),
        (
            [[Holder.NotASequence()]],
            "'Holder.NotASequence' object is not an instance of 'Sequence'",
        ),
        (
            [[Anonymous()]],
            "'<failed to extract type name>' object is not an instance of 'Sequence'",
        ),
    ],
)
def test_data_conversion_failures(data, message):
    error = raised_by(quorvel.find_pareto_front, data, 0.1)
    assert type(error) is TypeError
    assert str(error) == f"argument 'data': {message}"


@pytest.mark.parametrize("value", ["1.0", None, [1.0], object()])
def test_unconvertible_value_gets_the_interpreters_prefixed_error(value):
    expected = raised_by(math.isnan, value)
    error = raised_by(quorvel.find_pareto_front, [[[1.0]], [[value]]], 0.1)
    assert type(error) is type(expected) is TypeError
    assert str(error) == f"argument 'data': {expected}"


def test_conversion_is_depth_first():
    # The bad value inside stand 0 comes before the bad stand 1.
    expected = raised_by(math.isnan, "x")
    error = raised_by(quorvel.find_pareto_front, [[[1.0, "x"]], 5], 0.1)
    assert str(error) == f"argument 'data': {expected}"


def failing_at(level, error):
    """Valid data whose iteration raises at the given level."""
    if level == 0:
        return Failing([[[1.0]], [[2.0]]], error)
    if level == 1:
        return [Failing([[1.0]], error), [[2.0]]]
    return [[Failing([1.0], error)], [[2.0]]]


@pytest.mark.parametrize(
    "error",
    [ValueError("part-way"), TypeErrorSubclass("sub"), KeyboardInterrupt(), OverflowError("o")],
)
@pytest.mark.parametrize("level", [0, 1, 2])
def test_iteration_errors_other_than_type_error_pass_unchanged(level, error):
    assert raised_by(quorvel.find_pareto_front, failing_at(level, error), 0.1) is error


@pytest.mark.parametrize("level", [0, 1, 2])
def test_type_error_from_iteration_at_any_level_is_prefixed(level):
    raised = raised_by(quorvel.find_pareto_front, failing_at(level, TypeError("boom")), 0.1)
    assert type(raised) is TypeError
    assert str(raised) == "argument 'data': boom"


@pytest.mark.parametrize(
    "data, counted",
    [
        (lambda c: c, [[[1.0]], [[1.0, "x"]], [[3.0]], [[4.0]]]),
        (lambda c: [[c], [[1.0]]], [1.0, "x", 2.0, 3.0]),
        (lambda c: [[[1.0]], c], [[1.0], {}, [2.0]]),
    ],
)
def test_nothing_after_the_failing_item_is_fetched(data, counted):
    counting = Counting(counted)
    raised_by(quorvel.find_pareto_front, data(counting), 0.1)
    assert counting.fetched == 2


@pytest.mark.parametrize(
    "error, text",
    [
        (TypeError("boom"), "boom"),
        (TypeError("\ud800!"), "\ufffd\ufffd\ufffd!"),
        (TypeError(Unprintable()), "<unprintable TypeError object>"),
    ],
)
def test_type_error_from_iteration_is_prefixed(unraisable, error, text):
    raised = raised_by(quorvel.find_pareto_front, [[[1.0]], Failing([], error)], 0.1)
    assert type(raised) is TypeError
    assert raised is not error
    assert str(raised) == f"argument 'data': {text}"


def test_unprintable_exception_text_is_reported_as_unraisable(unraisable):
    error = TypeError(Unprintable())
    raised_by(quorvel.find_pareto_front, [[[1.0]], Failing([], error)], 0.1)
    assert [type(u.exc_value) for u in unraisable] == [RuntimeError]
    assert unraisable[0].object is error


def _type_error_with_cause(cause):
    error = TypeError("with cause")
    error.__cause__ = cause
    return error


@pytest.mark.parametrize("cause", [KeyError("k"), None])
def test_prefixed_type_error_keeps_the_cause_but_not_the_traceback(cause):
    data = [[[1.0]], Failing([], _type_error_with_cause(cause))]
    raised = raised_by(quorvel.find_pareto_front, data, 0.1)
    assert str(raised) == "argument 'data': with cause"
    assert raised.__cause__ is cause
    frames = []
    traceback = raised.__traceback__
    while traceback is not None:
        frames.append(traceback.tb_frame.f_code.co_name)
        traceback = traceback.tb_next
    assert "__getitem__" not in frames


def _reference_case(name, probe, call):
    return pytest.param(probe, lambda: call(probe), id=name)


@pytest.mark.parametrize(
    "probe, call",
    [
        _reference_case(
            "converted value",
            Floaty(),
            lambda p: quorvel.find_pareto_front([[[p]], [[1.0]]], 0.1),
        ),
        _reference_case(
            "value before a bad one",
            Floaty(),
            lambda p: quorvel.find_pareto_front([[[p, "x"]]], 0.1),
        ),
        _reference_case(
            "option before a bad stand",
            Floaty(),
            lambda p: quorvel.find_pareto_front([[ItemsOnly([p])], "bad"], 0.1),
        ),
        _reference_case(
            "not a sequence",
            Holder.NotASequence(),
            lambda p: quorvel.find_pareto_front([[p]], 0.1),
        ),
        _reference_case("epsilon", Floaty(), lambda p: quorvel.find_pareto_front(ONE_STAND, p)),
        _reference_case(
            "index result",
            int("40000"),
            lambda p: quorvel.create_random_points(ONE_STAND, Index(p)),
        ),
        _reference_case(
            "index result above u32",
            int("5000000000"),
            lambda p: quorvel.create_random_points(VALID, Index(p)),
        ),
        _reference_case(
            "unexpected keyword",
            "".join(["bo", "gus"]),
            lambda p: quorvel.find_pareto_front(VALID, **{p: 1}),
        ),
        _reference_case(
            "cause of a prefixed error",
            KeyError("k"),
            lambda p: quorvel.find_pareto_front([[Failing([], _type_error_with_cause(p))]], 0.1),
        ),
    ],
)
def test_calls_release_every_reference(probe, call):
    def run():
        try:
            call()
        except BaseException:
            pass

    # Raised exceptions and their tracebacks form cycles with the objects that
    # raised them; only what survives a collection is leaked.
    run()
    gc.collect()
    before = sys.getrefcount(probe)
    for _ in range(5):
        run()
    gc.collect()
    assert sys.getrefcount(probe) == before


# Conversion of epsilon


@pytest.mark.parametrize(
    "epsilon", [-1.0, 0.1, 0, True, math.nan, math.inf, -math.inf, Floaty(), Index(2), 10**300]
)
def test_epsilon_converts(epsilon):
    error = raised_by(quorvel.find_pareto_front, ONE_STAND, epsilon)
    assert type(error) is ValueError
    assert str(error) == ONE_STAND_MESSAGE


@pytest.mark.parametrize("epsilon", ["0.1", None, [0.1], 10**400, RaisingFloat(TypeError("t"))])
def test_epsilon_failures_are_the_interpreters(epsilon):
    expected = raised_by(math.isnan, epsilon)
    error = raised_by(quorvel.find_pareto_front, VALID, epsilon)
    assert type(error) is type(expected)
    if type(expected) is TypeError:
        assert str(error) == f"argument 'epsilon': {expected}"
    else:
        assert str(error) == str(expected)


@pytest.mark.parametrize("error", [ValueError("v"), TypeErrorSubclass("sub")])
def test_epsilon_errors_from_user_code_pass_unchanged(error):
    assert raised_by(quorvel.find_pareto_front, VALID, RaisingFloat(error)) is error


# Conversion of n_points


@pytest.mark.parametrize("n_points", [0, 1, 2**32 - 1, True, Index(7), IntSubclass(3)])
def test_n_points_converts(n_points):
    error = raised_by(quorvel.create_random_points, ONE_STAND, n_points)
    assert type(error) is ValueError
    assert str(error) == ONE_STAND_MESSAGE


@pytest.mark.parametrize(
    "n_points, count", [(0, 0), (True, 1), (False, 0), (Index(7), 7), (IntSubclass(3), 3)]
)
def test_n_points_value(n_points, count):
    assert len(quorvel.create_random_points(VALID, n_points)) == count


@pytest.mark.parametrize("n_points", [2**32, 2**40, 2**64 - 1, Index(2**32)])
def test_n_points_above_u32_overflow(n_points):
    error = raised_by(quorvel.create_random_points, VALID, n_points)
    assert type(error) is OverflowError
    assert str(error) == U32_OVERFLOW


@pytest.mark.parametrize("n_points", [-1, 2**64, Index(-1), IntSubclass(-5)])
def test_n_points_outside_u64_is_the_interpreters_overflow(n_points):
    error = raised_by(quorvel.create_random_points, VALID, n_points)
    assert type(error) is OverflowError
    assert not str(error).startswith("argument")
    assert str(error) != U32_OVERFLOW


@pytest.mark.parametrize("n_points", [3.0, "3", None, Floaty()])
def test_n_points_without_index_is_a_prefixed_type_error(n_points):
    expected = raised_by(operator.index, n_points)
    error = raised_by(quorvel.create_random_points, VALID, n_points)
    assert type(error) is TypeError
    assert str(error) == f"argument 'n_points': {expected}"


@pytest.mark.parametrize("error", [ValueError("v"), TypeErrorSubclass("sub")])
def test_n_points_errors_from_user_code_pass_unchanged(error):
    assert raised_by(quorvel.create_random_points, VALID, RaisingIndex(error)) is error


def test_n_points_type_error_from_user_code_is_prefixed():
    error = raised_by(quorvel.create_random_points, VALID, RaisingIndex(TypeError("no")))
    assert type(error) is TypeError
    assert str(error) == "argument 'n_points': no"


# Order of failures


@pytest.mark.parametrize(
    "function, second, prefix",
    [
        (quorvel.find_pareto_front, "x", "argument 'epsilon': "),
        (quorvel.create_random_points, 1.5, "argument 'n_points': "),
    ],
)
def test_second_argument_fails_before_the_table(function, second, prefix):
    error = raised_by(function, ONE_STAND, second)
    assert type(error) is TypeError
    assert str(error).startswith(prefix)


@pytest.mark.parametrize("function", [quorvel.find_pareto_front, quorvel.create_random_points])
def test_data_fails_before_the_second_argument_is_looked_at(function):
    Untouchable.touched = False
    error = raised_by(function, 5, Untouchable())
    assert str(error) == "argument 'data': 'int' object is not an instance of 'Sequence'"
    assert not Untouchable.touched


# Ownership of the arguments


def test_arguments_outlive_code_that_drops_the_callers_references():
    events = []

    class Epsilon:
        def __float__(self):
            events.append("read")
            return 0.1

        def __del__(self):
            events.append("freed")

    class Emptying(list):
        def __iter__(self):
            kwargs.clear()
            return super().__iter__()

    # Called through the C API the dictionary is the caller's own, not a copy.
    kwargs = {"data": Emptying([[[1.0]], [[2.0]]]), "epsilon": Epsilon()}
    (solution,) = call_with_raw_keywords(quorvel.find_pareto_front, (), kwargs)
    assert events == ["read", "freed"]
    assert solution.target_vector == [3.0]


@pytest.mark.parametrize("error", [KeyboardInterrupt(), SystemExit(3), GeneratorExit()])
@pytest.mark.parametrize("level", [0, 1, 2])
def test_length_errors_that_are_not_exceptions_propagate(level, error):
    class Interrupted(ItemsOnly):
        def __len__(self):
            raise error

    data = [[[1.0]], [[2.0]]]
    if level == 0:
        data = Interrupted(data)
    elif level == 1:
        data[1] = Interrupted(data[1])
    else:
        data[1][0] = Interrupted(data[1][0])
    assert raised_by(quorvel.find_pareto_front, data, 0.1) is error
