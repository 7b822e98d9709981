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

// Values uniform in [0, high); stand 0 holds every variable's minimum, 0.
DataTable uniform_table(std::size_t n_stands, std::size_t n_options, std::size_t n_variables,
                        double high, std::uint64_t seed);

// A front of front_size points from the start: stand 0 holds that many
// options spread evenly over the simplex (none dominates another), every
// later stand n_options small ones that move the front a little. Every
// variable has its minimum, 0, in stand 0.
DataTable seeded_front_table(std::size_t n_variables, std::size_t front_size,
                             std::size_t n_stands, std::size_t n_options, std::uint64_t seed);

// Two variables, a front of front_size points in order from the first stand
// on, then two stands of two and three options. Crowded: all but one point in
// a hundred crowd into a few cells of the first variable at an epsilon of
// 1e-5, the others spread far. Otherwise the points are spread evenly, and
// the last stand's options lie far apart in the first variable, so most
// candidates wait for the last cells.
DataTable ordered_pair_table(std::size_t front_size, bool crowded, std::uint64_t seed);

// A forest plan: per stand 2 to 12 treatment schedules from no cut to clear
// cut, valued as [-income, -carbon stock, habitat penalty], all scaled by a
// lognormal stand area and by the stand's fertility, age and habitat value.
DataTable forest_table(std::size_t n_stands, std::uint64_t seed);

}  // namespace quorvel::bench
