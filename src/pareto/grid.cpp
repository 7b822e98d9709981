#include "grid.hpp"

#include <charconv>
#include <cmath>

#include "internal_failure.hpp"

namespace quorvel {

std::string format_plain_decimal(double value) {
    if (std::isnan(value)) return "NaN";
    // Fixed notation of a double needs at most ~330 characters.
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      std::chars_format::fixed);
    return std::string(buffer, result.ptr);
}

std::uint32_t cell_coordinate(double value, double log_step) {
    const double scaled = std::log1p(value + kValueOffset) / log_step;
    const double cell = std::floor(scaled);
    // Written so that NaN also fails: every comparison with it is false.
    if (!(cell >= 0.0) || std::isinf(cell))
        fail("negative coordinate value: " + format_plain_decimal(cell));
    constexpr double kLargest = 4294967295.0;
    return cell >= kLargest ? UINT32_MAX : static_cast<std::uint32_t>(cell);
}

void cell_coordinates_into(std::span<const double> target, double log_step,
                           std::span<std::uint32_t> out) {
    for (std::size_t v = 0; v < target.size(); ++v) out[v] = cell_coordinate(target[v], log_step);
}

CellKey cell_coordinates(std::span<const double> target, double log_step) {
    CellKey key(target.size());
    cell_coordinates_into(target, log_step, key);
    return key;
}

}  // namespace quorvel
