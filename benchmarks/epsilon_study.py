"""How epsilon and the number of stands set front size, run time and error.

Sweeps epsilon for forests of several sizes (the example's problem), measures
each front against the best front known for that forest (the non-dominated
union of all fronts found for it; in practice the finest one), and shows what
the units of the objectives do at a fixed epsilon. Writes
results/epsilon_study.{csv,md}, results/epsilon_units.{csv,md} and
results/epsilon_study.png. A minute or two on two cores.

    python benchmarks/epsilon_study.py
"""

import argparse

from forest_fronts import RESULTS, BestKnown, make_forest, timed_front, write_table

STANDS = (50, 100, 200, 300)
# The finest value keeps one search of 300 stands under about 15 s.
EPSILONS = (0.1, 0.03, 0.01, 0.005, 0.003)
UNITS_STANDS, UNITS_EPSILON = 100, 0.01
UNIT_SCALES = (1.0, 1e-3, 1e-5, 1e-7)


def sweep(seed):
    rows = []
    for n_stands in STANDS:
        data = make_forest(n_stands, seed)
        fronts = {epsilon: timed_front(data, epsilon) for epsilon in EPSILONS}
        best = BestKnown([points for points, _ in fronts.values()])
        for epsilon, (points, seconds) in fronts.items():
            rows.append({"stands": n_stands, "epsilon": epsilon, "front size": len(points),
                         "seconds": seconds, **best.distance(points)})
        print(f"{n_stands} stands done", flush=True)
    return rows


def units(seed):
    """Front size of one forest with its values in ever larger units."""
    data = make_forest(UNITS_STANDS, seed)
    rows = []
    for scale in UNIT_SCALES:
        scaled = [[[value * scale for value in option] for option in stand] for stand in data]
        points, seconds = timed_front(scaled, UNITS_EPSILON)
        rows.append({"scale": scale, "largest total": abs(points).max(), "front size": len(points),
                     "seconds": seconds})
    return rows


def plot(rows, path):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    # Error is drawn against epsilon x stands: that product, not epsilon
    # alone, decides it.
    panels = (("front size", "epsilon", "log"), ("seconds", "epsilon", "log"),
              ("additive epsilon", "epsilon x stands", "log"),
              ("hypervolume share", "epsilon x stands", "linear"))
    fig, axes = plt.subplots(2, 2, figsize=(9, 6.5))
    for ax, (column, along, scale) in zip(axes.flat, panels):
        for n_stands in STANDS:
            mine = [row for row in rows if row["stands"] == n_stands]
            factor = n_stands if along == "epsilon x stands" else 1
            ax.plot([row["epsilon"] * factor for row in mine], [row[column] for row in mine],
                    marker="o", markersize=3, label=f"{n_stands} stands")
        ax.set_xscale("log")
        ax.set_yscale(scale)
        ax.set_xlabel(along)
        ax.set_ylabel(column)
        ax.grid(True, which="major", alpha=0.3)
    axes[0][0].legend()
    fig.suptitle("Forest problem: size, time and distance to the best front known")
    fig.tight_layout()
    fig.savefig(path, dpi=80)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seed", type=int, default=7)
    args = parser.parse_args()

    rows = sweep(args.seed)
    print(write_table("epsilon_study", rows))
    print(f"{UNITS_STANDS} stands at epsilon {UNITS_EPSILON}, values multiplied by scale:")
    print(write_table("epsilon_units", units(args.seed)))
    plot(rows, RESULTS / "epsilon_study.png")
    print(f"plot saved to {RESULTS / 'epsilon_study.png'}")


if __name__ == "__main__":
    main()
