// Times the front search against a straightforward version of the same
// search and against the bare cost of forming its candidates, on generated
// tables, and checks that both return the same list in the same order.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "bare_candidates.hpp"
#include "generated_tables.hpp"
#include "pareto/pareto_front.hpp"
#include "straightforward_front.hpp"

namespace quorvel::bench {
namespace {

struct Scenario {
    const char* name;
    TableRecipe recipe;
    double epsilon;
};

// Keeps the bare loop's result alive.
volatile std::uint64_t checksum_sink;

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

bool same_list(const std::vector<SolutionRecord>& a, const std::vector<SolutionRecord>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const SolutionRecord& x, const SolutionRecord& y) {
                          return x.design == y.design && x.target == y.target;
                      });
}

bool run_scenario(const Scenario& scenario) {
    const DataTable table = generated_table(scenario.recipe);
    const double epsilon = scenario.epsilon;
    const CandidateInputs inputs = candidate_inputs(table, epsilon);
    std::size_t largest_front = 0;
    for (const auto& front : inputs.fronts)
        largest_front = std::max(largest_front, front.size() / table.n_variables);
    const double n_candidates = static_cast<double>(inputs.count());

    std::vector<SolutionRecord> ours;
    const double ours_seconds =
        best_seconds([&] { ours = build_pareto_front(table, epsilon); }, 3, 1.0);
    StraightforwardResult plain;
    const double plain_seconds =
        best_seconds([&] { plain = straightforward_front(table, epsilon); }, 1, 0.0);
    const double bare_seconds = best_seconds(
        [&] { checksum_sink = form_candidates(inputs, std::log1p(epsilon)); }, 3, 1.0);

    const bool agree = same_list(ours, plain.records);
    std::printf("%-8s %zu %3zux%-3zu %7.0e %6zu %6zu/%-6zu %10.0f %8.2f %8.2f %7.1fx %8.2f %6.2fx"
                "  %s\n",
                scenario.name, table.n_variables, table.n_stands, scenario.recipe.n_options,
                epsilon, largest_front, ours.size(), plain.records.size(), n_candidates,
                n_candidates / ours_seconds / 1e6, plain.candidates / plain_seconds / 1e6,
                plain_seconds / ours_seconds, n_candidates / bare_seconds / 1e6,
                ours_seconds / bare_seconds,
                agree ? "same" : "DIFFERENT");
    return agree;
}

}  // namespace
}  // namespace quorvel::bench

int main() {
    using quorvel::bench::Scenario;
    const Scenario scenarios[] = {
        {"exact-2", {24, 12, 2, true, 1}, 1e-7},
        {"grid-2", {30, 12, 2, false, 2}, 5e-4},
        {"exact-3", {6, 8, 3, true, 3}, 1e-7},
        {"grid-3", {20, 10, 3, false, 4}, 3e-2},
        {"exact-4", {5, 6, 4, true, 5}, 1e-7},
        {"grid-4", {10, 8, 4, false, 6}, 1e-1},
    };
    // Line-buffered even into a pipe, so progress shows as it comes.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf(
        "front: largest front before a stand; final: result size, ours/straightforward;\n"
        "Mcand/s: million candidates per second of this search, the straightforward one\n"
        "and the bare formation of sums and cell coordinates; speedup: straightforward\n"
        "time / ours; /bare: ours / bare time; check: both lists compared in order.\n\n");
    std::printf("%-8s %s %-7s %7s %6s %13s %10s %8s %8s %8s %8s %7s  %s\n", "scenario", "V",
                "SxO", "epsilon", "front", "final", "candidates", "Mcand/s", "plain", "speedup",
                "bare", "/bare", "check");
    bool all_agree = true;
    for (const Scenario& scenario : scenarios)
        all_agree = quorvel::bench::run_scenario(scenario) && all_agree;
    return all_agree ? 0 : 1;
}
