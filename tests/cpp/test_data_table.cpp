#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "pareto/data_table.hpp"

namespace quorvel {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

const std::string kEmptyEntries = "Data table must not have empty entries.";
const std::string kSingleStand = "There's only one stand. Nothing to optimize here.";

std::string mismatch_message(const std::string& expected, const std::string& found,
                             const std::string& stand, const std::string& option) {
    return "There are " + expected + " variables in the first entry, but got " + found +
           " at index [" + stand + "][" + option +
           "]. Need same number of variables in all data table entries!";
}

struct RejectCase {
    const char* name;
    NestedValues data;
    std::string message;
};

class DataTableRejects : public ::testing::TestWithParam<RejectCase> {};

TEST_P(DataTableRejects, ReportsTheFirstFailingCheck) {
    const RejectCase& c = GetParam();
    auto result = DataTable::create(c.data);
    ASSERT_TRUE(std::holds_alternative<DataTableError>(result)) << "input was accepted";
    EXPECT_EQ(std::get<DataTableError>(result).message(), c.message);
}

// Inputs are written as the nested lists a caller would pass; the order of the
// checks decides which message wins when several problems are present.
INSTANTIATE_TEST_SUITE_P(
    Shapes, DataTableRejects,
    ::testing::Values(
        RejectCase{"NoStands", {}, kEmptyEntries},
        RejectCase{"OneStand", {{{1.0}}}, kSingleStand},
        RejectCase{"OneStandWithoutOptions", {{}}, kSingleStand},
        RejectCase{"OneStandWithEmptyOption", {{{}}}, kSingleStand},
        RejectCase{"OneStandUneven", {{{1.0}, {2.0, 3.0}}}, kSingleStand},
        RejectCase{"FirstStandWithoutOptions", {{}, {{1.0}}}, kEmptyEntries},
        RejectCase{"FirstOptionWithoutValues", {{{}}, {{}}}, kEmptyEntries},
        RejectCase{"FirstOptionEmptyOthersFine", {{{}}, {{1.0}}}, kEmptyEntries},
        RejectCase{"MismatchInLaterStand",
                   {{{1.0, 2.0}}, {{1.0, 2.0}, {3.0}}},
                   mismatch_message("2", "1", "1", "1")},
        RejectCase{"FirstStandScannedBeforeSecond",
                   {{{1.0, 2.0}, {3.0}}, {{1.0, 2.0}, {}}},
                   mismatch_message("2", "1", "0", "1")},
        RejectCase{"EmptyOptionReportedAsEmpty", {{{1.0, 2.0}, {}}, {{1.0, 2.0}}}, kEmptyEntries},
        RejectCase{"MoreValuesThanFirstOption",
                   {{{1.0, 2.0, 3.0}}, {{1.0, 2.0, 3.0, 4.0, 5.0}}},
                   mismatch_message("3", "5", "1", "0")},
        RejectCase{"LowestOptionOfStandFirst",
                   {{{1.0}}, {{1.0}, {1.0, 2.0}, {}}},
                   mismatch_message("1", "2", "1", "1")},
        RejectCase{"EmptyBeforeMismatchInSameStand",
                   {{{1.0}}, {{1.0}, {}, {1.0, 2.0}}},
                   kEmptyEntries},
        // A stand after the first with no options has nothing to choose from,
        // so it is refused where the scan reaches it.
        RejectCase{"LaterStandWithoutOptions", {{{1.0}}, {}}, kEmptyEntries},
        RejectCase{"MiddleStandWithoutOptions", {{{1.0}}, {}, {{1.0}}}, kEmptyEntries},
        RejectCase{"LastOfThreeWithoutOptions", {{{1.0}}, {{1.0}}, {}}, kEmptyEntries},
        RejectCase{"StandWithoutOptionsBeforeMismatch",
                   {{{1.0}}, {}, {{1.0, 2.0}}},
                   kEmptyEntries},
        RejectCase{"MismatchBeforeStandWithoutOptions",
                   {{{1.0}}, {{1.0, 2.0}}, {}},
                   mismatch_message("1", "2", "1", "0")},
        RejectCase{"MismatchInFirstStandBeforeEmptyStand",
                   {{{1.0, 2.0}, {3.0}}, {}},
                   mismatch_message("2", "1", "0", "1")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DataTableRejects, MismatchCarriesPositionAndCounts) {
    auto result = DataTable::create({{{1.0, 2.0}}, {{1.0, 2.0}}, {{1.0, 2.0}, {1.0, 2.0}, {7.0}}});
    ASSERT_TRUE(std::holds_alternative<DataTableError>(result));
    const DataTableError& error = std::get<DataTableError>(result);
    EXPECT_EQ(error.kind, DataTableError::Kind::VariableCountMismatch);
    EXPECT_EQ(error.expected, 2u);
    EXPECT_EQ(error.found, 1u);
    EXPECT_EQ(error.stand, 2u);
    EXPECT_EQ(error.option, 2u);
}

TEST(DataTableRejects, ErrorKinds) {
    auto kind_of = [](NestedValues data) {
        auto result = DataTable::create(std::move(data));
        EXPECT_TRUE(std::holds_alternative<DataTableError>(result));
        return std::get<DataTableError>(result).kind;
    };
    EXPECT_EQ(kind_of({}), DataTableError::Kind::EmptyEntries);
    EXPECT_EQ(kind_of({{{1.0}}}), DataTableError::Kind::SingleStand);
    EXPECT_EQ(kind_of({{{1.0}}, {}}), DataTableError::Kind::EmptyEntries);
}

// Multi-digit numbers must come out as plain decimals in every placeholder.
TEST(DataTableRejects, MismatchMessageWithMultiDigitNumbers) {
    NestedValues data(11, NestedValues::value_type(1, std::vector<double>(12, 0.5)));
    data[10].assign(12, std::vector<double>(12, 0.5));
    data[10][11].assign(123, 1.0);
    auto result = DataTable::create(std::move(data));
    ASSERT_TRUE(std::holds_alternative<DataTableError>(result));
    EXPECT_EQ(std::get<DataTableError>(result).message(),
              mismatch_message("12", "123", "10", "11"));
}

TEST(DataTableAccepts, CountsStandsOptionsAndVariables) {
    auto result = DataTable::create({{{1.0, 2.0}, {3.0, 4.0}},
                                     {{5.0, 6.0}, {7.0, 8.0}, {9.0, 10.0}},
                                     {{11.0, 12.0}}});
    ASSERT_TRUE(std::holds_alternative<DataTable>(result))
        << std::get<DataTableError>(result).message();
    const DataTable& table = std::get<DataTable>(result);
    EXPECT_EQ(table.n_stands, 3u);
    EXPECT_EQ(table.n_variables, 2u);
    EXPECT_EQ(table.n_options, (std::vector<std::size_t>{2, 3, 1}));
    ASSERT_EQ(table.values.size(), 3u);
    const auto values = table.option_values(1, 2);
    EXPECT_EQ(std::vector<double>(values.begin(), values.end()), (std::vector<double>{9.0, 10.0}));
    const auto first = table.option_values(0, 0);
    EXPECT_EQ(std::vector<double>(first.begin(), first.end()), (std::vector<double>{1.0, 2.0}));
}

TEST(DataTableAccepts, SmallestTable) {
    auto result = DataTable::create({{{-1.0}}, {{2.0}}});
    ASSERT_TRUE(std::holds_alternative<DataTable>(result));
    const DataTable& table = std::get<DataTable>(result);
    EXPECT_EQ(table.n_stands, 2u);
    EXPECT_EQ(table.n_variables, 1u);
    EXPECT_EQ(table.n_options, (std::vector<std::size_t>{1, 1}));
}

TEST(DataTableAccepts, StoresSpecialValuesBitForBit) {
    const double payload_nan = std::bit_cast<double>(std::uint64_t{0xFFF80000DEADBEEF});
    const double plain_nan = std::numeric_limits<double>::quiet_NaN();
    auto result = DataTable::create({{{payload_nan, kInf}, {plain_nan, 0.0}}, {{-kInf, -0.0}}});
    ASSERT_TRUE(std::holds_alternative<DataTable>(result));
    const DataTable& table = std::get<DataTable>(result);
    EXPECT_EQ(table.n_stands, 2u);
    EXPECT_EQ(table.n_variables, 2u);
    EXPECT_EQ(table.n_options, (std::vector<std::size_t>{2, 1}));

    auto bits = [&](std::size_t s, std::size_t o, std::size_t v) {
        return std::bit_cast<std::uint64_t>(table.option_values(s, o)[v]);
    };
    EXPECT_EQ(bits(0, 0, 0), std::uint64_t{0xFFF80000DEADBEEF});
    EXPECT_EQ(bits(0, 0, 1), std::bit_cast<std::uint64_t>(kInf));
    EXPECT_EQ(bits(0, 1, 0), std::bit_cast<std::uint64_t>(plain_nan));
    EXPECT_EQ(bits(0, 1, 1), std::uint64_t{0});
    EXPECT_EQ(bits(1, 0, 0), std::bit_cast<std::uint64_t>(-kInf));
    EXPECT_EQ(bits(1, 0, 1), std::uint64_t{0x8000000000000000});
}

// The table takes the caller's storage over instead of copying the values,
// and gives back any spare capacity.
TEST(DataTableAccepts, TakesOverStorageAndTrimsCapacity) {
    std::vector<double> a{1.0, 2.0};
    std::vector<double> b{3.0, 4.0};
    std::vector<double> c{5.0, 6.0};
    c.reserve(100);
    const double* a_data = a.data();
    const double* b_data = b.data();

    NestedValues data;
    data.reserve(16);
    std::vector<std::vector<double>> stand0;
    stand0.reserve(8);
    stand0.push_back(std::move(a));
    std::vector<std::vector<double>> stand1;
    stand1.push_back(std::move(b));
    stand1.push_back(std::move(c));
    data.push_back(std::move(stand0));
    data.push_back(std::move(stand1));

    auto result = DataTable::create(std::move(data));
    ASSERT_TRUE(std::holds_alternative<DataTable>(result));
    const DataTable& table = std::get<DataTable>(result);
    EXPECT_EQ(table.option_values(0, 0).data(), a_data);
    EXPECT_EQ(table.option_values(1, 0).data(), b_data);
    EXPECT_EQ(table.values.capacity(), 2u);
    EXPECT_EQ(table.values[0].capacity(), 1u);
    EXPECT_EQ(table.values[1][1].capacity(), 2u);
    EXPECT_EQ(table.values[1][1], (std::vector<double>{5.0, 6.0}));
}

}  // namespace
}  // namespace quorvel
