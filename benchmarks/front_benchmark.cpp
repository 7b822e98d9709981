// Times the front search against a straightforward version of the same
// search and against the bare cost of forming its candidates, on generated
// tables, and checks that the two searches agree where ties cannot part them.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <set>
#include <vector>

#include "bare_candidates.hpp"
#include "best_seconds.hpp"
#include "generated_tables.hpp"
#include "pareto/pareto_front.hpp"
#include "straightforward_front.hpp"

namespace quorvel::bench {
namespace {

struct Scenario {
    const char* name;
    TableRecipe recipe;
    double epsilon;
    // Whole numbers on a 1e-7 grid: distinct partial targets never share a
    // cell, so both searches find the same targets; coarser grids may keep
    // different members of a cell.
    bool same_targets_expected;
};

// Keeps the bare loop's result alive.
volatile std::uint64_t checksum_sink;

std::set<Target> targets_of(const std::vector<SolutionRecord>& records) {
    std::set<Target> targets;
    for (const SolutionRecord& record : records) targets.insert(record.target);
    return targets;
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

    const bool agree = !scenario.same_targets_expected ||
                       (targets_of(ours) == targets_of(plain.records) &&
                        ours.size() == plain.records.size());
    std::printf("%-8s %zu %3zux%-3zu %7.0e %6zu %6zu/%-6zu %10.0f %8.2f %8.2f %7.1fx %8.2f %6.2fx"
                "  %s\n",
                scenario.name, table.n_variables, table.n_stands, scenario.recipe.n_options,
                epsilon, largest_front, ours.size(), plain.records.size(), n_candidates,
                n_candidates / ours_seconds / 1e6, plain.candidates / plain_seconds / 1e6,
                plain_seconds / ours_seconds, n_candidates / bare_seconds / 1e6,
                ours_seconds / bare_seconds,
                scenario.same_targets_expected ? (agree ? "same" : "DIFFERENT") : "-");
    return agree;
}

}  // namespace
}  // namespace quorvel::bench

int main() {
    using quorvel::bench::Scenario;
    const Scenario scenarios[] = {
        {"exact-2", {24, 12, 2, true, 1}, 1e-7, true},
        {"grid-2", {30, 12, 2, false, 2}, 5e-4, false},
        {"exact-3", {6, 8, 3, true, 3}, 1e-7, true},
        {"grid-3", {20, 10, 3, false, 4}, 3e-2, false},
        {"exact-4", {5, 6, 4, true, 5}, 1e-7, true},
        {"grid-4", {10, 8, 4, false, 6}, 1e-1, false},
    };
    // Line-buffered even into a pipe, so progress shows as it comes.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf(
        "front: largest front before a stand; final: result size, ours/straightforward;\n"
        "Mcand/s: million candidates per second of this search, the straightforward one\n"
        "and the bare formation of sums and cell coordinates; speedup: straightforward\n"
        "time / ours; /bare: ours / bare time; check: result targets of both compared.\n\n");
    std::printf("%-8s %s %-7s %7s %6s %13s %10s %8s %8s %8s %8s %7s  %s\n", "scenario", "V",
                "SxO", "epsilon", "front", "final", "candidates", "Mcand/s", "plain", "speedup",
                "bare", "/bare", "check");
    bool all_agree = true;
    for (const Scenario& scenario : scenarios)
        all_agree = quorvel::bench::run_scenario(scenario) && all_agree;
    return all_agree ? 0 : 1;
}
