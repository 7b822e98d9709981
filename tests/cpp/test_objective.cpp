#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "pareto/data_table.hpp"
#include "pareto/internal_failure.hpp"
#include "pareto/objective.hpp"

namespace quorvel {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

DataTable make_table(NestedValues data) {
    auto result = DataTable::create(std::move(data));
    if (auto* error = std::get_if<DataTableError>(&result)) {
        ADD_FAILURE() << "test table rejected: " << error->message();
    }
    return std::get<DataTable>(std::move(result));
}

// One variable, one option per stand, holding the given values in stand order.
DataTable column_table(const std::vector<double>& per_stand) {
    NestedValues data;
    for (double v : per_stand) data.push_back({{v}});
    return make_table(std::move(data));
}

std::uint64_t bits(double x) { return std::bit_cast<std::uint64_t>(x); }

// Runs body and returns the text of the internal failure it raises.
std::string failure_text(const std::function<void()>& body) {
    try {
        body();
    } catch (const InternalFailure& failure) {
        EXPECT_STREQ(failure.what(), failure.message().c_str());
        return failure.message();
    }
    ADD_FAILURE() << "no internal failure was raised";
    return {};
}

TEST(ComputeObjective, WorkedExample) {
    const DataTable table = make_table({{{100.0, 200.0}, {1.0, 2.0}}, {{10.0, 20.0}, {30.0, 40.0}}});
    const std::vector<std::size_t> design{1, 0};
    EXPECT_EQ(compute_objective(design, table), (Target{11.0, 22.0}));
}

TEST(ComputeObjective, PicksTheChosenOptionOfEveryStand) {
    const DataTable table = make_table({{{1.0}, {2.0}, {4.0}},
                                        {{8.0}, {16.0}},
                                        {{32.0}, {64.0}, {128.0}, {256.0}}});
    struct Case {
        std::vector<std::size_t> design;
        double total;
    };
    const std::vector<Case> cases{
        {{0, 0, 0}, 41.0}, {{2, 1, 3}, 276.0}, {{1, 0, 2}, 138.0}, {{2, 1, 0}, 52.0}};
    for (const Case& c : cases) {
        EXPECT_EQ(compute_objective(c.design, table), (Target{c.total}))
            << "design " << c.design[0] << "," << c.design[1] << "," << c.design[2];
    }
}

// Each case lists the chosen value of every stand, in stand order, and the
// bit pattern that only a left-to-right sum from +0.0 produces.
struct OrderCase {
    const char* name;
    std::vector<double> per_stand;
    double expected;
};

class ObjectiveSummationOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(ObjectiveSummationOrder, AddsStandByStandFromPositiveZero) {
    const OrderCase& c = GetParam();
    const DataTable table = column_table(c.per_stand);
    const std::vector<std::size_t> design(c.per_stand.size(), 0);
    const Target total = compute_objective(design, table);
    ASSERT_EQ(total.size(), 1u);
    // The sign of a NaN made by inf - inf is the hardware's business.
    if (std::isnan(c.expected)) {
        EXPECT_TRUE(std::isnan(total[0])) << total[0];
    } else {
        EXPECT_EQ(bits(total[0]), bits(c.expected)) << total[0] << " vs " << c.expected;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ObjectiveSummationOrder,
    ::testing::Values(
        // The small value is absorbed before the large ones cancel.
        OrderCase{"SmallFirstIsLost", {1.0, 1e16, -1e16}, 0.0},
        OrderCase{"SmallLastSurvives", {1e16, -1e16, 1.0}, 1.0},
        // Compensated summation would recover 2.0 here.
        OrderCase{"NoCompensation", {1e16, 1.0, 1.0, -1e16}, 0.0},
        OrderCase{"RoundedAtEachStep", {0.1, 0.2, 0.3}, 0.6000000000000001},
        OrderCase{"RoundedOtherOrder", {0.3, 0.2, 0.1}, 0.6},
        // Starting from the first value instead of +0.0 would keep the sign.
        OrderCase{"NegativeZerosGivePositiveZero", {-0.0, -0.0}, 0.0},
        OrderCase{"ManyNegativeZeros", {-0.0, -0.0, -0.0, -0.0, -0.0}, 0.0},
        OrderCase{"InfinitiesCancelToNaN", {kInf, 1.0, -kInf}, kNaN},
        OrderCase{"InfinityAbsorbsFinite", {-1e308, -kInf, 1e308}, -kInf},
        OrderCase{"OverflowToInfinity", {1e308, 1e308, -1e308}, kInf}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ComputeObjective, NegativeZeroSumIsPositiveZeroInEveryVariable) {
    const DataTable table = make_table({{{-0.0, -0.0, 5.0}}, {{-0.0, -0.0, -0.0}}});
    const Target total = compute_objective(std::vector<std::size_t>{0, 0}, table);
    ASSERT_EQ(total.size(), 3u);
    EXPECT_FALSE(std::signbit(total[0]));
    EXPECT_FALSE(std::signbit(total[1]));
    EXPECT_EQ(total[0], 0.0);
    EXPECT_EQ(total[2], 5.0);
}

TEST(ComputeObjective, NaNStaysInItsVariable) {
    const DataTable table = make_table({{{1.0, kNaN, 3.0}}, {{10.0, 20.0, 30.0}}, {{0.5, 0.5, kNaN}}});
    const Target total = compute_objective(std::vector<std::size_t>{0, 0, 0}, table);
    ASSERT_EQ(total.size(), 3u);
    EXPECT_EQ(total[0], 11.5);
    EXPECT_TRUE(std::isnan(total[1]));
    EXPECT_TRUE(std::isnan(total[2]));

    // Only the chosen options count: a NaN in an unchosen option is ignored.
    const DataTable other = make_table({{{1.0, 2.0}, {kNaN, kNaN}}, {{3.0, 4.0}}});
    EXPECT_EQ(compute_objective(std::vector<std::size_t>{0, 0}, other), (Target{4.0, 6.0}));
}

TEST(ComputeObjective, AlwaysReturnsOneValuePerVariable) {
    for (std::size_t n : {1u, 2u, 7u}) {
        const DataTable table = make_table({{std::vector<double>(n, 0.0)}, {std::vector<double>(n, 0.0)}});
        const Target total = compute_objective(std::vector<std::size_t>{0, 0}, table);
        ASSERT_EQ(total.size(), n);
        for (double v : total) EXPECT_EQ(bits(v), 0u);
    }
}

TEST(ComputeObjective, SameInputSameBits) {
    const DataTable table = make_table({{{0.1, -3.3}, {1e-300, 7.0}}, {{0.7, 1e300}, {2.2, -0.0}}, {{1.1, 9.9}}});
    const std::vector<std::size_t> design{1, 0, 0};
    const Target first = compute_objective(design, table);
    const Target second = compute_objective(design, table);
    ASSERT_EQ(first.size(), second.size());
    for (std::size_t k = 0; k < first.size(); ++k) EXPECT_EQ(bits(first[k]), bits(second[k]));
}

struct FailureCase {
    const char* name;
    std::vector<std::size_t> design;
    std::string message;
};

class ObjectiveFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ObjectiveFailure, ReportsTheBrokenInvariant) {
    const FailureCase& c = GetParam();
    // Stand 0 has 2 options, stand 1 has 3.
    const DataTable table = make_table({{{1.0}, {2.0}}, {{3.0}, {4.0}, {5.0}}});
    EXPECT_EQ(failure_text([&] { (void)compute_objective(c.design, table); }), c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ObjectiveFailure,
    ::testing::Values(
        FailureCase{"DesignTooLong", {0, 0, 0}, "assertion `left == right` failed\n  left: 3\n right: 2"},
        FailureCase{"DesignTooShort", {0}, "assertion `left == right` failed\n  left: 1\n right: 2"},
        FailureCase{"EmptyDesign", {}, "assertion `left == right` failed\n  left: 0\n right: 2"},
        // The length is checked before any index is looked at.
        FailureCase{"LengthBeforeIndex", {9, 9, 9}, "assertion `left == right` failed\n  left: 3\n right: 2"},
        FailureCase{"IndexFarOut", {5, 0}, "index out of bounds: the len is 2 but the index is 5"},
        FailureCase{"IndexEqualToCount", {2, 0}, "index out of bounds: the len is 2 but the index is 2"},
        FailureCase{"IndexInSecondStand", {1, 3}, "index out of bounds: the len is 3 but the index is 3"},
        FailureCase{"FirstBadStandWins", {7, 12}, "index out of bounds: the len is 2 but the index is 7"},
        FailureCase{"HugeIndex", {0, 123456789012},
                    "index out of bounds: the len is 3 but the index is 123456789012"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ObjectiveFailure, LastValidIndicesAreAccepted) {
    const DataTable table = make_table({{{1.0}, {2.0}}, {{3.0}, {4.0}, {5.0}}});
    EXPECT_EQ(compute_objective(std::vector<std::size_t>{1, 2}, table), (Target{7.0}));
}

// A table whose option lost its shape after validation must not be summed
// silently; the per-stand addition catches it.
TEST(ObjectiveFailure, OptionOfWrongLengthIsCaughtByTheAddition) {
    DataTable table = make_table({{{1.0, 2.0}}, {{3.0, 4.0}, {5.0, 6.0}}});
    table.values[1][1].push_back(7.0);
    EXPECT_EQ(failure_text([&] { (void)compute_objective(std::vector<std::size_t>{0, 1}, table); }),
              "assertion `left == right` failed: Vectors must be the same length\n  left: 2\n right: 3");
}

TEST(ObjectiveFailure, ReportIsWrittenToStandardError) {
    const DataTable table = make_table({{{1.0}, {2.0}}, {{3.0}}});
    ::testing::internal::CaptureStderr();
    const std::string text = failure_text([&] { (void)compute_objective(std::vector<std::size_t>{4, 0}, table); });
    const std::string report = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(text, "index out of bounds: the len is 2 but the index is 4");
    EXPECT_NE(report.find(text), std::string::npos) << report;
}

TEST(ObjectiveAddVectors, AddsElementWise) {
    const std::vector<double> a{1.0, -2.5, 1e16, kInf};
    const std::vector<double> b{10.0, 2.5, 1.0, 5.0};
    const Target sum = add_vectors(a, b);
    ASSERT_EQ(sum.size(), 4u);
    EXPECT_EQ(sum[0], 11.0);
    EXPECT_EQ(bits(sum[1]), bits(0.0));
    EXPECT_EQ(sum[2], 1e16);
    EXPECT_EQ(sum[3], kInf);
    EXPECT_TRUE(add_vectors(std::vector<double>{}, std::vector<double>{}).empty());
}

// The sum is exactly a[k] + b[k]: no extra +0.0 that would flip -0.0.
TEST(ObjectiveAddVectors, KeepsNegativeZeroOfTwoNegativeZeros) {
    const Target sum = add_vectors(std::vector<double>{-0.0, kNaN}, std::vector<double>{-0.0, 1.0});
    ASSERT_EQ(sum.size(), 2u);
    EXPECT_EQ(bits(sum[0]), bits(-0.0));
    EXPECT_TRUE(std::isnan(sum[1]));
}

TEST(ObjectiveAddVectors, UnequalLengthsFail) {
    struct Case {
        std::vector<double> a, b;
        std::string message;
    };
    const std::vector<Case> cases{
        {{1.0, 2.0}, {1.0, 2.0, 3.0},
         "assertion `left == right` failed: Vectors must be the same length\n  left: 2\n right: 3"},
        {{1.0, 2.0, 3.0}, {1.0},
         "assertion `left == right` failed: Vectors must be the same length\n  left: 3\n right: 1"},
        {{}, {1.0},
         "assertion `left == right` failed: Vectors must be the same length\n  left: 0\n right: 1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(failure_text([&] { (void)add_vectors(c.a, c.b); }), c.message);
    }
}

// Stands are read from a flat copy, and the sums of the common widths kept
// in registers: every sum must still be the left-to-right one from +0.0, bit
// for bit, at every width, whichever stands are copied; and a row that lost
// its shape must still be reported, whichever stand it is in.
class TargetSumsWidths : public ::testing::TestWithParam<std::size_t> {};

TEST_P(TargetSumsWidths, AddStandByStandBitForBit) {
    const std::size_t n_variables = GetParam();
    std::mt19937_64 random(3 + n_variables);
    // Magnitudes far apart, so that a value added out of place or order shows.
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-30, 30);
    const std::vector<std::size_t> n_options{5000, 3, 9000, 4097, 7};
    NestedValues data(n_options.size());
    for (std::size_t s = 0; s < n_options.size(); ++s)
        for (std::size_t o = 0; o < n_options[s]; ++o) {
            std::vector<double> row;
            for (std::size_t v = 0; v < n_variables; ++v)
                row.push_back(std::ldexp(mantissa(random), exponent(random)));
            data[s].push_back(row);
        }
    DataTable table = make_table(std::move(data));
    // Copied: no stand; the stand of 3 options; all but the stand of 9,000,
    // so that starts are counted past a stand read from the table; all.
    for (const std::size_t n_designs : {1, 10, 3000, 5000}) {
        const TargetSums targets(table, n_designs);
        // Written over, whatever it held.
        Target found(n_variables, 7.0);
        for (int trial = 0; trial < 300; ++trial) {
            std::vector<std::size_t> design;
            for (const std::size_t count : n_options)
                design.push_back(std::uniform_int_distribution<std::size_t>(0, count - 1)(random));
            targets.sum(design, found);
            const Target computed = compute_objective(design, table);
            ASSERT_EQ(computed.size(), n_variables);
            for (std::size_t v = 0; v < n_variables; ++v) {
                double expected = 0.0;
                for (std::size_t s = 0; s < n_options.size(); ++s)
                    expected += table.values[s][design[s]][v];
                ASSERT_EQ(bits(found[v]), bits(expected)) << "trial " << trial << ", variable " << v;
                ASSERT_EQ(bits(computed[v]), bits(expected)) << "trial " << trial;
            }
        }
    }
    table.values[2][17].push_back(1.0);
    table.values[1][2].pop_back();
    for (const std::vector<std::size_t>& design :
         {std::vector<std::size_t>{0, 0, 17, 0, 0}, std::vector<std::size_t>{0, 2, 0, 0, 0}})
        EXPECT_EQ(failure_text([&] {
                      Target target(n_variables);
                      TargetSums(table, 5000).sum(design, target);
                  }),
                  failure_text([&] { (void)compute_objective(design, table); }));
}

INSTANTIATE_TEST_SUITE_P(OneToSix, TargetSumsWidths, ::testing::Range<std::size_t>(1, 7));

}  // namespace
}  // namespace quorvel
