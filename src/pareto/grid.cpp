#include "grid.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>
#include <vector>

#include "fast_log1p.hpp"
#include "grid_kernels.hpp"
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

constexpr double kLargestCell = 4294967295.0;

// The exact quotient log1p(y) / log_step differs from the approximate one,
// fast_log1p(y) * (1 / log_step), by less than a relative 2^-38.9: 2^-39 from
// fast_log1p, 2^-47 granted to the C library's log1p (documented to within a
// unit or two in the last place, 2^-52), and three roundings (the reciprocal,
// the product, the library's quotient). When no whole number lies within this
// window of the approximate quotient, both quotients have the same floor; when
// the approximate one is at least kLargestCell + 1/2, both saturate.
constexpr double kQuotientWindow = 0x1p-37;

// Steps for which the reciprocal and every quotient that is not capped stay
// finite normal numbers (or fall below 1, where a cell 0 needs no bound), so
// that the relative bounds hold.
constexpr double kLowestStep = 0x1p-1000;
constexpr double kHighestStep = 0x1p1000;

// Adding it to -1/2 <= v < 2^51 leaves v rounded to a whole number n, as
// 2^52 + 2^51 + n: n sits in the low bits.
constexpr double kRoundingShift = 0x1.8p52;

// The cell of every lane in the low half of cells; settled all ones for the
// lanes whose quotient lies clear of whole numbers or beyond the saturation
// limit, zero for the others and for values outside the range of fast_log1p
// (negative, tiny, huge, NaN, inf).
template <class Doubles, class Bits>
[[gnu::always_inline]] inline void approximate_cells(const Doubles& x, double inverse_step,
                                                     Bits& cells, Bits& settled) {
    const Doubles y = x + kValueOffset;
    const auto in_range = (y >= kFastLog1pLowest) & (y <= kFastLog1pHighest);
    Doubles logarithm;
    fast_log1p_into(y, logarithm);
    const Doubles unlimited = logarithm * inverse_step;
    // A quotient at the cap lands on kLargestCell, clear of both neighbours.
    constexpr double kCap = kLargestCell + 0.5;
    const Doubles quotient = unlimited < kCap ? unlimited : kCap;
    // In range the quotient lies in [0, 2^33): subtracting 1/2 is exact but
    // for quotients below 2^-53, whose cell is 0 however it rounds; all after
    // the rounding to a whole number is exact.
    const Doubles lowered = quotient - 0.5;
    const Doubles rounded = lowered + kRoundingShift;
    // quotient - floor(quotient) - 1/2 whenever the quotient is clear.
    const Doubles offset = lowered - (rounded - kRoundingShift);
    const Doubles distance = (Doubles)((Bits)offset & 0x7fffffffffffffff);
    const auto clear = distance + quotient * kQuotientWindow < 0.5;
    settled = (Bits)(in_range & clear);
    cells = (Bits)rounded;
}

// The lane types of one vector width, with what the generic code cannot say
// for every width: whether all lanes of a mask are set, and the low 32 bits of
// every lane side by side (the cells, ready to store).
struct NarrowLanes {
    using Doubles = DoubleLanes;
    using Bits = BitLanes;
    using Cells = std::uint32_t __attribute__((vector_size(8)));
    using HalfBits = std::uint32_t __attribute__((vector_size(16)));

    static bool all(const Bits& mask) { return (mask[0] & mask[1]) != 0; }
    static Cells low_halves(const Bits& bits) {
        const HalfBits halves = (HalfBits)bits;
        return __builtin_shufflevector(halves, halves, 0, 2);
    }
};

struct WideLanes {
    // Takes the values left over after the last full vector.
    using Narrower = NarrowLanes;
    using Doubles = WideDoubleLanes;
    using Bits = WideBitLanes;
    using Cells = std::uint32_t __attribute__((vector_size(16)));
    using HalfBits = std::uint32_t __attribute__((vector_size(32)));

    [[gnu::always_inline]] static bool all(const Bits& mask) {
        return NarrowLanes::all(__builtin_shufflevector(mask, mask, 0, 1) &
                                __builtin_shufflevector(mask, mask, 2, 3));
    }
    [[gnu::always_inline]] static Cells low_halves(const Bits& bits) {
        const HalfBits halves = (HalfBits)bits;
        return __builtin_shufflevector(halves, halves, 0, 2, 4, 6);
    }
};

// Replaces the coordinates of the lanes the approximation left open by exact
// ones; in order, so that the first value the grid rejects is the one that
// fails.
template <class Lanes>
[[gnu::always_inline]] inline void settle_open_lanes(const double* values, double log_step,
                                                     std::size_t count,
                                                     const typename Lanes::Bits& settled,
                                                     std::uint32_t* out) {
    for (std::size_t lane = 0; lane < count; ++lane)
        if (!settled[lane]) out[lane] = cell_coordinate(values[lane], log_step);
}

