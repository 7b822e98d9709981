#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "pareto/data_table.hpp"
#include "pareto/internal_failure.hpp"
#include "pareto/objective.hpp"
#include "pareto/solution_list.hpp"

namespace quorvel::testing {

inline DataTable make_table(NestedValues values) {
    auto created = DataTable::create(std::move(values));
    return std::get<DataTable>(std::move(created));
}

// The text of the internal failure the call ends with, or "" if it succeeds.
inline std::string failure_of(const std::function<void()>& call) {
    try {
        call();
    } catch (const InternalFailure& failure) {
        return failure.message();
    }
    return "";
}

// A uniform whole number in [low, high] that does not depend on the standard
// library's distribution algorithms, so tables are the same everywhere.
inline int draw(std::mt19937_64& random, int low, int high) {
    return low + static_cast<int>(random() % static_cast<std::uint64_t>(high - low + 1));
}

inline std::vector<Design> designs_of(const SolutionList& records) {
    std::vector<Design> designs;
    for (const SolutionRecord& record : records.records())
        designs.push_back(record.design.unpacked());
    return designs;
}

inline Target target_of(const SolutionRecord& record) {
    return Target(record.target.begin(), record.target.end());
}

// The same designs in the same order, with bit-identical targets.
inline ::testing::AssertionResult same_records(const SolutionList& actual,
                                               const SolutionList& expected) {
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure()
               << actual.size() << " records, not " << expected.size();
    for (std::size_t i = 0; i < actual.size(); ++i) {
        bool same = actual[i].design == expected[i].design &&
                    actual[i].target.size() == expected[i].target.size();
        for (std::size_t v = 0; same && v < actual[i].target.size(); ++v)
            same = std::bit_cast<std::uint64_t>(actual[i].target[v]) ==
                   std::bit_cast<std::uint64_t>(expected[i].target[v]);
        if (!same) return ::testing::AssertionFailure() << "records differ at row " << i;
    }
    return ::testing::AssertionSuccess();
}

}  // namespace quorvel::testing
