#include "objective.hpp"

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

}  // namespace

Target add_vectors(std::span<const double> a, std::span<const double> b) {
    check_same_length(a.size(), b.size());
    Target sum(a.size());
    for (std::size_t k = 0; k < a.size(); ++k) sum[k] = a[k] + b[k];
    return sum;
}

Target compute_objective(std::span<const std::size_t> design, const DataTable& table) {
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
        const std::span<const double> values = table.option_values(s, option);
        check_same_length(total.size(), values.size());
        for (std::size_t k = 0; k < total.size(); ++k) total[k] += values[k];
    }
    return total;
}

}  // namespace quorvel
