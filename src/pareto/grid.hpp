#pragma once

#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quorvel {

// Added to every value before the logarithm, and to every shifted value of
// the front search, so that the smallest value still lands in cell 0.
inline constexpr double kValueOffset = 1e-9;

// Grid coordinates of a target, one per variable.
using CellKey = std::vector<std::uint32_t>;

// Raises the grid failure for a coordinate that is negative, infinite or NaN.
[[noreturn]] void fail_invalid_coordinate(double cell);

// The cell of one value before it is checked and made a 32-bit coordinate.
inline double unchecked_cell(double value, double log_step) {
    return std::floor(std::log1p(value + kValueOffset) / log_step);
}

// Written so that NaN is not valid: every comparison with it is false.
inline bool is_valid_cell(double cell) { return cell >= 0.0 && !std::isinf(cell); }

// Whether cell_coordinate accepts a value. The coordinate never falls as the
// value grows, so it accepts every value between two values it accepts.
inline bool has_cell(double value, double log_step) {
    return is_valid_cell(unchecked_cell(value, log_step));
}

// The cell of one value on a grid whose cells are log_step wide on a log1p
// scale; saturates at the largest 32-bit value and fails for a negative,
// infinite or NaN coordinate. Inline: it runs once per candidate and variable.
inline std::uint32_t cell_coordinate(double value, double log_step) {
    const double cell = unchecked_cell(value, log_step);
    if (!is_valid_cell(cell)) [[unlikely]]
        fail_invalid_coordinate(cell);
    constexpr double kLargest = 4294967295.0;
    return cell >= kLargest ? UINT32_MAX : static_cast<std::uint32_t>(cell);
}

// Writes the coordinate of every value into out (same length), exactly as
// cell_coordinate would and failing at the first value it fails on, but
// without calling log1p for almost every value: meant for long runs of values,
// such as the targets of many candidates laid end to end.
void cell_coordinates_into(std::span<const double> values, double log_step,
                           std::span<std::uint32_t> out);

CellKey cell_coordinates(std::span<const double> target, double log_step);

// Shortest round-trip decimal form, never in exponent notation: "-3", "inf",
// "-inf", "NaN".
std::string format_plain_decimal(double value);

}  // namespace quorvel
