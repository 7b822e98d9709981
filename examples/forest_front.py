"""Trade-offs of a forest plan: income, carbon stock and habitat.

Builds a forest of a few hundred stands, each with several treatment
schedules, finds the approximate Pareto front of the three objectives and
compares it with a cloud of random plans. Prints a short summary and saves a
plot of the front against the random cloud.

    python examples/forest_front.py [--stands 300] [--epsilon 0.01] [--output front.png]
"""

import argparse
import time

import quorvel
from forest_problem import SCHEDULES, add_forest_arguments, make_forest


def summarise(name, solutions):
    income = [-s.target_vector[0] for s in solutions]
    carbon = [-s.target_vector[1] for s in solutions]
    habitat = [s.target_vector[2] for s in solutions]
    print(f"{name}: {len(solutions)} plans")
    print(f"  income   {min(income) + 0.0:12,.0f} .. {max(income):12,.0f} EUR")
    print(f"  carbon   {min(carbon):12,.0f} .. {max(carbon):12,.0f} t")
    print(f"  habitat  {min(habitat):12,.1f} .. {max(habitat):12,.1f} penalty points")


def plot(front, cloud, path):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    from matplotlib.legend_handler import HandlerTuple
    from matplotlib.lines import Line2D

    fig, ax = plt.subplots(figsize=(8, 6))
    random_points = ax.scatter([-s.target_vector[0] / 1e3 for s in cloud],
                               [-s.target_vector[1] / 1e3 for s in cloud], s=6, c="lightgray")
    habitat = [s.target_vector[2] for s in front]
    points = ax.scatter([-s.target_vector[0] / 1e3 for s in front],
                        [-s.target_vector[1] / 1e3 for s in front],
                        s=10, c=habitat, cmap="viridis_r")
    fig.colorbar(points, ax=ax, label="habitat penalty (points, lower is better)")
    # The front's points are coloured by habitat, so its legend entry shows
    # the colours of its lowest, middle and highest penalties.
    spread = sorted(habitat)
    front_marker = tuple(Line2D([], [], linestyle="", marker="o", markersize=5,
                                color=points.cmap(points.norm(value)))
                         for value in (spread[0], spread[len(spread) // 2], spread[-1]))
    ax.legend([random_points, front_marker],
              [f"random plans ({len(cloud)})", f"Pareto front ({len(front)})"],
              handler_map={tuple: HandlerTuple(ndivide=None)}, loc="lower left")
    ax.set_xlabel("income (thousand EUR)")
    ax.set_ylabel("carbon stock (thousand t)")
    ax.set_title("Forest plans: approximate Pareto front against random plans\n"
                 "colour: habitat penalty, the third objective")
    fig.tight_layout()
    fig.savefig(path, dpi=120)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    add_forest_arguments(parser)
    parser.add_argument("--random-plans", type=int, default=5000)
    parser.add_argument("--output", default="front.png")
    args = parser.parse_args()

    data = make_forest(args.stands, args.seed)
    print(f"{args.stands} stands x {len(SCHEDULES)} schedules, 3 objectives, epsilon {args.epsilon}")

    started = time.perf_counter()
    front = quorvel.find_pareto_front(data, args.epsilon)
    elapsed = time.perf_counter() - started
    cloud = quorvel.create_random_points(data, args.random_plans)

    summarise(f"front (found in {elapsed:.2f} s)", front)
    summarise("random", cloud)
    best_random = max(-s.target_vector[0] for s in cloud)
    richer = sum(1 for s in front if -s.target_vector[0] > best_random)
    print(f"{richer} front plans earn more than the best random plan")

    try:
        plot(front, cloud, args.output)
    except ImportError:
        print("matplotlib is not installed: pip install 'quorvel[plot]' to save the plot")
    else:
        print(f"plot saved to {args.output}")


if __name__ == "__main__":
    main()
