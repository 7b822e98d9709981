"""The stub accepts what the module accepts: type checkers and the module
itself judge the same calls."""

import inspect
import json
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

from conftest import SANITIZED

pytest.importorskip("numpy")
from stub_cases import ACCEPTED, REJECTED  # noqa: E402

HERE = Path(__file__).resolve().parent
STUB = HERE.parents[1] / "src" / "binding" / "quorvel.pyi"


def line_of(case):
    return f"line {inspect.getsourcelines(case)[1]}"


@pytest.mark.parametrize("case", ACCEPTED, ids=line_of)
def test_module_runs_accepted_calls(case):
    case()


@pytest.mark.parametrize("case", REJECTED, ids=line_of)
def test_module_refuses_rejected_calls(case):
    with pytest.raises(TypeError):
        case()


CHECKERS = {
    "mypy": ["-m", "mypy", "--strict", "--no-incremental", "stub_cases.py"],
    "basedpyright": ["-m", "basedpyright", "--pythonpath", sys.executable, "stub_cases.py"],
}


# The check reads the stub, not the binary: once is enough.
@pytest.mark.skipif(SANITIZED, reason="the type check does not involve the extension")
@pytest.mark.parametrize("checker", CHECKERS)
def test_type_checker_agrees(checker, tmp_path):
    pytest.importorskip(checker)
    # The source stub beside the cases shadows any installed one.
    shutil.copy(STUB, tmp_path / "quorvel.pyi")
    shutil.copy(HERE / "stub_cases.py", tmp_path)
    (tmp_path / "pyrightconfig.json").write_text(
        json.dumps({"typeCheckingMode": "standard", "reportUnnecessaryTypeIgnoreComment": "error"}))
    result = subprocess.run([sys.executable, *CHECKERS[checker]], cwd=tmp_path,
                            capture_output=True, text=True)
    assert result.returncode == 0, result.stdout + result.stderr
