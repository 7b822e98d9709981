#pragma once

#include <cstdint>

namespace quorvel {

// The range of y over which fast_log1p keeps its error bound.
inline constexpr double kFastLog1pLowest = 0x1p-1000;
inline constexpr double kFastLog1pHighest = 0x1p1000;

// |fast_log1p(y) / log1p(y) - 1| stays below this for y in the range above.
//
// Why, with u = 2^-53 the unit roundoff (every step rounds to nearest; a
// product and the sum that takes it may be fused where the processor allows,
// which is the same evaluation with the product's rounding error 0, within
// what the bound allows for it): write 1 + y = 2^k m with m in
// [sqrt(1/2), sqrt(2)) (k >= 0 since y >= 0; k taken from the rounded 1 + y,
// which widens the interval of m by a relative 2^-53 only), so
// log1p(y) = k ln2 + 2 atanh(s) with
// s = (m - 1) / (m + 1) = (y - (2^k - 1)) / (y + (2^k + 1)), |s| < 0.1716.
// - s: for k <= 52 both 2^k - 1 and 2^k + 1 are exact, so numerator,
//   denominator and quotient each round once: relative error <= 3u. For
//   k >= 53 the dropped 1 and the roundings move s by < 2^-52 absolute,
//   2.1 * 2^-52 in log(m), against log1p(y) > 36: relative < 2^-56.
// - atanh(s) / s = 1 + S(z), z = s^2 < 0.0295, S = z/3 + z^2/5 + ...; the
//   series stops after z^6/13, leaving z^7/15 / (1 - z) < 2^-39.4 relative.
//   z carries <= 7u and evaluating S (positive terms only) a few u more, but
//   S < 0.0103, so S contributes < 0.2u; the product 2s * S and the sum
//   2s + 2s S round once each: log(m) has relative error <= 3u + 0.2u + 2u
//   + 2^-39.4.
// - k = 0: the result is log(m) itself. k >= 1: k ln2 (ln2 and the product
//   round once each, 2u) plus log(m) with |log(m)| <= ln2 / 2 (to within
//   the widening above), rounded once more: the result is at least about
//   k ln2 / 2 and |log(m)|, so the relative error is <= 2 * 2u + 5.2u
//   + 2^-39.4 + u.
// Altogether < 10.2u + 2^-39.4 < 2^-39.3; the constant keeps a margin over it.
// The series is cut there, not later, because the coordinates only need the
// bound to be small against the distance of a quotient to a whole number.
// Tiny y need no special care: z underflowing to 0 changes 1 + S by < 2^-1000.
inline constexpr double kFastLog1pRelativeError = 0x1p-39;

// Two doubles, and their bit patterns: one SSE2 register on x86_64. GCC and
// Clang carry out the operators lane by lane on any target, without the
// branches that keep a plain loop from vectorising.
using DoubleLanes = double __attribute__((vector_size(16)));
using BitLanes = std::uint64_t __attribute__((vector_size(16)));
// Four of each: one AVX register, for code compiled for AVX2.
using WideDoubleLanes = double __attribute__((vector_size(32)));
using WideBitLanes = std::uint64_t __attribute__((vector_size(32)));

template <class Doubles>
struct LaneBits;
template <>
struct LaneBits<DoubleLanes> {
    using type = BitLanes;
};
template <>
struct LaneBits<WideDoubleLanes> {
    using type = WideBitLanes;
};

// log1p of each lane without a call into the C library. Meaningful only in
// [kFastLog1pLowest, kFastLog1pHighest]; other lanes get a meaningless value,
// without trapping, that callers discard. The lanes go by reference: passed
// by value, wide ones would need registers the baseline target lacks.
template <class Doubles>
[[gnu::always_inline]] inline void fast_log1p_into(const Doubles& y, Doubles& result) {
    using Bits = typename LaneBits<Doubles>::type;
    // Adding the distance between the bits of 1 and of sqrt(1/2) carries into
    // the exponent field exactly when the mantissa of 1 + y reaches sqrt(2).
    // (Casts between vectors of one size keep the bits, like std::bit_cast.)
    constexpr std::uint64_t kShift = 0x3ff0000000000000 - 0x3fe6a09e667f3bcd;
    const Bits biased_k = ((Bits)(1.0 + y) + kShift) >> 52;
    const Doubles power = (Doubles)(biased_k << 52);  // 2^k
    // The biased exponent placed in the low bits of 2^52 makes 2^52 + k + 1023.
    const Doubles k = (Doubles)(biased_k | 0x4330000000000000) - (0x1p52 + 1023.0);

    const Doubles s = (y - (power - 1.0)) / (y + (power + 1.0));
    const Doubles z = s * s;
    // z/3 + z^2/5 + ... + z^6/13 in independent parts (Estrin's scheme): a
    // chain of multiply-adds would wait on itself.
    const Doubles z2 = z * z;
    const Doubles series = z * (((1.0 / 3 + z * (1.0 / 5)) + z2 * (1.0 / 7 + z * (1.0 / 9))) +
                                (z2 * z2) * (1.0 / 11 + z * (1.0 / 13)));
    const Doubles two_s = s + s;
    constexpr double kLn2 = 0x1.62e42fefa39efp-1;
    result = k * kLn2 + (two_s + two_s * series);
}

inline DoubleLanes fast_log1p(DoubleLanes y) {
    DoubleLanes result;
    fast_log1p_into(y, result);
    return result;
}

}  // namespace quorvel
