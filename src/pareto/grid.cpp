#include "grid.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

#include "fast_log1p.hpp"
#include "internal_failure.hpp"

namespace quorvel {

std::string format_plain_decimal(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    // Fixed notation would print the exact binary value of large numbers;
    // take the shortest round-trip digits and place the decimal point.
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                   std::chars_format::scientific).ptr;
    const std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
    const std::size_t exponent_mark = text.find('e');
    std::string digits(text.substr(0, exponent_mark));
    if (digits.size() > 1) digits.erase(1, 1);  // the decimal point
    int exponent = 0;
    std::from_chars(text.data() + exponent_mark + 1 + (text[exponent_mark + 1] == '+'), end, exponent);

    std::string result = std::signbit(value) ? "-" : "";
    const auto integer_digits = static_cast<long>(exponent) + 1;
    const auto n_digits = static_cast<long>(digits.size());
    if (integer_digits >= n_digits) {
        result += digits;
        result.append(static_cast<std::size_t>(integer_digits - n_digits), '0');
    } else if (integer_digits > 0) {
        result += digits.substr(0, static_cast<std::size_t>(integer_digits));
        result += '.';
        result += digits.substr(static_cast<std::size_t>(integer_digits));
    } else {
        result += "0.";
        result.append(static_cast<std::size_t>(-integer_digits), '0');
        result += digits;
    }
    return result;
}

void fail_invalid_coordinate(double cell) {
    fail("negative coordinate value: " + format_plain_decimal(cell));
}

namespace {

// Marks a value whose cell the approximation cannot settle.
constexpr std::uint64_t kNeedsExact = std::uint64_t{1} << 32;

constexpr double kLargestCell = 4294967295.0;

// The exact quotient log1p(y) / log_step differs from the approximate one,
// fast_log1p(y) * (1 / log_step), by less than a relative 2^-46: 2^-48 from
// fast_log1p, 2^-47 granted to the C library's log1p (documented to within
// a unit or two in the last place, 2^-52), and three roundings (the reciprocal, the product, the library's
// quotient). When no whole number lies within this window of the approximate
// quotient, both quotients have the same floor; when the window lies beyond
// the saturation limit, both saturate.
constexpr double kQuotientWindow = 0x1p-40;

// Steps for which the reciprocal and every quotient below 2^51 stay normal
// numbers, so that the relative bounds hold.
constexpr double kLowestStep = 0x1p-1000;
constexpr double kHighestStep = 0x1p1000;

// Floor of 0 <= v < 2^52: adding 2^52 rounds v to a whole number.
DoubleLanes floor_below_2_52(DoubleLanes v) {
    const DoubleLanes nearest = (v + 0x1p52) - 0x1p52;
    return nearest > v ? nearest - 1.0 : nearest;
}

// The cells of both lanes whose quotient lies clear of a whole number, or
// beyond the saturation limit; kNeedsExact for every other lane and for values
// outside the range of fast_log1p (negative, tiny, huge, NaN, inf).
BitLanes approximate_cells(DoubleLanes x, double inverse_step) {
    const DoubleLanes y = x + kValueOffset;
    const auto in_range = (y >= kFastLog1pLowest) & (y <= kFastLog1pHighest);
    const DoubleLanes quotient = fast_log1p(in_range ? y : 1.0) * inverse_step;
    const DoubleLanes window = quotient * kQuotientWindow;
    const DoubleLanes cell = floor_below_2_52(quotient);
    // Exact: a positive floor lies within a factor of two of the quotient.
    const DoubleLanes fraction = quotient - cell;
    const auto clear_of_edges = (fraction > window) & (fraction + window < 1.0);
    const auto saturated = quotient - window >= kLargestCell;
    const auto settled = in_range & (quotient <= 0x1p51) & (clear_of_edges | saturated);
    // A whole number below 2^52 sits in the low bits of itself plus 2^52.
    const BitLanes bits = std::bit_cast<BitLanes>((saturated ? kLargestCell : cell) + 0x1p52);
    return settled ? bits & 0xffffffff : kNeedsExact;
}

}  // namespace

void cell_coordinates_into(std::span<const double> values, double log_step,
                           std::span<std::uint32_t> out) {
    const std::size_t n_values = values.size();
    if (!(log_step >= kLowestStep && log_step <= kHighestStep)) {
        for (std::size_t i = 0; i < n_values; ++i) out[i] = cell_coordinate(values[i], log_step);
        return;
    }
    const double inverse_step = 1.0 / log_step;
    constexpr std::size_t kLanes = sizeof(DoubleLanes) / sizeof(double);
    for (std::size_t first = 0; first < n_values; first += kLanes) {
        const std::size_t count = std::min(kLanes, n_values - first);
        // A lone last value is paired with 0, which any step accepts. Two loads
        // rather than one wide one: the values have often just been stored one
        // by one, and a wide load cannot take them from the store buffer.
        const DoubleLanes x{values[first], count == kLanes ? values[first + 1] : 0.0};
        const BitLanes cells = approximate_cells(x, inverse_step);
        // In order, so that the first value the grid rejects is the one that fails.
        for (std::size_t lane = 0; lane < count; ++lane)
            out[first + lane] = cells[lane] == kNeedsExact
                                    ? cell_coordinate(values[first + lane], log_step)
                                    : static_cast<std::uint32_t>(cells[lane]);
    }
}

CellKey cell_coordinates(std::span<const double> target, double log_step) {
    CellKey key(target.size());
    cell_coordinates_into(target, log_step, key);
    return key;
}

}  // namespace quorvel
