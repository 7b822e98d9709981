// Times the cell coordinates of many values: each batched kernel this
// processor has against one exact cell_coordinate call per value, for runs of
// values as long as one candidate and as long as a batch of candidates, and
// checks that all agree.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "best_seconds.hpp"
#include "pareto/grid.hpp"
#include "pareto/grid_kernels.hpp"

namespace quorvel::bench {
namespace {

constexpr std::size_t kValues = 1 << 16;

// Keeps the results alive.
volatile std::uint32_t coordinate_sink;

// Log-uniform partial targets between 1e-6 and 1e6, as shifted sums look.
std::vector<double> spread_values() {
    std::mt19937_64 random(42);
    std::vector<double> values(kValues);
    for (double& value : values)
        value = std::pow(10.0, -6.0 + 12.0 * std::ldexp(static_cast<double>(random() >> 11), -53));
    return values;
}

// Each run is first written value by value into a scratch buffer, as the
// search writes the sums of its candidates just before their coordinates.
template <class Coordinates>
double seconds_for_all(const std::vector<double>& values, std::size_t run_length,
                       std::vector<std::uint32_t>& out, Coordinates&& coordinates) {
    std::vector<double> run(run_length);
    return best_seconds(
        [&] {
            for (std::size_t first = 0; first + run_length <= values.size(); first += run_length) {
                for (std::size_t i = 0; i < run_length; ++i) run[i] = values[first + i];
                coordinates(run, std::span(out).subspan(first, run_length));
            }
            coordinate_sink = out[values.size() / 2];
        },
        5, 0.3);
}

bool run(const std::vector<double>& values, double epsilon, std::size_t run_length) {
    const double log_step = std::log1p(epsilon);
    const double n_values = static_cast<double>(values.size() / run_length * run_length);
    std::vector<std::uint32_t> exact(values.size());
    const double exact_seconds = seconds_for_all(
        values, run_length, exact, [&](std::span<const double> in, std::span<std::uint32_t> out) {
            for (std::size_t i = 0; i < in.size(); ++i) out[i] = cell_coordinate(in[i], log_step);
        });
    std::printf("%7.0e %6zu %10.1f", epsilon, run_length, n_values / exact_seconds / 1e6);
    bool agree = true;
    double fastest_seconds = 0.0;
    for (const CoordinateKernel& kernel : coordinate_kernels()) {
        std::vector<std::uint32_t> batched(values.size());
        const double seconds =
            seconds_for_all(values, run_length, batched,
                            [&](std::span<const double> in, std::span<std::uint32_t> out) {
                                kernel.run(in, log_step, out);
                            });
        if (fastest_seconds == 0.0) fastest_seconds = seconds;
        agree = agree && exact == batched;
        std::printf(" %10.1f", n_values / seconds / 1e6);
    }
    std::printf(" %7.2fx  %s\n", exact_seconds / fastest_seconds, agree ? "same" : "DIFFERENT");
    return agree;
}

}  // namespace
}  // namespace quorvel::bench

int main() {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf(
        "Million values per second of one exact cell_coordinate per value and of\n"
        "each kernel of cell_coordinates_into (the first is the one it uses), on\n"
        "runs of one candidate (2, 3 values) and of the search's batches of 32\n"
        "candidates (32 x 3, 32 x 4); speedup: first kernel against exact; 1e-10\n"
        "saturates most values.\n\n");
    std::printf("%7s %6s %10s", "epsilon", "run", "exact");
    for (const quorvel::CoordinateKernel& kernel : quorvel::coordinate_kernels())
        std::printf(" %10s", kernel.name);
    std::printf(" %8s  %s\n", "speedup", "check");
    const std::vector<double> values = quorvel::bench::spread_values();
    bool all_agree = true;
    for (double epsilon : {1e-10, 1e-4, 1e-2, 1e-1})
        for (std::size_t run_length : {2, 3, 96, 128})
            all_agree = quorvel::bench::run(values, epsilon, run_length) && all_agree;
    return all_agree ? 0 : 1;
}
