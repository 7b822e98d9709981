#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <iomanip>
#include <ostream>
#include <limits>
#include <string>
#include <vector>

#include "pareto/grid.hpp"
#include "pareto/internal_failure.hpp"

namespace quorvel {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::uint32_t kMax = 4294967295u;

std::string failure_text(const std::function<void()>& body) {
    try {
        body();
    } catch (const InternalFailure& failure) {
        return failure.message();
    }
    ADD_FAILURE() << "no internal failure was raised";
    return {};
}

std::string coordinate_failure(double value, double log_step) {
    return failure_text([&] { (void)cell_coordinate(value, log_step); });
}

struct CellCase {
    double value;
    double epsilon;
    std::uint32_t cell;
};

// Keeps the names of the parameterised cases short and stable.
void PrintTo(const CellCase& c, std::ostream* os) {
    *os << c.value << " at epsilon " << c.epsilon;
}

class CellOfValue : public ::testing::TestWithParam<CellCase> {};

TEST_P(CellOfValue, MatchesGrid) {
    const CellCase& c = GetParam();
    const double log_step = std::log1p(c.epsilon);
    EXPECT_EQ(cell_coordinate(c.value, log_step), c.cell)
        << "value " << c.value << ", epsilon " << c.epsilon;
}

INSTANTIATE_TEST_SUITE_P(
    EpsilonTenth, CellOfValue,
    ::testing::Values(CellCase{0.5, 0.1, 4}, CellCase{1.0, 0.1, 7}, CellCase{10.0, 0.1, 25},
                      CellCase{100.0, 0.1, 48}, CellCase{1000000.0, 0.1, 144},
                      CellCase{2e-9, 0.1, 0}, CellCase{0.0, 0.1, 0},
                      // The offset brings -1e-9 to exactly zero.
                      CellCase{-1e-9, 0.1, 0}));

INSTANTIATE_TEST_SUITE_P(
    FineGrid, CellOfValue,
    ::testing::Values(CellCase{0.5, 1e-10, 4054651087u},
                      // Cells beyond the 32-bit range saturate instead of wrapping.
                      CellCase{0.6, 1e-10, kMax}, CellCase{1000.0, 1e-10, kMax},
                      CellCase{1e308, 1e-10, kMax}));

INSTANTIATE_TEST_SUITE_P(
    CoarseGrid, CellOfValue,
    ::testing::Values(CellCase{0.5, 1e300, 0}, CellCase{1e299, 1e300, 0},
                      CellCase{1e301, 1e300, 1}));

// epsilon = -1 gives log_step = -inf, which sends every finite value to -0.
INSTANTIATE_TEST_SUITE_P(
    NegativeInfiniteStep, CellOfValue,
    ::testing::Values(CellCase{0.0, -1.0, 0}, CellCase{0.5, -1.0, 0}, CellCase{1e308, -1.0, 0}));

// epsilon = +inf gives log_step = +inf: every finite value lands in cell 0.
INSTANTIATE_TEST_SUITE_P(
    PositiveInfiniteStep, CellOfValue,
    ::testing::Values(CellCase{0.0, kInf, 0}, CellCase{0.5, kInf, 0}, CellCase{1e308, kInf, 0}));

// A value on a cell edge belongs to the upper cell; just below it, to the
// lower one. Dividing by a power of two keeps the quotient exact.
TEST(CellOfValue, EdgesAreFloored) {
    for (double x : {0.5, 3.0, 1e-9, 1e6}) {
        const double t = std::log1p(x + 1e-9);
        EXPECT_EQ(cell_coordinate(x, t), 1u) << x;
        EXPECT_EQ(cell_coordinate(x, std::nextafter(t, kInf)), 0u) << x;
        EXPECT_EQ(cell_coordinate(x, t / 2), 2u) << x;
        EXPECT_EQ(cell_coordinate(x, std::nextafter(t / 2, kInf)), 1u) << x;
        EXPECT_EQ(cell_coordinate(x, t / 1024), 1024u) << x;
        EXPECT_EQ(cell_coordinate(x, std::nextafter(t / 1024, kInf)), 1023u) << x;
    }
}

TEST(CellOfValue, UpperRangeOfThirtyTwoBits) {
    const double t = std::log1p(0.5 + 1e-9);
    EXPECT_EQ(cell_coordinate(0.5, t / 2147483648.0), 2147483648u);
    EXPECT_EQ(cell_coordinate(0.5, t / 4294967296.0), kMax);
    EXPECT_EQ(cell_coordinate(0.5, t / 8589934592.0), kMax);
    EXPECT_EQ(cell_coordinate(0.5, t / 1e200), kMax);
}

// Coordinates that come out as -0.0 are zero, not a failure.
TEST(CellOfValue, NegativeZeroIsCellZero) {
    EXPECT_EQ(cell_coordinate(0.5, -kInf), 0u);
    // t is exactly +0 here, so a negative step gives -0.
    EXPECT_EQ(cell_coordinate(-1e-9, std::log1p(-0.5)), 0u);
    EXPECT_EQ(cell_coordinate(-1e-9, -1e-300), 0u);
}

struct FailCase {
    const char* name;
    double value;
    double log_step;
    std::string argument;
};

class CellFailure : public ::testing::TestWithParam<FailCase> {};

TEST_P(CellFailure, NamesTheBadCoordinate) {
    const FailCase& c = GetParam();
    EXPECT_EQ(coordinate_failure(c.value, c.log_step), "negative coordinate value: " + c.argument);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CellFailure,
    ::testing::Values(
        FailCase{"PositiveZeroStep", 1.0, std::log1p(0.0), "inf"},
        FailCase{"NegativeZeroStep", 1.0, std::log1p(-0.0), "-inf"},
        FailCase{"NegativeStepThree", 4.0, std::log1p(-0.5), "-3"},
        FailCase{"NegativeStepSeven", 100.0, std::log1p(-0.5), "-7"},
        FailCase{"NegativeStepTinyValue", 0.0, std::log1p(-0.5), "-1"},
        FailCase{"StepBelowMinusOne", 1.0, std::log1p(-2.0), "NaN"},
        FailCase{"NaNStep", 1.0, kNaN, "NaN"},
        FailCase{"NaNValue", kNaN, std::log1p(0.1), "NaN"},
        FailCase{"NaNValueInfiniteStep", kNaN, kInf, "NaN"},
        FailCase{"NaNValueNegativeInfiniteStep", kNaN, -kInf, "NaN"},
        FailCase{"InfiniteValue", kInf, std::log1p(0.1), "inf"},
        FailCase{"InfiniteValueInfiniteStep", kInf, kInf, "NaN"},
        FailCase{"InfiniteValueNegativeInfiniteStep", kInf, -kInf, "NaN"},
        // A tiny step overflows the quotient.
        FailCase{"QuotientOverflows", 1e300, std::log1p(1e-308), "inf"}),
    [](const auto& info) { return std::string(info.param.name); });

// The shortest digits that read back, then zeros up to the decimal point:
// derived from the shortest scientific form of a whole number.
std::string whole_number_in_full(double whole) {
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, whole,
                                   std::chars_format::scientific).ptr;
    const std::string scientific(buffer, end);
    const std::size_t e = scientific.find('e');
    std::string digits;
    for (char ch : scientific.substr(0, e))
        if (ch != '.') digits += ch;
    const bool negative = digits[0] == '-';
    if (negative) digits.erase(0, 1);
    const std::size_t exponent = std::stoul(scientific.substr(e + 1));
    digits.append(exponent + 1 - digits.size(), '0');
    return negative ? "-" + digits : digits;
}

