"""What the benchmark studies share: the example's forest problem, timed front
searches, and how close a set of targets comes to the best front known.

Closeness is measured on objectives scaled so that the best front known spans
[0, 1] in each: the share of its hypervolume (reference point 1.1 in every
objective) that a set reaches, and the additive epsilon indicator, the
smallest amount by which the set must be shifted to weakly dominate every
point of the best front known.
"""

import csv
import sys
import time
from pathlib import Path

import moocore
import numpy as np

import quorvel

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "examples"))
from forest_problem import add_forest_arguments, make_forest  # noqa: E402

__all__ = ["RESULTS", "BestKnown", "add_forest_arguments", "make_forest", "targets", "timed_front",
           "write_table"]

RESULTS = Path(__file__).resolve().parent / "results"
HYPERVOLUME_REFERENCE = 1.1


def targets(solutions):
    """The target vectors of solutions as one (n, variables) array."""
    return np.array([s.target_vector for s in solutions], dtype=float)


def timed_front(data, epsilon):
    """(targets of the front, seconds the search took)."""
    started = time.perf_counter()
    front = quorvel.find_pareto_front(data, epsilon)
    return targets(front), time.perf_counter() - started


class BestKnown:
    """The non-dominated union of every set found for one problem."""

    def __init__(self, sets):
        self.points = moocore.filter_dominated(np.vstack(sets))
        self.lower = self.points.min(axis=0)
        self.span = self.points.max(axis=0) - self.lower
        self.normalised = self.normalise(self.points)
        self.hypervolume = moocore.hypervolume(self.normalised, ref=HYPERVOLUME_REFERENCE)

    def normalise(self, points):
        return (points - self.lower) / self.span

    def distance(self, points):
        """{"hypervolume share": ..., "additive epsilon": ...} of points."""
        scaled = self.normalise(points)
        return {
            "hypervolume share": moocore.hypervolume(scaled, ref=HYPERVOLUME_REFERENCE) / self.hypervolume,
            "additive epsilon": moocore.epsilon_additive(scaled, self.normalised),
        }


def write_table(name, rows):
    """Writes rows (dicts with the same keys) to results/NAME.csv and
    results/NAME.md; returns the markdown text."""
    RESULTS.mkdir(exist_ok=True)
    columns = list(rows[0])
    with open(RESULTS / f"{name}.csv", "w", newline="") as out:
        writer = csv.DictWriter(out, columns)
        writer.writeheader()
        writer.writerows(rows)
    lines = ["| " + " | ".join(columns) + " |", "|" + "---|" * len(columns)]
    lines += ["| " + " | ".join(_cell(row[c]) for c in columns) + " |" for row in rows]
    markdown = "\n".join(lines) + "\n"
    (RESULTS / f"{name}.md").write_text(markdown)
    return markdown


def _cell(value):
    if isinstance(value, float):
        return f"{value:.3g}" if abs(value) < 1000 else f"{value:,.0f}"
    if isinstance(value, int):
        return f"{value:,}"
    return str(value)
