#include "objective.hpp"

#include <algorithm>
#include <string>

#include "internal_failure.hpp"

namespace quorvel {

namespace {

[[noreturn]] void fail_unequal(const char* what, std::size_t left, std::size_t right) {
    fail(std::string("assertion `left == right` failed") + what + "\n  left: " +
         std::to_string(left) + "\n right: " + std::to_string(right));
}

void check_same_length(std::size_t left, std::size_t right) {
    if (left != right) fail_unequal(": Vectors must be the same length", left, right);
}

// row_of(stand, option) gives the values of an option.
template <class RowOf>
Target sum_options(std::span<const std::size_t> design, const DataTable& table, RowOf row_of) {
    if (design.size() != table.n_stands) fail_unequal("", design.size(), table.n_stands);
    // One accumulator updated in place: the additions happen in the same
    // order as building a fresh sum per stand, so results are bit-identical.
    Target total(table.n_variables, 0.0);
    for (std::size_t s = 0; s < table.n_stands; ++s) {
        const std::size_t option = design[s];
        const std::size_t count = table.n_options[s];
        if (option >= count)
            fail("index out of bounds: the len is " + std::to_string(count) +
                 " but the index is " + std::to_string(option));
        const std::span<const double> values = row_of(s, option);
        check_same_length(total.size(), values.size());
        for (std::size_t k = 0; k < total.size(); ++k) total[k] += values[k];
    }
    return total;
}

}  // namespace

Target add_vectors(std::span<const double> a, std::span<const double> b) {
    check_same_length(a.size(), b.size());
    Target sum(a.size());
    for (std::size_t k = 0; k < a.size(); ++k) sum[k] = a[k] + b[k];
    return sum;
}

Target compute_objective(std::span<const std::size_t> design, const DataTable& table) {
    return sum_options(design, table, [&table](std::size_t stand, std::size_t option) {
        return table.option_values(stand, option);
    });
}

TargetSums::TargetSums(const DataTable& table, std::size_t n_designs)
    : table_(table), flat_rows_(table.n_stands) {
    // A few thousand rows stay in cache. Up to two rows copied in order per
    // design cost a small part of the miss each design saves, and take less
    // memory than its result.
    constexpr std::size_t kCachedRows = std::size_t{1} << 12;
    constexpr std::size_t kRowsCopiedPerDesign = 2;
    for (std::size_t s = 0; s < table.n_stands; ++s) {
        const auto& rows = table.values[s];
        if (rows.size() <= kCachedRows || rows.size() > kRowsCopiedPerDesign * n_designs)
            continue;
        // A row of another length keeps its stand in the table, where the
        // sum reports it.
        if (!std::ranges::all_of(rows,
                                 [&](const auto& row) { return row.size() == table.n_variables; }))
            continue;
        flat_stands_.push_back(s);
        flat_rows_[s].reserve(rows.size() * table.n_variables);
        for (const auto& row : rows)
            flat_rows_[s].insert(flat_rows_[s].end(), row.begin(), row.end());
    }
}

Target TargetSums::of(std::span<const std::size_t> design) const {
    // Without flat rows, the test per stand of where to read would be waste.
    if (flat_stands_.empty()) return compute_objective(design, table_);
    return sum_options(design, table_, [this](std::size_t stand, std::size_t option) {
        const std::vector<double>& flat = flat_rows_[stand];
        const std::size_t n_variables = table_.n_variables;
        return flat.empty() ? table_.option_values(stand, option)
                            : std::span(flat).subspan(option * n_variables, n_variables);
    });
}

void TargetSums::prefetch(std::span<const std::size_t> design) const {
    for (const std::size_t s : flat_stands_)
        __builtin_prefetch(flat_rows_[s].data() + design[s] * table_.n_variables);
}

}  // namespace quorvel
