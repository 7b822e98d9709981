"""The Dask scenarios example, run on its tiny batch, must report what the
module finds for each scenario in this process."""

import re
import subprocess
import sys
from pathlib import Path

import pytest

from conftest import SANITIZED

if SANITIZED:
    pytest.skip("worker processes do not run under the sanitizers", allow_module_level=True)
pytest.importorskip("dask.distributed")

import quorvel  # noqa: E402

EXAMPLES = Path(__file__).resolve().parents[2] / "examples"
sys.path.insert(0, str(EXAMPLES))
import forest_problem  # noqa: E402
import scenarios  # noqa: E402

LINE = re.compile(r"(\w+) +(\d+) stands  price x([\d.]+)  epsilon ([\d.e-]+): +(\d+) plans, "
                  r"income up to ([\d,]+) EUR, carbon up to ([\d,]+) t  \([\d.]+ s\)")


def test_tiny_batch_matches_in_process_search():
    run = subprocess.run([sys.executable, str(EXAMPLES / "scenarios.py"), "--tiny", "--workers", "2"],
                         capture_output=True, text=True, timeout=300)
    assert run.returncode == 0, run.stderr
    reported = [match.groups() if (match := LINE.fullmatch(line)) else line
                for line in run.stdout.splitlines()]

    expected = []
    for scenario in scenarios.batch(tiny=True):
        data = forest_problem.make_forest(scenario.n_stands, scenario.seed, scenario.timber_price)
        front = quorvel.find_pareto_front(data, scenario.epsilon)
        expected.append((scenario.region, str(scenario.n_stands), f"{scenario.timber_price:.2f}",
                         f"{scenario.epsilon:g}", str(len(front)),
                         f"{-min(s.target_vector[0] for s in front):,.0f}",
                         f"{-min(s.target_vector[1] for s in front):,.0f}"))
    assert len(expected) > 1
    assert reported == expected
