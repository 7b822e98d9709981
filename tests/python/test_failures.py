import math
import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

import quorvel

EMPTY = "Data table must not have empty entries."
SINGLE = "There's only one stand. Nothing to optimize here."


def mismatch(expected, found, stand, option):
    return (f"There are {expected} variables in the first entry, but got {found} at index "
            f"[{stand}][{option}]. Need same number of variables in all data table entries!")


TABLE_ERRORS = [
    ([], EMPTY),
    ([[[1.0]]], SINGLE),
    ([[]], SINGLE),
    ([[[1.0], [2.0, 3.0]]], SINGLE),
    ([[], [[1.0]]], EMPTY),
    ([[[]], [[]]], EMPTY),
    ([[[1.0]], []], EMPTY),
    ([[[1.0]], [[2.0]], []], EMPTY),
    ([[[1.0, 2.0]], [[1.0, 2.0], [3.0]]], mismatch(2, 1, 1, 1)),
    ([[[1.0, 2.0], [3.0]], [[1.0, 2.0], []]], mismatch(2, 1, 0, 1)),
    ([[[1.0, 2.0], []], [[1.0, 2.0]]], EMPTY),
    ([[[1.0, 2.0, 3.0]], [[1.0, 2.0, 3.0, 4.0, 5.0]]], mismatch(3, 5, 1, 0)),
]


@pytest.mark.parametrize("call", [
    lambda data: quorvel.find_pareto_front(data, 0.1),
    lambda data: quorvel.create_random_points(data, 3),
], ids=["find_pareto_front", "create_random_points"])
@pytest.mark.parametrize("data, message", TABLE_ERRORS)
def test_invalid_tables_raise_exactly_value_error(call, data, message):
    with pytest.raises(ValueError) as caught:
        call(data)
    assert type(caught.value) is ValueError
    assert caught.value.args == (message,)


def raise_panic(epsilon=0.0):
    quorvel.find_pareto_front([[[1.0, 2.0]], [[3.0, 4.0]]], epsilon)


def catch_panic(epsilon=0.0):
    try:
        raise_panic(epsilon)
    except Exception:  # noqa: BLE001 - must not catch it
        pytest.fail("PanicException was caught as an Exception")
    except BaseException as error:  # noqa: BLE001
        return error
    pytest.fail("no exception raised")


def test_panic_is_a_base_exception_only():
    error = catch_panic()
    panic = type(error)
    assert panic.__module__ == "tavrin_runtime"
    assert panic.__name__ == "PanicException"
    assert panic.__bases__ == (BaseException,)
    assert panic.__doc__ and "BaseException" in panic.__doc__
    assert error.args == ("negative coordinate value: inf",)
    assert str(error) == "negative coordinate value: inf"


def test_panics_share_one_class_and_leave_the_module_usable():
    first = catch_panic(0.0)
    second = catch_panic(math.nan)
    assert type(first) is type(second)
    assert second.args == ("negative coordinate value: NaN",)
    assert len(quorvel.find_pareto_front([[[1.0, 2.0]], [[3.0, 4.0]]], 0.1)) == 1


@pytest.mark.parametrize("epsilon, argument", [
    (0.0, "inf"), (-0.0, "-inf"), (math.nan, "NaN"), (-2.0, "NaN"), (1e-320, "inf"),
])
def test_grid_failure_messages(epsilon, argument):
    assert catch_panic(epsilon).args == (f"negative coordinate value: {argument}",)


def test_negative_epsilon_reports_a_negative_whole_number():
    (message,) = catch_panic(-0.5).args
    prefix = "negative coordinate value: -"
    assert message.startswith(prefix) and message[len(prefix):].isdigit()


@pytest.mark.parametrize("value, argument", [(math.nan, "NaN"), (math.inf, "inf"), (1e308, "inf")])
def test_unusable_values_fail_in_the_grid(value, argument):
    data = [[[1.0, 2.0], [3.0, 4.0]], [[1.0, value]], [[1.0, value]]]
    try:
        quorvel.find_pareto_front(data, 0.1)
    except BaseException as error:  # noqa: BLE001
        assert error.args == (f"negative coordinate value: {argument}",)
    else:
        pytest.fail("no exception raised")


def test_failure_is_reported_on_standard_error():
    script = (
        "import quorvel\n"
        "try:\n"
        "    quorvel.find_pareto_front([[[1.0]], [[2.0]]], 0.0)\n"
        "except BaseException as error:\n"
        "    print(type(error).__name__)\n"
    )
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=60)
    assert done.returncode == 0
    assert done.stdout.strip() == "PanicException"
    report = re.search(r"^quorvel: internal failure at (\S+):(\d+): negative coordinate value: inf$",
                       done.stderr, re.MULTILINE)
    assert report, done.stderr
    # The location is relative to the project root and points at the failing call.
    path, line = report.group(1), int(report.group(2))
    assert Path(path).parts[0] == "src"
    source_lines = (Path(__file__).resolve().parents[2] / path).read_text().splitlines()
    assert "fail(" in source_lines[line - 1]


def test_uncaught_panic_ends_the_interpreter_with_a_traceback():
    script = "import quorvel\nquorvel.find_pareto_front([[[1.0]], [[2.0]]], 0.0)\n"
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=60)
    assert done.returncode != 0
    assert "tavrin_runtime.PanicException: negative coordinate value: inf" in done.stderr


def test_huge_random_request_raises_memory_error():
    with pytest.raises(MemoryError):
        quorvel.create_random_points([[[1.0]], [[2.0]]], 4294967295)
    assert len(quorvel.create_random_points([[[1.0]], [[2.0]]], 2)) == 2


# A machine of 64 MiB, as sysinfo() reports it to a process that preloads this.
SMALL_MACHINE = r"""#include <sys/sysinfo.h>
int sysinfo(struct sysinfo *info) {
    *info = (struct sysinfo){.totalram = 64ul << 20, .mem_unit = 1};
    return 0;
}
"""


def test_random_request_is_refused_only_when_its_designs_cannot_fit(tmp_path):
    # 300 stands of 12 options: designs of 150 bytes, so 50,000 points fit in
    # 64 MiB and 400,000 do not.
    if shutil.which("cc") is None:
        pytest.skip("no C compiler to build the small machine")
    (tmp_path / "small.c").write_text(SMALL_MACHINE)
    library = tmp_path / "small.so"
    subprocess.run(["cc", "-shared", "-fPIC", "-o", library, tmp_path / "small.c"], check=True)
    script = """import quorvel
data = [[[float(o), 2.0, 3.0 - o] for o in range(12)]] * 300
print(len(quorvel.create_random_points(data, 50_000)))
try:
    quorvel.create_random_points(data, 400_000)
except MemoryError:
    print("refused")"""
    # After whatever is preloaded already: a sanitizer's runtime must come first.
    preload = " ".join(filter(None, [os.environ.get("LD_PRELOAD"), str(library)]))
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                          timeout=120, env={**os.environ, "LD_PRELOAD": preload})
    assert done.stdout.split() == ["50000", "refused"], done.stderr
