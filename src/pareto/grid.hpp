#pragma once

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

// The cell of one value on a grid whose cells are log_step wide on a log1p
// scale; saturates at the largest 32-bit value and fails for a negative,
// infinite or NaN coordinate.
std::uint32_t cell_coordinate(double value, double log_step);

// Writes the coordinates of every value of target into out (same length).
void cell_coordinates_into(std::span<const double> target, double log_step,
                           std::span<std::uint32_t> out);

CellKey cell_coordinates(std::span<const double> target, double log_step);

// Shortest round-trip decimal form, never in exponent notation: "-3", "inf",
// "-inf", "NaN".
std::string format_plain_decimal(double value);

}  // namespace quorvel
