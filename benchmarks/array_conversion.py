"""Times the conversion of `data` given as float64 numpy arrays against the
same values as lists: create_random_points(data, 0), which converts and
validates the table but draws nothing, on 20,000 stands x 10 options x 2
variables.

    python benchmarks/array_conversion.py                   # the importable quorvel
    python benchmarks/array_conversion.py BUILD_DIR ...     # builds side by side

Each BUILD_DIR holds a built quorvel module (e.g. build/x/src/binding). The
builds run in turn, each in a fresh process per round, and every figure is
the fastest of all rounds; ratios are against the lists of the same build and
against the same form in the first build.
"""

import argparse
import json
import math
import os
import subprocess
import sys
import time

SHAPE = (20_000, 10, 2)


def fastest_times(repeats):
    import numpy as np

    import quorvel

    values = np.random.default_rng(0).random(SHAPE)
    forms = {
        "lists": values.tolist(),
        "3-D array": values,
        "list of 2-D arrays": list(values),
        "lists of 1-D arrays": [list(stand) for stand in values],
    }
    best = {}
    for name, data in forms.items():
        best[name] = math.inf
        for _ in range(repeats):
            start = time.perf_counter()
            quorvel.create_random_points(data, 0)
            best[name] = min(best[name], time.perf_counter() - start)
    return best


def times_in_child(build, repeats):
    environment = dict(os.environ, PYTHONPATH=os.path.abspath(build))
    command = [sys.executable, __file__, "--json", "--repeats", str(repeats)]
    done = subprocess.run(command, env=environment, capture_output=True, text=True, check=True)
    return json.loads(done.stdout)


def print_table(best):
    builds = list(best)
    print(f"{'form':<22}{'build':<40}{'ms':>8}{'vs lists':>10}{'vs first':>10}")
    for form in best[builds[0]]:
        for build in builds:
            seconds = best[build][form]
            print(f"{form:<22}{build:<40}{seconds * 1e3:>8.1f}"
                  f"{seconds / best[build]['lists']:>10.2f}"
                  f"{seconds / best[builds[0]][form]:>10.2f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("builds", nargs="*", help="directories holding a built quorvel module")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--repeats", type=int, default=5, help="calls per form and round")
    parser.add_argument("--json", action="store_true", help="print this process's figures as JSON")
    args = parser.parse_args()

    if args.json:
        print(json.dumps(fastest_times(args.repeats)))
        return
    if not args.builds:
        print_table({"importable": fastest_times(args.repeats * args.rounds)})
        return
    best = {build: {} for build in args.builds}
    for _ in range(args.rounds):
        for build in args.builds:
            for form, seconds in times_in_child(build, args.repeats).items():
                best[build][form] = min(best[build].get(form, math.inf), seconds)
    print_table(best)


if __name__ == "__main__":
    main()
