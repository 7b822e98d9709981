#include "minimal_triples.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace quorvel {

namespace {

// Levels of 16 bits: one SSE2 register holds eight, one AVX register
// sixteen. Comparisons give a lane of all ones where they hold.
using Levels = std::int16_t __attribute__((vector_size(16)));
using WideLevels = std::int16_t __attribute__((vector_size(32)));

// Queries get levels in [kLowestLevel, kHighestLevel]; kMarked, above them
// all, in the first column of a place fails every test of covering, and
// kUnder, below them all, in the second every test of being beaten.
constexpr std::int16_t kLowestLevel = -32767;
constexpr std::int16_t kHighestLevel = 32766;
constexpr std::int16_t kMarked = 32767;
constexpr std::int16_t kUnder = -32768;
constexpr double kLevelSpan = kHighestLevel - kLowestLevel;

// Columns are padded to whole steps of two vectors of the widest lanes.
constexpr std::size_t kStep = 2 * sizeof(WideLevels) / sizeof(std::int16_t);

// Of the two bits per lane of a comparison's result, the lower ones.
constexpr std::uint64_t kLowBitsOfLanes = 0x5555555555555555u;

// A bit per byte of a comparison's result, so two per lane.
[[gnu::always_inline]] inline unsigned byte_bits(const Levels& mask) {
#if defined(__x86_64__)
    return static_cast<unsigned>(_mm_movemask_epi8(__m128i(mask)));
#else
    unsigned bits = 0;
    for (unsigned lane = 0; lane < 8; ++lane)
        if (mask[lane] != 0) bits |= 3u << (2 * lane);
    return bits;
#endif
}

[[gnu::always_inline]] inline unsigned byte_bits(const WideLevels& mask) {
    Levels halves[2];
    std::memcpy(halves, &mask, sizeof(mask));
    return byte_bits(halves[0]) | byte_bits(halves[1]) << 16;
}

// Whether every lane is all ones: the halves of a wide vector are merged
// first.
[[gnu::always_inline]] inline bool all_lanes(const Levels& mask) {
    return byte_bits(mask) == 0xFFFFu;
}

[[gnu::always_inline]] inline bool all_lanes(const WideLevels& mask) {
    Levels halves[2];
    std::memcpy(halves, &mask, sizeof(mask));
    return all_lanes(halves[0] & halves[1]);
}

// Vectors go by reference: by value, the wide ones would need AVX in every
// function they pass through.
template <class Lanes>
[[gnu::always_inline]] inline void load(const std::int16_t* levels, Lanes& lanes) {
    std::memcpy(&lanes, levels, sizeof(lanes));
}

// Lanes of all ones where a kept triple is not no greater than the query,
// and where the query is not no greater than it, or everywhere if beaten
// triples are not looked for: integer vectors compare by "greater" in one
// instruction.
template <class Lanes>
struct Comparison {
    Lanes not_covering;
    Lanes not_beaten;
};

template <class Lanes, bool kMarksBeaten>
[[gnu::always_inline]] inline void compare(const std::int16_t* first, const std::int16_t* second,
                                           const std::int16_t* third, const Lanes& query_first,
                                           const Lanes& query_second, const Lanes& query_third,
                                           Comparison<Lanes>& result) {
    Lanes kept_first, kept_second, kept_third;
    load(first, kept_first);
    load(second, kept_second);
    load(third, kept_third);
    result.not_covering =
        (kept_first > query_first) | (kept_second > query_second) | (kept_third > query_third);
    if constexpr (kMarksBeaten)
        result.not_beaten = (query_first > kept_first) | (query_second > kept_second) |
                            (query_third > kept_third);
    else
        result.not_beaten = Lanes{} - 1;
}

// Bit 2i stands for place i of a step of two vectors.
template <class Lanes>
[[gnu::always_inline]] inline std::uint64_t step_bits(const Lanes& low, const Lanes& high) {
    return (byte_bits(low) | std::uint64_t{byte_bits(high)} << sizeof(Lanes)) & kLowBitsOfLanes;
}

bool kept_no_greater(const MinimalTriples::Columns& kept, std::size_t place,
                     const std::array<double, 3>& query) {
    return kept.values[0][place] <= query[0] && kept.values[1][place] <= query[1] &&
           kept.values[2][place] <= query[2];
}

bool query_no_greater(const MinimalTriples::Columns& kept, std::size_t place,
                      const std::array<double, 3>& query) {
    return query[0] <= kept.values[0][place] && query[1] <= kept.values[1][place] &&
           query[2] <= kept.values[2][place];
}

// Settles a step of places from `low` on whose levels left candidates:
// bit kBitsPerPlace * i of each mask stands for place low + i, and only the
// exact values decide. A kept triple that covers the query is newer than
// any the query beats: an older one would have covered the beaten triple
// when it was added, every earlier add being exact (by induction), in a
// scan its sum cannot stop before it. So once the scan has marked a beaten
// triple it looks no more for a covering one. Returns whether the query is
// covered.
template <unsigned kBitsPerPlace>
[[gnu::always_inline]] inline bool settle_step(const MinimalTriples::Columns& kept,
                                               const std::array<double, 3>& query, std::size_t low,
                                               std::uint64_t may_cover, std::uint64_t may_be_beaten,
                                               std::size_t& n_beaten) {
    if (n_beaten == 0)
        for (; may_cover != 0; may_cover &= may_cover - 1)
            if (kept_no_greater(kept, low + std::countr_zero(may_cover) / kBitsPerPlace, query))
                return true;
    for (; may_be_beaten != 0; may_be_beaten &= may_be_beaten - 1) {
        const std::size_t place = low + std::countr_zero(may_be_beaten) / kBitsPerPlace;
        if (query_no_greater(kept, place, query)) {
            kept.levels[0][place] = kMarked;
            kept.levels[1][place] = kUnder;
            ++n_beaten;
        }
    }
    return false;
}

// Whether a scan by sums stops below this place: the triples below all
// have greater sums than the query. Scans whose query sum is NaN are not by
// sums, and are compiled without the test. The kernels test it on each
// outcome of a step rather than once after both: joined, GCC reloads the
// column pointers at every step, and unif-4 ran about 2% slower.
template <bool kBySums>
[[gnu::always_inline]] inline bool sums_rule_out_below(const MinimalTriples::Columns& kept,
                                                       std::size_t place, double query_sum) {
    if constexpr (kBySums) return kept.least_sums[place] > query_sum;
    return false;
}

// Rounding keeps the order, so a triple no greater than the query has no
// greater levels, and the levels only leave the exact values to confirm.
// Newest first: a row's dominator is mostly a recent one. Two vectors a
// step, so that the one test of a step that finds nothing (the most common)
// is shared.
template <class Lanes, bool kBySums, bool kMarksBeaten>
[[gnu::always_inline]] inline MinimalTriples::Scan scan_in_lanes(
    const MinimalTriples::Columns& kept, const std::array<std::int16_t, 3>& query_levels,
    const std::array<double, 3>& query, double query_sum) {
    constexpr std::size_t kLanes = sizeof(Lanes) / sizeof(std::int16_t);
    const std::int16_t* const first = kept.levels[0];
    const std::int16_t* const second = kept.levels[1];
    const std::int16_t* const third = kept.levels[2];
    const Lanes query_first = Lanes{} + query_levels[0];
    const Lanes query_second = Lanes{} + query_levels[1];
    const Lanes query_third = Lanes{} + query_levels[2];
    std::size_t n_beaten = 0;
    for (std::size_t low = kept.n_places; low > 0;) {
        low -= 2 * kLanes;
        const std::size_t high = low + kLanes;
        Comparison<Lanes> at_low, at_high;
        compare<Lanes, kMarksBeaten>(first + low, second + low, third + low, query_first,
                                     query_second, query_third, at_low);
        compare<Lanes, kMarksBeaten>(first + high, second + high, third + high, query_first,
                                     query_second, query_third, at_high);
        if (all_lanes(at_low.not_covering & at_low.not_beaten & at_high.not_covering &
                      at_high.not_beaten)) {
            if (sums_rule_out_below<kBySums>(kept, low, query_sum))
                return {false, n_beaten, kept.n_places - low};
            continue;
        }
        if (settle_step<2>(kept, query, low, step_bits(~at_low.not_covering, ~at_high.not_covering),
                           step_bits(~at_low.not_beaten, ~at_high.not_beaten), n_beaten))
            return {true, 0, kept.n_places - low};
        if (sums_rule_out_below<kBySums>(kept, low, query_sum))
            return {false, n_beaten, kept.n_places - low};
    }
    return {false, n_beaten, kept.n_places};
}

// Scans not by sums always mark the triples the query beats.
MinimalTriples::Scan narrow_scan(const MinimalTriples::Columns& kept,
                                 const std::array<std::int16_t, 3>& query_levels,
                                 const std::array<double, 3>& query, double query_sum,
                                 bool marks_beaten) {
    if (std::isnan(query_sum))
        return scan_in_lanes<Levels, false, true>(kept, query_levels, query, query_sum);
    return marks_beaten ? scan_in_lanes<Levels, true, true>(kept, query_levels, query, query_sum)
                        : scan_in_lanes<Levels, true, false>(kept, query_levels, query, query_sum);
}

#if defined(__x86_64__)
[[gnu::target("avx2")]] MinimalTriples::Scan wide_scan(
    const MinimalTriples::Columns& kept, const std::array<std::int16_t, 3>& query_levels,
    const std::array<double, 3>& query, double query_sum, bool marks_beaten) {
    if (std::isnan(query_sum))
        return scan_in_lanes<WideLevels, false, true>(kept, query_levels, query, query_sum);
    return marks_beaten
               ? scan_in_lanes<WideLevels, true, true>(kept, query_levels, query, query_sum)
               : scan_in_lanes<WideLevels, true, false>(kept, query_levels, query, query_sum);
}

// A step is one register of 32 levels; comparisons give a bit per place
// directly, and a comparison under the mask of the one before it tests a
// whole triple in three instructions.
template <bool kBySums, bool kMarksBeaten>
[[gnu::target("avx512bw")]] MinimalTriples::Scan scan_in_masks(
    const MinimalTriples::Columns& kept, const std::array<std::int16_t, 3>& query_levels,
    const std::array<double, 3>& query, double query_sum) {
    static_assert(kStep == 32);
    const __m512i query_first = _mm512_set1_epi16(query_levels[0]);
    const __m512i query_second = _mm512_set1_epi16(query_levels[1]);
    const __m512i query_third = _mm512_set1_epi16(query_levels[2]);
    std::size_t n_beaten = 0;
    for (std::size_t low = kept.n_places; low > 0;) {
        low -= kStep;
        const __m512i first = _mm512_loadu_si512(kept.levels[0] + low);
        const __m512i second = _mm512_loadu_si512(kept.levels[1] + low);
        const __m512i third = _mm512_loadu_si512(kept.levels[2] + low);
        const __mmask32 may_cover = _mm512_mask_cmple_epi16_mask(
            _mm512_mask_cmple_epi16_mask(_mm512_cmple_epi16_mask(first, query_first), second,
                                         query_second),
            third, query_third);
        __mmask32 may_be_beaten = 0;
        if constexpr (kMarksBeaten)
            may_be_beaten = _mm512_mask_cmpge_epi16_mask(
                _mm512_mask_cmpge_epi16_mask(_mm512_cmpge_epi16_mask(first, query_first), second,
                                             query_second),
                third, query_third);
        if ((may_cover | may_be_beaten) == 0) {
            if (sums_rule_out_below<kBySums>(kept, low, query_sum))
                return {false, n_beaten, kept.n_places - low};
            continue;
        }
        if (settle_step<1>(kept, query, low, may_cover, may_be_beaten, n_beaten))
            return {true, 0, kept.n_places - low};
        if (sums_rule_out_below<kBySums>(kept, low, query_sum))
            return {false, n_beaten, kept.n_places - low};
    }
    return {false, n_beaten, kept.n_places};
}

[[gnu::target("avx512bw")]] MinimalTriples::Scan mask_scan(
    const MinimalTriples::Columns& kept, const std::array<std::int16_t, 3>& query_levels,
    const std::array<double, 3>& query, double query_sum, bool marks_beaten) {
    if (std::isnan(query_sum))
        return scan_in_masks<false, true>(kept, query_levels, query, query_sum);
    return marks_beaten ? scan_in_masks<true, true>(kept, query_levels, query, query_sum)
                        : scan_in_masks<true, false>(kept, query_levels, query, query_sum);
}
#endif

std::vector<MinimalTriples::Kernel> kernels_of_this_processor() {
    std::vector<MinimalTriples::Kernel> kernels;
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx512bw")) kernels.push_back({"avx512", mask_scan});
    if (__builtin_cpu_supports("avx2")) kernels.push_back({"avx2", wide_scan});
#endif
    kernels.push_back({"eight lanes", narrow_scan});
    return kernels;
}

}  // namespace

