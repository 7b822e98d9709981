"""A signal whose handler raises (Ctrl-C) ends a long call promptly.

The call holds the interpreter lock, so a real-time timer re-armed every few
milliseconds sends the signal; the delay from its expiry to the handler, which
runs only when the call polls, is the reaction time. Once the call is in the
phase under test the handler raises through Ctrl-C's own handler.
"""

import gc
import random
import signal
import sys
import time

import pytest

import quorvel

PERIOD = 0.005
# Far above the reaction time aimed at (0.2 s), for a loaded or sanitized run.
BOUND = 2.0
TWO_STANDS = [[[0.0], [1.0]], [[0.0], [2.0]]]


class Interrupter:
    """The call's second argument: converting it, the last step before the
    computation, starts the timer."""

    def __init__(self, value, ready):
        self.value, self.ready, self.reactions = value, ready, []

    def __float__(self):
        self.started = time.monotonic()
        self.arm()
        return float(self.value)

    def __index__(self):
        return int(self.__float__())

    def arm(self):
        self.due = time.monotonic() + PERIOD
        signal.setitimer(signal.ITIMER_REAL, PERIOD)

    def handle(self, signum, frame):
        now = time.monotonic()
        self.reactions.append(now - self.due)
        if self.ready(now - self.started):
            signal.default_int_handler(signal.SIGINT, frame)
        self.arm()


def wide_front_data():
    # Options on the line x + y = 1 never dominate one another, so the front
    # stays thousands wide: each stand takes long, the whole call minutes.
    rng = random.Random(7)
    return [[[x, 1.0 - x] for x in (rng.random() for _ in range(3000))]] * 100


def solutions_alive():
    # Every instance holds a reference to its class.
    return sys.getrefcount(quorvel.ParetoFrontSolution)


PHASES = {
    # (call, data, epsilon or n, ready(elapsed, objects built))
    "front search": (quorvel.find_pareto_front, wide_front_data, 1e-3,
                     lambda elapsed, built: elapsed > 0.3),
    "sampling": (quorvel.create_random_points, lambda: TWO_STANDS, 8_000_000,
                 lambda elapsed, built: elapsed > 0.1),
    # Sampling polls only every million draws and building every million
    # objects, so just over a million points reach a poll while building.
    "building results": (quorvel.create_random_points, lambda: TWO_STANDS, 1_100_000,
                         lambda elapsed, built: built > 0),
}


@pytest.mark.parametrize("phase", PHASES)
def test_signal_ends_a_long_call_promptly(phase):
    function, make_data, second, ready = PHASES[phase]
    data = make_data()
    gc.collect()
    before = solutions_alive()
    built = []

    def ready_now(elapsed):
        built.append(solutions_alive() - before)
        return ready(elapsed, built[-1])

    timer = Interrupter(second, ready_now)
    previous = signal.signal(signal.SIGALRM, timer.handle)
    try:
        with pytest.raises(KeyboardInterrupt):
            function(data, timer)
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        signal.signal(signal.SIGALRM, previous)

    assert timer.reactions, "the call never polled for signals"
    assert max(timer.reactions) < BOUND, f"a signal waited {max(timer.reactions):.3f} s"
    # Stopped inside the call, in the phase under test.
    assert (0 < built[-1] < second) if phase == "building results" else built[-1] == 0
    assert solutions_alive() == before
    assert len(quorvel.create_random_points(TWO_STANDS, 3)) == 3
