#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numbers>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "pareto/fast_log1p.hpp"
#include "pareto/grid.hpp"
#include "pareto/grid_kernels.hpp"
#include "test_pareto_front_support.hpp"

namespace quorvel {
namespace {

using testing::failure_of;

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Uniform in [0, 1), built from the bits so that it is the same everywhere.
double unit(std::mt19937_64& random) {
    return std::ldexp(static_cast<double>(random() >> 11), -53);
}

std::vector<double> log_steps(std::mt19937_64& random) {
    std::vector<double> steps;
    for (double epsilon : {1e-9, 1e-8, 3.3e-8, 1e-7, 1e-6, 7.77e-6, 1e-5, 1e-4, 3e-4, 1e-3, 0.01,
                           0.05, 0.1, 1.0 / 3, 0.5, 1.0, 2.0, std::numbers::e, 7.0, 10.0})
        steps.push_back(std::log1p(epsilon));
    for (int i = 0; i < 12; ++i) steps.push_back(std::log1p(1e-9 * std::pow(1e10, unit(random))));
    // Steps at and beyond the limits of the approximation, and the unusable ones.
    for (double step : {0x1p-1000, 0x1p1000, 1e-300, 1e-308})
        steps.insert(steps.end(), {step, std::nextafter(step, 0.0), std::nextafter(step, kInf)});
    steps.insert(steps.end(), {0.0, -0.0, -kInf, kInf, kNaN, std::log1p(-0.5)});
    return steps;
}

// Whole numbers k whose cell edge, expm1(k * log_step), the test probes: the
// first cells, a geometric sweep up to beyond 2^32, and the saturation limit.
std::vector<double> edge_indices() {
    std::vector<double> indices;
    for (int k = 1; k <= 64; ++k) indices.push_back(k);
    for (int quarter = 25; quarter <= 4 * 33; ++quarter)
        indices.push_back(std::round(std::exp2(quarter / 4.0)));
    for (double k : {4294967294.0, 4294967295.0, 4294967296.0, 4294967297.0}) indices.push_back(k);
    return indices;
}

constexpr int kNeighbours = 300;

// Values on every probed cell edge and the kNeighbours doubles on each side
// of it; counts the edges whose outermost neighbours fall into different
// cells, which shows that the values really straddle them.
std::vector<double> edge_values(double log_step, int& straddled, int& edges) {
    std::vector<double> values;
    for (double k : edge_indices()) {
        const double edge = std::expm1(k * log_step) - kValueOffset;
        if (!(edge > 0.0 && edge < 1e300)) continue;
        double below = edge, above = edge;
        values.push_back(edge);
        for (int n = 0; n < kNeighbours; ++n) {
            below = std::nextafter(below, -kInf);
            above = std::nextafter(above, kInf);
            values.push_back(below);
            values.push_back(above);
        }
        ++edges;
        if (cell_coordinate(below, log_step) != cell_coordinate(above, log_step)) ++straddled;
    }
    return values;
}

// Random magnitudes from the smallest subnormal to the largest double.
double random_magnitude(std::mt19937_64& random) {
    const int exponent = -1074 + static_cast<int>(random() % 2098);
    return std::ldexp(1.0 + unit(random), exponent);
}

// Values that fail, or that sit at the corners of the range: mixed into the
// sequences so that the first failing one must be the one reported.
std::vector<double> hostile_values() {
    constexpr double kTiny = std::numeric_limits<double>::denorm_min();
    const double lowest = -1.0 - kValueOffset;
    const double offset_zero = -kValueOffset;
    return {kNaN, -kNaN, kInf, -kInf, -0.5, -1e300, -1.0, -2e-9,
            lowest, std::nextafter(lowest, 0.0), std::nextafter(lowest, -kInf),
            offset_zero, std::nextafter(offset_zero, 0.0), std::nextafter(offset_zero, -kInf),
            0.0, -0.0, kTiny, -kTiny, std::numeric_limits<double>::min(),
            std::numeric_limits<double>::max(), 0x1p-1000, 0x1p1000,
            std::nextafter(0x1p1000, kInf)};
}

// The batched coordinates must equal the single-value ones for every value,
// and a sequence must fail exactly where and how the single-value loop fails.
TEST(GridBatch, MatchesSingleValueCellsAndFailures) {
    std::mt19937_64 random(20261207);
    const std::vector<double> hostile = hostile_values();
    // The public entry first, then every vector width this processor has.
    std::vector<CoordinateKernel> entries{{"cell_coordinates_into", cell_coordinates_into}};
    for (const CoordinateKernel& kernel : coordinate_kernels()) entries.push_back(kernel);
    int straddled = 0;
    int edges = 0;
    // Thousands of expected failures would bury the report of a real one.
    ::testing::internal::CaptureStderr();
    for (const double log_step : log_steps(random)) {
        std::vector<double> values = edge_values(log_step, straddled, edges);
        for (int i = 0; i < 20000; ++i) values.push_back(random_magnitude(random));
        for (std::size_t first = 0; first < values.size();) {
            const std::size_t length =
                std::min<std::size_t>(1 + random() % 80, values.size() - first);
            std::vector<double> run(values.begin() + first, values.begin() + first + length);
            first += length;
            if (random() % 6 == 0) run[random() % length] = hostile[random() % hostile.size()];
            if (random() % 12 == 0) run[random() % length] = hostile[random() % hostile.size()];

            std::vector<std::uint32_t> expected(length);
            std::vector<std::uint32_t> batched(length);
            const std::string expected_failure = failure_of([&] {
                for (std::size_t i = 0; i < length; ++i)
                    expected[i] = cell_coordinate(run[i], log_step);
            });
            for (const CoordinateKernel& entry : entries) {
                const std::string failure = failure_of([&] { entry.run(run, log_step, batched); });
                if (failure == expected_failure && (!failure.empty() || batched == expected))
                    continue;
                ::testing::internal::GetCapturedStderr();
                ASSERT_EQ(failure, expected_failure)
                    << std::hexfloat << entry.name << ", log_step " << log_step;
                const auto at =
                    std::mismatch(batched.begin(), batched.end(), expected.begin()).first;
                const std::size_t i = static_cast<std::size_t>(at - batched.begin());
                FAIL() << std::hexfloat << entry.name << ", value " << run[i] << ", log_step "
                       << log_step << ": " << batched[i] << " instead of " << expected[i];
            }
        }
    }
    ::testing::internal::GetCapturedStderr();
    // Most probed edges must really be crossed, or the test would prove little.
    EXPECT_GT(straddled, edges * 9 / 10) << straddled << " of " << edges;
}

#if defined(__x86_64__)
// fast_log1p as the four-lane coordinate kernel is compiled: with fused
// multiply-adds wherever the compiler forms them. Only for processors with
// AVX2 and FMA.
[[gnu::target("avx2,fma"), gnu::optimize("fp-contract=fast")]] void fused_fast_log1p(
    const double* y, double* result) {
    WideDoubleLanes lanes;
    WideDoubleLanes logarithms;
    std::memcpy(&lanes, y, sizeof lanes);
    fast_log1p_into(lanes, logarithms);
    std::memcpy(result, &logarithms, sizeof logarithms);
}
#endif

// The bound that decides when the exact path is needed, across the whole
// range and around the switch between mantissa intervals at sqrt(2); with
// multiply-adds fused, too, where this processor can.
TEST(GridBatch, ApproximationStaysWithinItsBound) {
    std::mt19937_64 random(7);
    std::vector<double> ys{kFastLog1pLowest, kFastLog1pHighest, 1e-9, 2e-9, 0.5};
    for (int i = 0; i < 200000; ++i)
        ys.push_back(std::ldexp(1.0 + unit(random), -1000 + static_cast<int>(random() % 2000)));
    for (int k = 0; k < 1000; k += 7) {
        double below = std::ldexp(std::numbers::sqrt2, k) - 1.0;
        double above = below;
        for (int n = 0; n < 8; ++n) {
            ys.push_back(below = std::nextafter(below, 0.0));
            ys.push_back(above = std::nextafter(above, kInf));
        }
    }
    // Whole fours, for the four-lane run; at most three values go.
    ys.resize(ys.size() / 4 * 4);
    std::vector<double> approximations(ys.size());
    for (std::size_t i = 0; i < ys.size(); i += 2) {
        const DoubleLanes pair = fast_log1p(DoubleLanes{ys[i], ys[i + 1]});
        approximations[i] = pair[0];
        approximations[i + 1] = pair[1];
    }
    const auto worst_error = [&] {
        double worst = 0.0;
        for (std::size_t i = 0; i < ys.size(); ++i)
            worst = std::max(worst, std::fabs(approximations[i] / std::log1p(ys[i]) - 1.0));
        return worst;
    };
    // The library's own error, about 2^-52, is part of what is measured.
    EXPECT_LT(worst_error(), kFastLog1pRelativeError + 0x1p-51);
#if defined(__x86_64__)
    if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("fma")) return;
    for (std::size_t i = 0; i < ys.size(); i += 4) fused_fast_log1p(&ys[i], &approximations[i]);
    EXPECT_LT(worst_error(), kFastLog1pRelativeError + 0x1p-51) << "fused";
#endif
}

}  // namespace
}  // namespace quorvel