std::span<const MinimalTriples::Kernel> MinimalTriples::kernels() {
    static const std::vector<Kernel> kernels = kernels_of_this_processor();
    return kernels;
}

void MinimalTriples::clear(const std::array<Bounds, 3>& bounds) {
    for (std::size_t c = 0; c < 3; ++c) {
        lowest_[c] = bounds[c].lowest;
        const double width = bounds[c].highest - bounds[c].lowest;
        // An empty or unbounded span leaves one level for every value.
        scale_[c] =
            width > 0 && width < std::numeric_limits<double>::infinity() ? kLevelSpan / width : 0.0;
        levels_[c].clear();
        values_[c].clear();
    }
    least_sums_.clear();
    least_sum_ = std::numeric_limits<double>::infinity();
    covered_lead_ = 0;
    beating_lead_ = 0;
    scans_since_sample_ = 0;
    used_ = 0;
    size_ = 0;
    compared_ = 0;
    refresh_columns();
}

// Subtracting, scaling by a factor >= 0, clamping and truncating each keep
// the order of values, so the levels do. NaN, from infinite values, goes to
// the lowest level along with every other value of its column.
std::int16_t MinimalTriples::level(std::size_t column, double value) const {
    const double scaled = (value - lowest_[column]) * scale_[column];
    const double clamped = scaled >= 0.0 ? std::min(scaled, kLevelSpan) : 0.0;
    return static_cast<std::int16_t>(kLowestLevel + static_cast<int>(clamped));
}