// A huge negative cell is written out digit by digit, never in exponent form.
TEST(CellFailure, HugeNegativeCellInFull) {
    for (int exponent : {-1000, -200, -60}) {
        const double step = -std::ldexp(1.0, exponent);
        // Dividing by a power of two is exact, so this is the cell the grid sees.
        const double cell = std::floor(std::log1p(1.0 + 1e-9) / step);
        const std::string argument = whole_number_in_full(cell);
        ASSERT_EQ(argument.find_first_not_of("0123456789", 1), std::string::npos) << argument;
        EXPECT_EQ(coordinate_failure(1.0, step), "negative coordinate value: " + argument);
    }
}

TEST(CellCoordinates, OneCoordinatePerValue) {
    const std::vector<double> target{0.5, 1.0, 10.0, 100.0, 1000000.0, 2e-9};
    EXPECT_EQ(cell_coordinates(target, std::log1p(0.1)), (CellKey{4, 7, 25, 48, 144, 0}));
    EXPECT_EQ(cell_coordinates(std::vector<double>{0.5, 0.6, 1000.0}, std::log1p(1e-10)),
              (CellKey{4054651087u, kMax, kMax}));
}

TEST(CellCoordinates, EmptyTargetGivesEmptyKey) {
    EXPECT_TRUE(cell_coordinates(std::vector<double>{}, std::log1p(0.1)).empty());
    // No value is looked at, so even an unusable step does not fail.
    EXPECT_TRUE(cell_coordinates(std::vector<double>{}, 0.0).empty());
}