// For a step between kLowestStep and kHighestStep.
template <class Lanes>
[[gnu::always_inline]] inline void coordinates_in_lanes(std::span<const double> values,
                                                        double log_step, double inverse_step,
                                                        std::span<std::uint32_t> out) {
    const std::size_t n_values = values.size();
    using Bits = typename Lanes::Bits;
    constexpr std::size_t kLanes = sizeof(typename Lanes::Doubles) / sizeof(double);
    // Vectors store their cells as if all were settled and keep their masks;
    // one combined mask per chunk says whether any lane needs the exact path,
    // cheaper than a test per vector.
    constexpr std::size_t kChunkVectors = 8;
    Bits cells;
    Bits masks[kChunkVectors];
    const std::size_t full_end = n_values - n_values % kLanes;
    for (std::size_t chunk = 0; chunk < full_end; chunk += kChunkVectors * kLanes) {
        const std::size_t chunk_end = std::min(full_end, chunk + kChunkVectors * kLanes);
        Bits all_settled = ~Bits{};
        for (std::size_t first = chunk, v = 0; first < chunk_end; first += kLanes, ++v) {
            typename Lanes::Doubles x;
            if (first + kLanes < full_end) {
                std::memcpy(&x, values.data() + first, sizeof x);
            } else {
                // The last values have often just been stored one by one: a
                // wide load would wait for the stores to reach the cache.
                const volatile double* last = values.data() + first;
                for (std::size_t lane = 0; lane < kLanes; ++lane) x[lane] = last[lane];
            }
            approximate_cells(x, inverse_step, cells, masks[v]);
            const typename Lanes::Cells packed = Lanes::low_halves(cells);
            std::memcpy(out.data() + first, &packed, sizeof packed);
            all_settled &= masks[v];
        }
        if (Lanes::all(all_settled)) [[likely]]
            continue;
        for (std::size_t first = chunk, v = 0; first < chunk_end; first += kLanes, ++v)
            settle_open_lanes<Lanes>(values.data() + first, log_step, kLanes, masks[v],
                                     out.data() + first);
    }
    const std::size_t first = full_end;
    if (first == n_values) return;
    if constexpr (requires { typename Lanes::Narrower; }) {
        coordinates_in_lanes<typename Lanes::Narrower>(values.subspan(first), log_step,
                                                       inverse_step, out.subspan(first));
    } else {
        // Left over from pairs: one value, paired with 0, which any step
        // accepts. Built in a register: a store and a wide reload would stall.
        static_assert(kLanes == 2);
        const typename Lanes::Doubles x{values[first]};
        Bits settled;
        approximate_cells(x, inverse_step, cells, settled);
        out[first] = static_cast<std::uint32_t>(cells[0]);
        settle_open_lanes<Lanes>(values.data() + first, log_step, 1, settled, out.data() + first);
    }
}

template <class Lanes>
[[gnu::always_inline]] inline void coordinates_for_any_step(std::span<const double> values,
                                                            double log_step,
                                                            std::span<std::uint32_t> out) {
    if (log_step >= kLowestStep && log_step <= kHighestStep) {
        coordinates_in_lanes<Lanes>(values, log_step, 1.0 / log_step, out);
        return;
    }
    for (std::size_t i = 0; i < values.size(); ++i) out[i] = cell_coordinate(values[i], log_step);
}

void narrow_coordinates(std::span<const double> values, double log_step,
                        std::span<std::uint32_t> out) {
    coordinates_for_any_step<NarrowLanes>(values, log_step, out);
}

#if defined(__x86_64__)
// Fused multiply-adds take about an eighth off the time of a batch.
[[gnu::target("avx2,fma")]] void wide_coordinates(std::span<const double> values,
                                                  double log_step, std::span<std::uint32_t> out) {
    coordinates_for_any_step<WideLanes>(values, log_step, out);
}
#endif

std::vector<CoordinateKernel> kernels_of_this_processor() {
    std::vector<CoordinateKernel> kernels;
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))
        kernels.push_back({"avx2+fma", wide_coordinates});
#endif
    kernels.push_back({"two lanes", narrow_coordinates});
    return kernels;
}

}  // namespace

std::span<const CoordinateKernel> coordinate_kernels() {
    static const std::vector<CoordinateKernel> kernels = kernels_of_this_processor();
    return kernels;
}

void cell_coordinates_into(std::span<const double> values, double log_step,
                           std::span<std::uint32_t> out) {
    static const auto fastest = coordinate_kernels().front().run;
    fastest(values, log_step, out);
}

CellKey cell_coordinates(std::span<const double> target, double log_step) {
    CellKey key(target.size());
    cell_coordinates_into(target, log_step, key);
    return key;
}

}  // namespace quorvel
