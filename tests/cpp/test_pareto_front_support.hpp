#pragma once

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <variant>

#include "pareto/data_table.hpp"
#include "pareto/internal_failure.hpp"

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

}  // namespace quorvel::testing
