#include "minimal_triples.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "pareto/lanes.hpp"

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace quorvel {

namespace {

constexpr double kMarked = std::numeric_limits<double>::quiet_NaN();

// Columns are padded to whole steps of two vectors of the widest lanes.
constexpr std::size_t kStep = 2 * sizeof(WideDoubleLanes) / sizeof(double);

using Mask = std::int64_t __attribute__((vector_size(sizeof(DoubleLanes))));
using WideMask = std::int64_t __attribute__((vector_size(sizeof(WideDoubleLanes))));

// A bit per lane of a comparison's result.
[[gnu::always_inline]] inline unsigned lane_bits(const Mask& mask) {
#if defined(__x86_64__)
    return static_cast<unsigned>(_mm_movemask_pd(__m128d(mask)));
#else
    return (mask[0] != 0 ? 1u : 0u) | (mask[1] != 0 ? 2u : 0u);
#endif
}

[[gnu::always_inline]] inline unsigned lane_bits(const WideMask& mask) {
    Mask halves[2];
    std::memcpy(halves, &mask, sizeof(mask));
    return lane_bits(halves[0]) | lane_bits(halves[1]) << 2;
}

// Vectors go by reference: by value, the wide ones would need AVX in
// every function they pass through.
template <class Lanes>
[[gnu::always_inline]] inline void load(const double* values, Lanes& lanes) {
    std::memcpy(&lanes, values, sizeof(lanes));
}

template <class Lanes>
struct Comparison {
    decltype(Lanes{} <= Lanes{}) covering;
    decltype(Lanes{} <= Lanes{}) beaten;
};

template <class Lanes>
[[gnu::always_inline]] inline void compare(const double* first, const double* second,
                                           const double* third, const Lanes& query_first,
                                           const Lanes& query_second, const Lanes& query_third,
                                           Comparison<Lanes>& result) {
    Lanes kept_first, kept_second, kept_third;
    load(first, kept_first);
    load(second, kept_second);
    load(third, kept_third);
    result.covering = (kept_first <= query_first) & (kept_second <= query_second) &
                      (kept_third <= query_third);
    result.beaten = (query_first <= kept_first) & (query_second <= kept_second) &
                    (query_third <= kept_third);
}

// Marks the beaten lanes of the vector at `first`; returns how many.
template <class Lanes>
[[gnu::always_inline]] inline std::size_t mark_beaten(double* first,
                                                      const decltype(Lanes{} <= Lanes{})& beaten) {
    Lanes kept_first;
    load(first, kept_first);
    const Lanes marked = beaten ? kMarked - Lanes{} : kept_first;
    std::memcpy(first, &marked, sizeof(marked));
    return static_cast<std::size_t>(std::popcount(lane_bits(beaten)));
}

// The kept triples are pairwise incomparable, so a triple that beats one of
// them is covered by none: from there on the scan only marks the triples it
// beats. Newest first: a row's dominator is mostly a recent one. Two vectors
// a step, so that the one test of a step that finds nothing (the most
// common) is shared.
template <class Lanes>
[[gnu::always_inline]] inline MinimalTriples::Scan scan_in_lanes(
    double* first, const double* second, const double* third, std::size_t n_places,
    double query_first, double query_second, double query_third) {
    constexpr std::size_t kLanes = sizeof(Lanes) / sizeof(double);
    const Lanes all_first = query_first - Lanes{};
    const Lanes all_second = query_second - Lanes{};
    const Lanes all_third = query_third - Lanes{};
    std::size_t n_beaten = 0;
    for (std::size_t low = n_places; low > 0;) {
        low -= 2 * kLanes;
        const std::size_t high = low + kLanes;
        Comparison<Lanes> at_low, at_high;
        compare(first + low, second + low, third + low, all_first, all_second, all_third, at_low);
        compare(first + high, second + high, third + high, all_first, all_second, all_third,
                at_high);
        if (lane_bits(at_low.covering | at_low.beaten | at_high.covering | at_high.beaten) == 0)
            continue;
        if (n_beaten == 0 && lane_bits(at_low.covering | at_high.covering) != 0)
            return {true, 0, n_places - low};
        n_beaten += mark_beaten<Lanes>(first + low, at_low.beaten) +
                    mark_beaten<Lanes>(first + high, at_high.beaten);
    }
    return {false, n_beaten, n_places};
}

MinimalTriples::Scan narrow_scan(double* first, const double* second, const double* third,
                                 std::size_t n_places, double query_first, double query_second,
                                 double query_third) {
    return scan_in_lanes<DoubleLanes>(first, second, third, n_places, query_first, query_second,
                                      query_third);
}

#if defined(__x86_64__)
[[gnu::target("avx2")]] MinimalTriples::Scan wide_scan(double* first, const double* second,
                                                       const double* third, std::size_t n_places,
                                                       double query_first, double query_second,
                                                       double query_third) {
    return scan_in_lanes<WideDoubleLanes>(first, second, third, n_places, query_first,
                                          query_second, query_third);
}
#endif

std::vector<MinimalTriples::Kernel> kernels_of_this_processor() {
    std::vector<MinimalTriples::Kernel> kernels;
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx2")) kernels.push_back({"avx2", wide_scan});
#endif
    kernels.push_back({"two lanes", narrow_scan});
    return kernels;
}

}  // namespace

std::span<const MinimalTriples::Kernel> MinimalTriples::kernels() {
    static const std::vector<Kernel> kernels = kernels_of_this_processor();
    return kernels;
}

void MinimalTriples::clear() {
    first_.clear();
    second_.clear();
    third_.clear();
    used_ = 0;
    size_ = 0;
    compared_ = 0;
}

bool MinimalTriples::add_if_uncovered(double first, double second, double third) {
    const Scan found =
        scan_(first_.data(), second_.data(), third_.data(), first_.size(), first, second, third);
    compared_ += found.n_compared;
    if (found.covered) return false;
    size_ -= found.n_beaten;
    // Marked places cost every later scan: a quarter of them is enough.
    if (4 * size_ < 3 * used_) drop_marked();
    append(first, second, third);
    return true;
}

void MinimalTriples::drop_marked() {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < used_; ++i) {
        if (std::isnan(first_[i])) continue;
        first_[kept] = first_[i];
        second_[kept] = second_[i];
        third_[kept] = third_[i];
        ++kept;
    }
    used_ = kept;
    const std::size_t padded = (kept + kStep - 1) / kStep * kStep;
    for (std::vector<double>* column : {&first_, &second_, &third_}) {
        column->resize(padded);
        std::fill(column->begin() + kept, column->end(), kMarked);
    }
}

void MinimalTriples::append(double first, double second, double third) {
    if (used_ == first_.size())
        for (std::vector<double>* column : {&first_, &second_, &third_})
            column->insert(column->end(), kStep, kMarked);
    first_[used_] = first;
    second_[used_] = second;
    third_[used_] = third;
    ++used_;
    ++size_;
}

}  // namespace quorvel