TEST(CellCoordinates, StopsAtTheFirstBadValue) {
    EXPECT_EQ(failure_text([] {
                  (void)cell_coordinates(std::vector<double>{0.5, kNaN, kInf}, std::log1p(0.1));
              }),
              "negative coordinate value: NaN");
    EXPECT_EQ(failure_text([] {
                  (void)cell_coordinates(std::vector<double>{0.5, kInf, kNaN}, std::log1p(0.1));
              }),
              "negative coordinate value: inf");
}

TEST(CellCoordinates, ZeroStepsFailWithDifferentArguments) {
    const std::vector<double> target{1.0};
    EXPECT_EQ(failure_text([&] { (void)cell_coordinates(target, std::log1p(0.0)); }),
              "negative coordinate value: inf");
    EXPECT_EQ(failure_text([&] { (void)cell_coordinates(target, std::log1p(-0.0)); }),
              "negative coordinate value: -inf");
}

// Leading digits followed by the given number of zeros.
std::string padded(const char* digits, std::size_t zeros) {
    std::string text(digits);
    text.append(zeros, '0');
    return text;
}

struct FormatCase {
    double value;
    std::string text;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << std::setprecision(17) << c.value;
}

class GridPlainDecimal : public ::testing::TestWithParam<FormatCase> {};

TEST_P(GridPlainDecimal, ShortestWithoutExponent) {
    EXPECT_EQ(format_plain_decimal(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GridPlainDecimal,
    ::testing::Values(
        FormatCase{0.0, "0"}, FormatCase{1.0, "1"}, FormatCase{-1.0, "-1"}, FormatCase{-3.0, "-3"},
        FormatCase{4294967296.0, "4294967296"},
        FormatCase{9007199254740992.0, "9007199254740992"},
        FormatCase{-1152921504606846976.0, "-1152921504606847000"},
        // Shortest digits that read back, padded with zeros; not the exact
        // binary value (99999999999999991611392).
        FormatCase{1e23, padded("1", 23)},
        FormatCase{-1e23, padded("-1", 23)},
        FormatCase{1e300, padded("1", 300)},
        FormatCase{-1e300, padded("-1", 300)},
        FormatCase{std::numeric_limits<double>::max(), padded("17976931348623157", 292)},
        FormatCase{0.5, "0.5"}, FormatCase{1e-7, "0.0000001"},
        FormatCase{kInf, "inf"}, FormatCase{-kInf, "-inf"}, FormatCase{kNaN, "NaN"},
        FormatCase{-kNaN, "NaN"}));

}  // namespace
}  // namespace quorvel
