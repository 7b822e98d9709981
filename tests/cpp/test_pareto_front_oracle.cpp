// Compares the search with the front of all designs, enumerated outright, on
// many small random tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <vector>

#include "pareto/grid.hpp"
#include "pareto/pareto_front.hpp"
#include "test_pareto_front_support.hpp"

namespace quorvel {
namespace {

using testing::draw;
using testing::make_table;
using testing::target_of;

bool dominates(const Target& a, const Target& b) {
    bool better = false;
    for (std::size_t v = 0; v < a.size(); ++v) {
        if (a[v] > b[v]) return false;
        better = better || a[v] < b[v];
    }
    return better;
}

std::vector<Design> all_designs(const NestedValues& values) {
    std::vector<Design> designs{{}};
    for (const auto& stand : values) {
        std::vector<Design> longer;
        for (const Design& prefix : designs)
            for (std::size_t option = 0; option < stand.size(); ++option) {
                longer.push_back(prefix);
                longer.back().push_back(option);
            }
        designs = std::move(longer);
    }
    return designs;
}

struct TableShape {
    std::size_t n_stands;
    std::size_t n_variables;
    std::vector<std::size_t> n_options;
};

// Mostly up to five stands of up to four options; one table in five has
// two stands of many options instead.
TableShape random_shape(std::mt19937_64& random) {
    const bool wide = draw(random, 0, 4) == 0;
    TableShape shape{wide ? 2u : static_cast<std::size_t>(draw(random, 2, 5)),
                     static_cast<std::size_t>(draw(random, 1, 4)), {}};
    for (std::size_t s = 0; s < shape.n_stands; ++s) {
        const int n_options = wide ? draw(random, 5, 40) : draw(random, 1, 4);
        shape.n_options.push_back(static_cast<std::size_t>(n_options));
    }
    return shape;
}

// Values are a per-variable base plus a whole multiple of 2^27. Against
// numbers that large the 1e-9 offsets of the shifted table, even five of
// them added up, round away exactly, so the search compares the same exact
// sums as the enumeration, and a grid step of 1e-7 separates every two
// distinct sums.
NestedValues exact_table(std::mt19937_64& random, const TableShape& shape) {
    constexpr double kUnit = 134217728.0;
    std::vector<double> base;
    for (std::size_t v = 0; v < shape.n_variables; ++v)
        base.push_back(kUnit * draw(random, -8, 8));
    NestedValues values(shape.n_stands);
    for (std::size_t s = 0; s < shape.n_stands; ++s)
        for (std::size_t o = 0; o < shape.n_options[s]; ++o) {
            values[s].emplace_back();
            for (std::size_t v = 0; v < shape.n_variables; ++v)
                values[s][o].push_back(base[v] + kUnit * draw(random, 0, 5));
        }
    return values;
}

TEST(ParetoFrontOracle, FineGridFindsTheExactFront) {
    std::mt19937_64 random(101);
    for (int trial = 0; trial < 400; ++trial) {
        const TableShape shape = random_shape(random);
        const NestedValues values = exact_table(random, shape);
        const DataTable table = make_table(values);

        std::vector<Target> targets;
        for (const Design& design : all_designs(values))
            targets.push_back(compute_objective(design, table));
        std::set<Target> expected;
        for (const Target& candidate : targets)
            if (std::none_of(targets.begin(), targets.end(),
                             [&](const Target& other) { return dominates(other, candidate); }))
                expected.insert(candidate);

        const auto records = build_pareto_front(table, 1e-7);
        std::multiset<Target> found;
        for (const SolutionRecord& record : records.records()) {
            EXPECT_EQ(target_of(record), compute_objective(record.design.unpacked(), table));
            found.insert(target_of(record));
        }
        EXPECT_EQ(found, std::multiset<Target>(expected.begin(), expected.end()))
            << "trial " << trial;
    }
}

// The partial target the search works with: the sum, in stand order, of the
// values moved so that each variable's minimum becomes 1e-9.
Target shifted_target(const NestedValues& values, const Design& design) {
    const std::size_t n_variables = values[0][0].size();
    Target minima(n_variables, INFINITY);
    for (const auto& stand : values)
        for (const auto& option : stand)
            for (std::size_t v = 0; v < n_variables; ++v)
                minima[v] = std::min(minima[v], option[v]);
    Target sum(n_variables, 0.0);
    for (std::size_t s = 0; s < values.size(); ++s)
        for (std::size_t v = 0; v < n_variables; ++v)
            sum[v] += (values[s][design[s]][v] - minima[v]) + kValueOffset;
    return sum;
}

NestedValues real_table(std::mt19937_64& random, const TableShape& shape) {
    std::uniform_real_distribution<double> value(-5.0, 20.0);
    NestedValues values(shape.n_stands);
    for (std::size_t s = 0; s < shape.n_stands; ++s)
        for (std::size_t o = 0; o < shape.n_options[s]; ++o) {
            values[s].emplace_back();
            for (std::size_t v = 0; v < shape.n_variables; ++v)
                values[s][o].push_back(value(random));
        }
    return values;
}

// Each stand after the first loses at most one cell width: a candidate
// either represents its cell, or the cell's representative lies within a
// factor 1 + epsilon of it on the 1 + x + 1e-9 scale, and the filter only
// swaps a representative for one that dominates it. So for every design d
// some returned r satisfies, in every variable,
//   1 + r + 1e-9 <= (1 + epsilon)^(S - 1) * (1 + d + 1e-9)
// with r and d the shifted targets; the slack covers rounding.
TEST(ParetoFrontOracle, CoarseGridStaysWithinTheCellBound) {
    std::mt19937_64 random(202);
    for (const double epsilon : {0.02, 0.3, 1.0, 4.0}) {
        for (int trial = 0; trial < 100; ++trial) {
            const TableShape shape = random_shape(random);
            const NestedValues values = real_table(random, shape);
            const DataTable table = make_table(values);
            const double factor =
                std::pow(1.0 + epsilon, static_cast<double>(shape.n_stands - 1)) * (1.0 + 1e-9);

            std::vector<Target> returned;
            const SolutionList records = build_pareto_front(table, epsilon);
            for (const SolutionRecord& record : records.records())
                returned.push_back(shifted_target(values, record.design.unpacked()));
            for (const Target& a : returned)
                for (const Target& b : returned) EXPECT_FALSE(dominates(a, b));

            for (const Design& design : all_designs(values)) {
                const Target target = shifted_target(values, design);
                const bool covered =
                    std::any_of(returned.begin(), returned.end(), [&](const Target& r) {
                        for (std::size_t v = 0; v < r.size(); ++v)
                            if (1.0 + r[v] + kValueOffset >
                                factor * (1.0 + target[v] + kValueOffset))
                                return false;
                        return true;
                    });
                EXPECT_TRUE(covered) << "epsilon " << epsilon << ", trial " << trial;
            }
        }
    }
}

}  // namespace
}  // namespace quorvel
