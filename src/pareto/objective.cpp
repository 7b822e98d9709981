#include "objective.hpp"

#include <algorithm>
#include <array>
#include <string>
#include <type_traits>

#include "internal_failure.hpp"
#include "width_dispatch.hpp"

namespace quorvel {

namespace {

[[noreturn]] void fail_unequal(const char* what, std::size_t left, std::size_t right) {
    fail(std::string("assertion `left == right` failed") + what + "\n  left: " +
         std::to_string(left) + "\n right: " + std::to_string(right));
}

void check_same_length(std::size_t left, std::size_t right) {
    if (left != right) fail_unequal(": Vectors must be the same length", left, right);
}

// row_of(stand, option) gives the values of an option. N, when not 0, is
// the table's number of variables, known at compile time: the sums then stay
// in registers, where sums in memory waited at every stand for their last
// store, and took a third of the time of a result of many stands.
template <std::size_t N, class RowOf>
void sum_options_of_width(std::span<const std::size_t> design, const DataTable& table,
                          RowOf row_of, std::span<double> target) {
    if (design.size() != table.n_stands) fail_unequal("", design.size(), table.n_stands);
    const std::size_t n_variables = N ? N : table.n_variables;
    // One accumulator updated in place: the additions happen in the same
    // order as building a fresh sum per stand, so results are bit-identical.
    std::conditional_t<N == 0, std::span<double>, std::array<double, N>> total{};
    if constexpr (N == 0) {
        total = target;
        std::fill(total.begin(), total.end(), 0.0);
    }
    for (std::size_t s = 0; s < table.n_stands; ++s) {
        const std::size_t option = design[s];
        const std::size_t count = table.n_options[s];
        if (option >= count)
            fail("index out of bounds: the len is " + std::to_string(count) +
                 " but the index is " + std::to_string(option));
        const std::span<const double> values = row_of(s, option);
        check_same_length(n_variables, values.size());
        for (std::size_t k = 0; k < n_variables; ++k) total[k] += values[k];
    }
    if constexpr (N != 0) std::copy(total.begin(), total.end(), target.begin());
}

template <class RowOf>
void sum_options(std::span<const std::size_t> design, const DataTable& table, RowOf row_of,
                 std::span<double> target) {
    with_width<1, 2, 3, 4>(table.n_variables, [&]<std::size_t N>() {
        sum_options_of_width<N>(design, table, row_of, target);
    });
}

}  // namespace

Target add_vectors(std::span<const double> a, std::span<const double> b) {
    check_same_length(a.size(), b.size());
    Target sum(a.size());
    for (std::size_t k = 0; k < a.size(); ++k) sum[k] = a[k] + b[k];
    return sum;
}

Target compute_objective(std::span<const std::size_t> design, const DataTable& table) {
    Target target(table.n_variables);
    sum_options(
        design, table,
        [&table](std::size_t stand, std::size_t option) {
            return table.option_values(stand, option);
        },
        target);
    return target;
}

TargetSums::TargetSums(const DataTable& table, std::size_t n_designs)
    : table_(table), flat_start_(table.n_stands, kInTable) {
    // A few thousand rows stay in cache. Beyond, up to two rows copied in
    // order per design cost a small part of the misses each design saves;
    // within, a row copied saves a load or two per design, so it is copied
    // only for two designs or more. The copy takes less memory than the
    // table's own rows.
    constexpr std::size_t kCachedRows = std::size_t{1} << 12;
    const auto repays_copy = [n_designs](std::size_t n_rows) {
        return n_rows > kCachedRows ? n_rows <= 2 * n_designs : 2 * n_rows <= n_designs;
    };
    std::size_t n_flat_values = 0;
    for (std::size_t s = 0; s < table.n_stands; ++s) {
        const auto& rows = table.values[s];
        if (!repays_copy(rows.size())) continue;
        // A row of another length keeps its stand in the table, where the
        // sum reports it.
        if (!std::ranges::all_of(rows,
                                 [&](const auto& row) { return row.size() == table.n_variables; }))
            continue;
        flat_start_[s] = n_flat_values;
        n_flat_values += rows.size() * table.n_variables;
        if (rows.size() > kCachedRows) prefetched_stands_.push_back(s);
    }
    // Reserved whole: grown as it fills, the copy of a large stand could
    // take twice its size for a moment.
    flat_rows_.reserve(n_flat_values);
    for (std::size_t s = 0; s < table.n_stands; ++s) {
        if (flat_start_[s] == kInTable) continue;
        for (const auto& row : table.values[s])
            flat_rows_.insert(flat_rows_.end(), row.begin(), row.end());
    }
}

void TargetSums::sum(std::span<const std::size_t> design, std::span<double> target) const {
    const auto row_of = [this](std::size_t stand, std::size_t option) {
        const std::size_t start = flat_start_[stand];
        const std::size_t n_variables = table_.n_variables;
        return start == kInTable
                   ? table_.option_values(stand, option)
                   : std::span<const double>(flat_rows_.data() + start + option * n_variables,
                                             n_variables);
    };
    sum_options(design, table_, row_of, target);
}

void TargetSums::prefetch(std::span<const std::size_t> design) const {
    for (const std::size_t s : prefetched_stands_)
        __builtin_prefetch(flat_rows_.data() + flat_start_[s] + design[s] * table_.n_variables);
}

}  // namespace quorvel
