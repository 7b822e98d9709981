#pragma once

#include <cstddef>
#include <cstdint>

#include "pareto/data_table.hpp"

namespace quorvel::bench {

struct TableRecipe {
    std::size_t n_stands;
    std::size_t n_options;
    std::size_t n_variables;
    // Whole numbers up to about 1000 instead of reals in [0, 1).
    bool whole_numbers;
    std::uint64_t seed;
};

// Options spread over a trade-off between the variables, so that the
// fronts grow large. Every variable has its minimum, 0, in stand 0, which
// keeps the shift the same for every prefix of the table.
DataTable generated_table(const TableRecipe& recipe);

}  // namespace quorvel::bench