bool MinimalTriples::add_if_uncovered(const std::array<double, 3>& triple) {
    const std::array<std::int16_t, 3> levels{level(0, triple[0]), level(1, triple[1]),
                                             level(2, triple[2])};
    const double sum = triple[0] + triple[1] + triple[2];
    // A scan not by sums is given a NaN sum, which stops none.
    const bool by_sums = covered_lead_ <= 0;
    const bool marks_beaten = !by_sums || beating_lead_ > 0 ||
                              ++scans_since_sample_ % kSampledScans == 0;
    const Scan found =
        scan_(columns_, levels, triple, by_sums ? sum : std::numeric_limits<double>::quiet_NaN(),
              marks_beaten);
    compared_ += found.n_compared;
    covered_lead_ += found.covered ? 1 : -1;
    if (found.covered) return false;
    // Bounded below, so that beaten triples are looked for again soon after
    // they grow common.
    if (by_sums && marks_beaten)
        beating_lead_ = found.n_beaten > 0
                            ? beating_lead_ + std::ptrdiff_t{kSampledScans} - 1
                            : std::max(beating_lead_ - 1, -std::ptrdiff_t{kSampledScans});
    size_ -= found.n_beaten;
    // Marked places cost every later scan: a quarter of them is enough.
    if (4 * size_ < 3 * used_) drop_marked();
    append(levels, triple, sum);
    return true;
}

