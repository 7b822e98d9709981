#include "grid.hpp"

#include <charconv>
#include <cmath>
#include <string_view>

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

CellKey cell_coordinates(std::span<const double> target, double log_step) {
    CellKey key(target.size());
    cell_coordinates_into(target, log_step, key);
    return key;
}

}  // namespace quorvel
