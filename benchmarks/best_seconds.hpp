#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>

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

}  // namespace quorvel::bench
