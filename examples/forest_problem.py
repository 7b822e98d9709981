"""The forest problem shared by the examples and the benchmark studies.

Every stand has the same five treatment schedules; a stand's area, fertility,
age and habitat value scale what each schedule yields there. All three
objectives are minimised: -income (EUR), -carbon stock (t), habitat penalty
(points).
"""

import random

SCHEDULES = {
    # name: (income EUR/ha, carbon kept t/ha, habitat penalty points/ha); a
    # stand's penalty points are weighted by its area and its habitat value.
    "no cut": (0.0, 260.0, 0.0),
    "thin": (1400.0, 190.0, 1.5),
    "long rotation": (2300.0, 150.0, 3.0),
    "clear cut": (4200.0, 40.0, 9.0),
    "clear cut + retention": (3600.0, 75.0, 5.5),
}


def add_forest_arguments(parser):
    """The options every script on this problem takes: its size, seed and epsilon."""
    parser.add_argument("--stands", type=int, default=300)
    parser.add_argument("--epsilon", type=float, default=0.01)
    parser.add_argument("--seed", type=int, default=7)


def make_forest(n_stands, seed, timber_price=1.0):
    """data[stand][schedule] = [-income, -carbon, habitat penalty].

    The first n stands are the same for every n with the same seed, so forests
    of different sizes grow from a common core. timber_price scales every
    income (1.0: today's prices).
    """
    rng = random.Random(seed)
    data = []
    for _ in range(n_stands):
        area = rng.uniform(0.5, 12.0)
        fertility = rng.uniform(0.3, 2.0)  # scales timber value
        age = rng.uniform(0.3, 1.8)  # scales the carbon standing today
        habitat = rng.uniform(0.1, 4.0)  # habitat value of the stand
        options = []
        for income, carbon, penalty in SCHEDULES.values():
            options.append([
                -income * timber_price * area * fertility * rng.uniform(0.8, 1.2),
                -carbon * area * age,
                penalty * area * habitat,
            ])
        data.append(options)
    return data
