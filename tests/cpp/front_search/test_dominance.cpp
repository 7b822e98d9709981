#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "pareto/front_search/dominance.hpp"

namespace quorvel {
namespace {

// Every pair of rows of up to three values drawn from the values where
// comparisons are tricky: infinities, signed zeros and NaN.
TEST(Dominance, BranchFreeTestAgreesOnEveryPairOfRows) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const std::vector<double> values{-kInf, -1.0, -0.0, 0.0, 2.5, kInf, std::nan("")};
    for (std::size_t n_variables = 1; n_variables <= 3; ++n_variables) {
        std::size_t n_rows = 1;
        for (std::size_t v = 0; v < n_variables; ++v) n_rows *= values.size();
        const auto row = [&](std::size_t number) {
            std::vector<double> values_of_row;
            for (std::size_t v = 0; v < n_variables; ++v, number /= values.size())
                values_of_row.push_back(values[number % values.size()]);
            return values_of_row;
        };
        for (std::size_t i = 0; i < n_rows; ++i)
            for (std::size_t j = 0; j < n_rows; ++j) {
                const std::vector<double> a = row(i);
                const std::vector<double> b = row(j);
                ASSERT_EQ(dominates_branch_free(a.data(), b.data(), n_variables),
                          dominates(a.data(), b.data(), n_variables))
                    << "rows " << i << " and " << j << " of " << n_variables;
            }
    }
}

}  // namespace
}  // namespace quorvel
