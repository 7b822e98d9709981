#include "generated_tables.hpp"

#include <cmath>
#include <random>
#include <variant>
#include <vector>

namespace quorvel::bench {

namespace {

// Uniform in (0, 1], from the top 53 bits, the same on every platform.
double unit(std::mt19937_64& random) { return static_cast<double>((random() >> 11) + 1) * 0x1p-53; }

}  // namespace

DataTable generated_table(const TableRecipe& recipe) {
    std::mt19937_64 random(recipe.seed);
    NestedValues values(recipe.n_stands);
    for (auto& stand : values)
        for (std::size_t o = 0; o < recipe.n_options; ++o) {
            // A point of the simplex (flat Dirichlet weights) plus a little noise.
            std::vector<double> weights(recipe.n_variables);
            double total = 0.0;
            for (double& w : weights) total += w = -std::log(unit(random));
            std::vector<double>& option = stand.emplace_back();
            for (const double w : weights) {
                const double value = 0.9 * w / total + 0.1 * unit(random);
                option.push_back(recipe.whole_numbers ? std::round(1000.0 * value) : value);
            }
        }
    for (std::size_t v = 0; v < recipe.n_variables; ++v)
        values[0][v % recipe.n_options][v] = 0.0;
    return std::get<DataTable>(DataTable::create(std::move(values)));
}

}  // namespace quorvel::bench
