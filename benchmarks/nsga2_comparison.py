"""The front search against NSGA-II (pymoo) on the example's forest problem.

NSGA-II works on one integer variable per stand (the schedule chosen), with
the usual integer set-up: random integer sampling, simulated binary crossover
and polynomial mutation with rounding repair. It runs for as long as the
search took at --epsilon, and for 60 s. Every front is measured against the
best front known (the non-dominated union of all of them and of the search at
the finest epsilon). Writes results/nsga2_comparison.{csv,md}; about two
minutes.

    python benchmarks/nsga2_comparison.py [--stands 300] [--epsilon 0.01]
"""

import argparse

import numpy as np
from pymoo.algorithms.moo.nsga2 import NSGA2
from pymoo.core.problem import Problem
from pymoo.operators.crossover.sbx import SBX
from pymoo.operators.mutation.pm import PM
from pymoo.operators.repair.rounding import RoundingRepair
from pymoo.operators.sampling.rnd import IntegerRandomSampling
from pymoo.optimize import minimize
from pymoo.termination.max_time import TimeBasedTermination

from forest_fronts import BestKnown, add_forest_arguments, make_forest, timed_front, write_table

FINEST_EPSILON = 0.003
LONG_BUDGET = 60.0


class ScheduleChoice(Problem):
    """x[stand] = the option chosen there; targets are the summed values."""

    def __init__(self, data):
        self.values = np.array(data, dtype=float)  # stand, option, variable
        n_stands, n_options, n_variables = self.values.shape
        super().__init__(n_var=n_stands, n_obj=n_variables, xl=0, xu=n_options - 1, vtype=int)
        self.stands = np.arange(n_stands)

    def _evaluate(self, x, out, *args, **kwargs):
        out["F"] = self.values[self.stands, x.astype(int)].sum(axis=1)


def nsga2_front(data, seconds, population, seed):
    algorithm = NSGA2(
        pop_size=population,
        sampling=IntegerRandomSampling(),
        crossover=SBX(prob=1.0, eta=3.0, vtype=float, repair=RoundingRepair()),
        mutation=PM(prob=1.0, eta=3.0, vtype=float, repair=RoundingRepair()),
        eliminate_duplicates=True,
    )
    result = minimize(ScheduleChoice(data), algorithm, TimeBasedTermination(seconds), seed=seed)
    return np.atleast_2d(result.F), result.algorithm.n_gen


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    add_forest_arguments(parser)
    parser.add_argument("--population", type=int, default=200)
    args = parser.parse_args()

    data = make_forest(args.stands, args.seed)
    search, search_seconds = timed_front(data, args.epsilon)
    finest, finest_seconds = timed_front(data, FINEST_EPSILON)
    runs = [(f"search, epsilon {args.epsilon}", search_seconds, search),
            (f"search, epsilon {FINEST_EPSILON}", finest_seconds, finest)]
    for budget in (search_seconds, LONG_BUDGET):
        points, generations = nsga2_front(data, budget, args.population, args.seed)
        runs.append((f"NSGA-II, population {args.population}, {generations} generations", budget, points))

    best = BestKnown([points for _, _, points in runs])
    rows = [{"method": name, "seconds": seconds, "front size": len(points), **best.distance(points)}
            for name, seconds, points in runs]
    print(f"{args.stands} stands; best front known: {len(best.points)} points")
    print(write_table("nsga2_comparison", rows))


if __name__ == "__main__":
    main()
