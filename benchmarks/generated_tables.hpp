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

// A forest plan: per stand 2 to 12 treatment schedules from no cut to clear
// cut, valued as [-income, -carbon stock, habitat penalty], all scaled by a
// lognormal stand area and by the stand's fertility, age and habitat value.
DataTable forest_table(std::size_t n_stands, std::uint64_t seed);

}  // namespace quorvel::bench
