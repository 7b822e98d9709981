#include "key_sort.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <span>
#include <utility>

namespace quorvel {

std::uint64_t order_key(double value) {
    // Adding +0.0 turns -0 into +0.
    const auto bits = std::bit_cast<std::uint64_t>(value + 0.0);
    return (bits >> 63) != 0 ? ~bits : bits | (std::uint64_t{1} << 63);
}

namespace {

// Large sorts take wider digits: fewer passes over memory that no longer
// fits in cache, while small sorts keep counters that stay in L1.
constexpr std::size_t kWideDigitsFrom = std::size_t{1} << 16;
constexpr unsigned kWideDigitBits = 11;
constexpr unsigned kNarrowDigitBits = 8;
constexpr unsigned kMaxPasses = 64 / kNarrowDigitBits;

}  // namespace

void sort_by_key(std::vector<KeyedIndex>& entries, std::vector<KeyedIndex>& scratch) {
    if (entries.size() < 2) return;
    // Only the bits on which some keys differ need passes; keys drawn from a
    // narrow range of values share their sign, exponent and leading bits.
    std::uint64_t differing = 0;
    const std::uint64_t first = entries.front().key;
    for (const KeyedIndex& entry : entries) differing |= entry.key ^ first;
    if (differing == 0) return;
    const auto low_bit = static_cast<unsigned>(std::countr_zero(differing));
    const auto bit_span = static_cast<unsigned>(64 - std::countl_zero(differing)) - low_bit;
    const unsigned digit_bits = entries.size() >= kWideDigitsFrom ? kWideDigitBits : kNarrowDigitBits;
    const unsigned n_passes = (bit_span + digit_bits - 1) / digit_bits;
    const std::uint64_t digit_mask = (std::uint64_t{1} << digit_bits) - 1;
    const auto digit = [&](std::uint64_t key, unsigned pass) {
        return static_cast<std::size_t>((key >> (low_bit + digit_bits * pass)) & digit_mask);
    };

    // Only the counters in use are cleared: small sorts stay cheap.
    std::array<std::array<CompactIndex, std::size_t{1} << kWideDigitBits>, kMaxPasses> counts;
    for (unsigned pass = 0; pass < n_passes; ++pass)
        std::fill_n(counts[pass].begin(), digit_mask + 1, 0);
    for (const KeyedIndex& entry : entries)
        for (unsigned pass = 0; pass < n_passes; ++pass) ++counts[pass][digit(entry.key, pass)];

    scratch.resize(entries.size());
    for (unsigned pass = 0; pass < n_passes; ++pass) {
        const auto count = std::span(counts[pass]).first(digit_mask + 1);
        // A digit on which all keys agree needs no pass.
        if (std::find(count.begin(), count.end(), entries.size()) != count.end()) continue;
        CompactIndex start = 0;
        for (CompactIndex& c : count) start += std::exchange(c, start);
        for (const KeyedIndex& entry : entries) scratch[count[digit(entry.key, pass)]++] = entry;
        entries.swap(scratch);
    }
}

std::size_t rank_keys(const std::vector<KeyedIndex>& sorted, std::vector<CompactIndex>& rank_of) {
    rank_of.resize(sorted.size());
    std::size_t n_ranks = 0;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (i == 0 || sorted[i].key != sorted[i - 1].key) ++n_ranks;
        rank_of[sorted[i].index] = static_cast<CompactIndex>(n_ranks);
    }
    return n_ranks;
}

std::size_t rank_column(std::span<const double> rows, std::size_t n_variables, std::size_t column,
                        std::vector<KeyedIndex>& entries, std::vector<KeyedIndex>& scratch,
                        std::vector<CompactIndex>& rank_of) {
    const std::size_t n_rows = rows.size() / n_variables;
    entries.resize(n_rows);
    for (std::size_t i = 0; i < n_rows; ++i)
        entries[i] = {order_key(rows[n_variables * i + column]), static_cast<CompactIndex>(i)};
    sort_by_key(entries, scratch);
    return rank_keys(entries, rank_of);
}

}  // namespace quorvel
