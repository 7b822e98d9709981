#include "generated_tables.hpp"

#include <algorithm>
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

DataTable uniform_table(std::size_t n_stands, std::size_t n_options, std::size_t n_variables,
                        double high, std::uint64_t seed) {
    std::mt19937_64 random(seed);
    NestedValues values(n_stands);
    for (auto& stand : values)
        for (std::size_t o = 0; o < n_options; ++o) {
            std::vector<double>& option = stand.emplace_back();
            for (std::size_t v = 0; v < n_variables; ++v) option.push_back(high * (unit(random) - 0x1p-53));
        }
    for (std::size_t v = 0; v < n_variables; ++v) values[0][v % n_options][v] = 0.0;
    return std::get<DataTable>(DataTable::create(std::move(values)));
}

DataTable seeded_front_table(std::size_t n_variables, std::size_t front_size,
                             std::size_t n_stands, std::size_t n_options, std::uint64_t seed) {
    std::mt19937_64 random(seed);
    // Flat Dirichlet weights: a uniform point of the simplex.
    const auto simplex_point = [&] {
        std::vector<double> weights(n_variables);
        double total = 0.0;
        for (double& w : weights) total += w = -std::log(unit(random));
        for (double& w : weights) w /= total;
        return weights;
    };
    NestedValues values(n_stands);
    for (std::size_t o = 0; o < front_size; ++o) values[0].push_back(simplex_point());
    // The corners' neighbours: a zero in one variable, still on the simplex.
    for (std::size_t v = 0; v < n_variables; ++v)
        for (std::size_t w = 0; w < n_variables; ++w)
            values[0][v][w] = v == w ? 0.0 : 1.0 / static_cast<double>(n_variables - 1);
    for (std::size_t s = 1; s < n_stands; ++s)
        for (std::size_t o = 0; o < n_options; ++o) {
            std::vector<double> option = simplex_point();
            for (double& value : option) value = 1e-3 * (value + 0.2 * unit(random));
            values[s].push_back(std::move(option));
        }
    return std::get<DataTable>(DataTable::create(std::move(values)));
}

DataTable ordered_pair_table(std::size_t front_size, bool crowded, std::uint64_t seed) {
    std::mt19937_64 random(seed);
    std::vector<double> firsts(front_size);
    for (std::size_t k = 0; k < front_size; ++k)
        firsts[k] = !crowded ? unit(random) : k % 100 == 0 ? 1e6 * unit(random) : 1.0 + 1e-4 * unit(random);
    std::sort(firsts.begin(), firsts.end());
    NestedValues values(3);
    // The second values fall as the first rise: every point is on the front.
    for (std::size_t k = 0; k < front_size; ++k)
        values[0].push_back({firsts[k], 2e6 - firsts[k] - 1e-3 * static_cast<double>(k)});
    values[1] = {{0.0, 1e-3}, {1e-3, 0.0}};
    if (crowded)
        values[2] = {{0.0, 2e-3}, {2e-3, 0.0}, {1e-3, 1e-3}};
    else
        values[2] = {{0.0, 50.0}, {100.0, 0.0}, {200.0, 0.0}};
    return std::get<DataTable>(DataTable::create(std::move(values)));
}

DataTable forest_table(std::size_t n_stands, std::uint64_t seed) {
    // Income, carbon kept and habitat penalty per hectare, from no cut on.
    constexpr double kSchedules[12][3] = {
        {0.0, 260.0, 0.0},    {700.0, 225.0, 0.8},  {1400.0, 190.0, 1.5}, {1800.0, 170.0, 2.2},
        {2300.0, 150.0, 3.0}, {2700.0, 130.0, 3.8}, {3000.0, 110.0, 4.5}, {3600.0, 75.0, 5.5},
        {3900.0, 60.0, 7.0},  {4200.0, 40.0, 9.0},  {2000.0, 200.0, 2.6}, {3300.0, 95.0, 6.5},
    };
    std::mt19937_64 random(seed);
    const auto between = [&](double low, double high) { return low + (high - low) * unit(random); };
    NestedValues values(n_stands);
    for (auto& stand : values) {
        // Box-Muller: a standard normal from two uniforms.
        const double normal =
            std::sqrt(-2.0 * std::log(unit(random))) * std::cos(6.283185307179586 * unit(random));
        const double area = std::exp(2.0 * normal);
        const double fertility = between(0.3, 2.0);
        const double age = between(0.3, 1.8);
        const double habitat = between(0.1, 4.0);
        const auto n_schedules = static_cast<std::size_t>(between(2.0, 13.0));
        for (std::size_t k = 0; k < n_schedules; ++k) {
            const auto& [income, carbon, penalty] = kSchedules[k];
            stand.push_back({-income * area * fertility * between(0.8, 1.2), -carbon * area * age,
                             penalty * area * habitat});
        }
    }
    return std::get<DataTable>(DataTable::create(std::move(values)));
}

}  // namespace quorvel::bench
