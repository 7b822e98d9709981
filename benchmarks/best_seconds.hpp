#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <span>
#include <vector>

namespace quorvel::bench {

// The fastest of at least min_runs runs that take min_seconds in total.
template <class Run>
double best_seconds(Run&& run, int min_runs, double min_seconds) {
    double best = INFINITY;
    double total = 0.0;
    for (int runs = 0; runs < min_runs || total < min_seconds; ++runs) {
        const auto start = std::chrono::steady_clock::now();
        run();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = std::min(best, seconds);
        total += seconds;
    }
    return best;
}

// The fastest run of each, taken in turn over the rounds: a round gives each
// at least one run and round_seconds. A spell of load on a shared machine
// then slows every one of them, not only the one running then, and the
// ratios between them hold.
inline std::vector<double> best_seconds_in_turn(std::span<const std::function<void()>> runs,
                                                int rounds, double round_seconds) {
    std::vector<double> best(runs.size(), INFINITY);
    for (int round = 0; round < rounds; ++round)
        for (std::size_t k = 0; k < runs.size(); ++k)
            best[k] = std::min(best[k], best_seconds(runs[k], 1, round_seconds));
    return best;
}

}  // namespace quorvel::bench