void MinimalTriples::drop_marked() {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < used_; ++i) {
        if (levels_[0][i] == kMarked) continue;
        for (std::size_t c = 0; c < 3; ++c) {
            levels_[c][kept] = levels_[c][i];
            values_[c][kept] = values_[c][i];
        }
        least_sums_[kept] = least_sums_[i];
        ++kept;
    }
    used_ = kept;
    set_places((kept + kStep - 1) / kStep * kStep);
}

// Places from used_ on are padding, marked like a beaten triple, with a
// least sum that stops no scan.
void MinimalTriples::set_places(std::size_t n_places) {
    for (std::size_t c = 0; c < 3; ++c) {
        levels_[c].resize(n_places);
        values_[c].resize(n_places);
    }
    least_sums_.resize(n_places);
    std::fill(levels_[0].begin() + used_, levels_[0].end(), kMarked);
    std::fill(levels_[1].begin() + used_, levels_[1].end(), kUnder);
    std::fill(least_sums_.begin() + used_, least_sums_.end(),
              -std::numeric_limits<double>::infinity());
    refresh_columns();
}

void MinimalTriples::refresh_columns() {
    columns_ = {{levels_[0].data(), levels_[1].data(), levels_[2].data()},
                {values_[0].data(), values_[1].data(), values_[2].data()},
                least_sums_.data(),
                levels_[0].size()};
}

// Inlined into its one caller, as it was before it grew.
[[gnu::always_inline]] inline void MinimalTriples::append(
    const std::array<std::int16_t, 3>& levels, const std::array<double, 3>& triple, double sum) {
    if (used_ == levels_[0].size()) set_places(used_ + kStep);
    for (std::size_t c = 0; c < 3; ++c) {
        levels_[c][used_] = levels[c];
        values_[c][used_] = triple[c];
    }
    // A NaN sum leaves the least sum as it was.
    if (sum < least_sum_) least_sum_ = sum;
    least_sums_[used_] = least_sum_;
    ++used_;
    ++size_;
}

}  // namespace quorvel
