// Times the front search against a straightforward version of the same
// search and against the bare cost of forming its candidates, on generated
// tables, and checks that both return the same list in the same order.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
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
    std::function<DataTable()> table;
    double epsilon;
};

// Keeps the bare loop's result alive.
volatile std::uint64_t checksum_sink;

bool same_list(const SolutionList& a, const SolutionList& b) {
    return std::ranges::equal(a.records(), b.records(),
                              [](const SolutionRecord& x, const SolutionRecord& y) {
                                  return x.design == y.design &&
                                         std::ranges::equal(x.target, y.target);
                              });
}

std::size_t largest_front_of(const CandidateInputs& inputs, std::size_t n_variables) {
    std::size_t largest = 0;
    for (const auto& front : inputs.fronts) largest = std::max(largest, front.size() / n_variables);
    return largest;
}

bool run_scenario(const Scenario& scenario) {
    const DataTable table = scenario.table();
    const double epsilon = scenario.epsilon;
    const CandidateInputs inputs = candidate_inputs(table, epsilon);
    const std::size_t largest_front = largest_front_of(inputs, table.n_variables);
    const double n_candidates = static_cast<double>(inputs.count());

    std::optional<SolutionList> ours;
    const std::function<void()> runs[] = {
        [&] { ours = build_pareto_front(table, epsilon); },
        [&] { checksum_sink = form_candidates(inputs, std::log1p(epsilon)); },
    };
    const std::vector<double> best = best_seconds_in_turn(runs, 5, 0.2);
    const double ours_seconds = best[0];
    const double bare_seconds = best[1];
    std::optional<StraightforwardResult> plain;
    const double plain_seconds =
        best_seconds([&] { plain = straightforward_front(table, epsilon); }, 1, 0.0);

    const bool agree = same_list(*ours, plain->records);
    std::printf("%-8s %zu %3zux%-3zu %7.0e %6zu %6zu/%-6zu %10.0f %8.2f %8.2f %7.1fx %8.2f %6.2fx"
                "  %s\n",
                scenario.name, table.n_variables, table.n_stands, table.n_options[1],
                epsilon, largest_front, ours->size(), plain->records.size(), n_candidates,
                n_candidates / ours_seconds / 1e6, plain->candidates / plain_seconds / 1e6,
                plain_seconds / ours_seconds, n_candidates / bare_seconds / 1e6,
                ours_seconds / bare_seconds,
                agree ? "same" : "DIFFERENT");
    return agree;
}

// A table with a front of a given size from the first stand on, and what
// forming its candidates needs.
struct ScaleCase {
    DataTable table;
    double epsilon;
    CandidateInputs inputs;
    std::size_t largest_front;

    ScaleCase(std::size_t n_variables, std::size_t front_size, double epsilon)
        : table(seeded_front_table(n_variables, front_size, 5, 8, 11)),
          epsilon(epsilon),
          inputs(candidate_inputs(table, epsilon)),
          largest_front(largest_front_of(inputs, n_variables)) {}

    std::function<void()> search() const {
        return [this] { (void)build_pareto_front(table, epsilon); };
    }
    std::function<void()> bare() const {
        return [this] { checksum_sink = form_candidates(inputs, std::log1p(epsilon)); };
    }
    double candidates() const { return static_cast<double>(inputs.count()); }
};

// Throughput at a small and a large front, in candidates per second and
// against the bare cost of forming them. The four runs take turns, so that
// the share kept at the large front compares runs of the same moments, and
// each repeats its call to last about as long as one large search: on a
// shared machine the fastest of hundreds of short calls catches quiet
// moments that no long call spans, so single calls would set the luckiest
// milliseconds of the small front against whole seconds of the large one.
// The grids keep the fronts near their first size: finer for fewer
// variables.
void run_scale(std::size_t n_variables, double small_epsilon, double large_epsilon) {
    const ScaleCase small(n_variables, 3'000, small_epsilon);
    const ScaleCase large(n_variables, 500'000, large_epsilon);
    const std::function<void()> calls[] = {small.search(), small.bare(), large.search(),
                                           large.bare()};
    std::vector<double> once;
    for (const std::function<void()>& call : calls) once.push_back(best_seconds(call, 1, 0.0));
    const double span = once[2];
    std::vector<std::size_t> repeats;
    std::vector<std::function<void()>> runs;
    for (std::size_t k = 0; k < once.size(); ++k) {
        repeats.push_back(std::max<std::size_t>(1, std::lround(span / once[k])));
        runs.push_back([&call = calls[k], n = repeats.back()] {
            for (std::size_t r = 0; r < n; ++r) call();
        });
    }
    std::vector<double> best = best_seconds_in_turn(runs, 5, 0.0);
    for (std::size_t k = 0; k < best.size(); ++k) best[k] /= static_cast<double>(repeats[k]);
    const double small_rate = small.candidates() / best[0];
    const double large_rate = large.candidates() / best[2];
    std::printf("%zu %8zu %8.2f %6.2fx %8zu %8.2f %6.2fx %9.0f%%\n", n_variables,
                small.largest_front, small_rate / 1e6, best[0] / best[1], large.largest_front,
                large_rate / 1e6, best[2] / best[3], 100.0 * large_rate / small_rate);
}

}  // namespace
}  // namespace quorvel::bench

int main() {
    using quorvel::bench::Scenario;
    using quorvel::bench::TableRecipe;
    const auto generated = [](TableRecipe recipe) {
        return [recipe] { return quorvel::bench::generated_table(recipe); };
    };
    const Scenario scenarios[] = {
        {"exact-2", generated({24, 12, 2, true, 1}), 1e-7},
        {"grid-2", generated({30, 12, 2, false, 2}), 5e-4},
        {"exact-3", generated({6, 8, 3, true, 3}), 1e-7},
        {"grid-3", generated({20, 10, 3, false, 4}), 3e-2},
        {"exact-4", generated({5, 6, 4, true, 5}), 1e-7},
        {"grid-4", generated({10, 8, 4, false, 6}), 1e-1},
        {"unif-4", [] { return quorvel::bench::uniform_table(15, 8, 4, 100.0, 7); }, 1e-1},
        {"apart-2", [] { return quorvel::bench::ordered_pair_table(10'000, false, 8); }, 1e-7},
        {"crowd-2", [] { return quorvel::bench::ordered_pair_table(100'000, true, 9); }, 1e-5},
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

    std::printf(
        "\nBy front size: fronts of about 3,000 and 500,000 points from the first stand on,\n"
        "4 more stands of 8 options; front: the largest; Mcand/s and /bare as above, each\n"
        "the fastest of 5 runs of calls as long as one large search; kept: throughput at\n"
        "the large front as a share of that at the small one.\n\n");
    std::printf("%s %8s %8s %7s %8s %8s %7s %10s\n", "V", "front", "Mcand/s", "/bare", "front",
                "Mcand/s", "/bare", "kept");
    quorvel::bench::run_scale(2, 5e-4, 5e-7);
    quorvel::bench::run_scale(3, 1e-2, 1e-3);
    quorvel::bench::run_scale(4, 3e-2, 5e-3);
    quorvel::bench::run_scale(5, 5e-2, 1e-2);
    return all_agree ? 0 : 1;
}
