"""Scenario study: many forest problems solved in parallel with Dask.

Every scenario (region x timber price x epsilon) is an independent problem and
one task. The module holds the interpreter lock while it searches, so tasks
run in worker processes, and its results do not pickle, so each task hands
back plain numpy arrays. By default a local cluster of worker processes is
started; --scheduler connects to a running cluster instead (its workers need
quorvel installed; this script ships the forest module to them).

    python examples/scenarios.py [--scheduler ADDRESS] [--workers 2] [--tiny]
"""

import argparse
import itertools
import time
from typing import NamedTuple

import numpy as np
from dask.distributed import Client

import forest_problem
import quorvel


class Scenario(NamedTuple):
    region: str
    n_stands: int
    seed: int
    timber_price: float
    epsilon: float


REGIONS = {"north": (120, 1), "south": (200, 2), "coast": (80, 3)}  # name: (stands, seed)
TIMBER_PRICES = (0.8, 1.0, 1.3)
EPSILONS = (0.03, 0.01)
TINY_REGIONS = {"north": (15, 1), "coast": (10, 3)}
TINY_PRICES = (1.0, 1.3)
TINY_EPSILONS = (0.05,)


def batch(tiny=False):
    regions, prices, epsilons = ((TINY_REGIONS, TINY_PRICES, TINY_EPSILONS) if tiny
                                 else (REGIONS, TIMBER_PRICES, EPSILONS))
    return [Scenario(region, n_stands, seed, price, epsilon)
            for (region, (n_stands, seed)), price, epsilon
            in itertools.product(regions.items(), prices, epsilons)]


def solve(scenario):
    """Runs in a worker: (designs, targets, seconds), designs one row per plan."""
    data = forest_problem.make_forest(scenario.n_stands, scenario.seed, scenario.timber_price)
    started = time.perf_counter()
    front = quorvel.find_pareto_front(data, scenario.epsilon)
    seconds = time.perf_counter() - started
    # Converted here: the solution objects cannot travel back to the client.
    designs = np.array([solution.design_vector for solution in front], dtype=np.int32)
    targets = np.array([solution.target_vector for solution in front], dtype=float)
    return designs, targets, seconds


def summary(scenario, designs, targets, seconds):
    return (f"{scenario.region:<6} {scenario.n_stands:4d} stands  price x{scenario.timber_price:.2f}  "
            f"epsilon {scenario.epsilon:g}: {len(designs):6d} plans, "
            f"income up to {-targets[:, 0].min():,.0f} EUR, "
            f"carbon up to {-targets[:, 1].min():,.0f} t  ({seconds:.2f} s)")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--scheduler", help="address of a running Dask scheduler")
    parser.add_argument("--workers", type=int, default=2, help="worker processes of the local cluster")
    parser.add_argument("--tiny", action="store_true", help="a batch of a few small problems")
    args = parser.parse_args()

    scenarios = batch(args.tiny)
    client = (Client(args.scheduler) if args.scheduler
              else Client(n_workers=args.workers, threads_per_worker=1, dashboard_address=None))
    with client:
        client.upload_file(forest_problem.__file__)
        futures = client.map(solve, scenarios)
        for scenario, result in zip(scenarios, client.gather(futures)):
            print(summary(scenario, *result))


if __name__ == "__main__":
    main()
