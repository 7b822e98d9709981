#include "key_sort.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <utility>

namespace quorvel {

std::uint64_t order_key(double value) {
    // Adding +0.0 turns -0 into +0.
    const auto bits = std::bit_cast<std::uint64_t>(value + 0.0);
    return (bits >> 63) != 0 ? ~bits : bits | (std::uint64_t{1} << 63);
}

void sort_by_key(std::vector<KeyedIndex>& entries, std::vector<KeyedIndex>& scratch) {
    constexpr std::size_t kPasses = 8;
    std::array<std::array<std::size_t, 256>, kPasses> counts{};
    for (const KeyedIndex& entry : entries)
        for (std::size_t pass = 0; pass < kPasses; ++pass)
            ++counts[pass][(entry.key >> (8 * pass)) & 0xFF];

    scratch.resize(entries.size());
    for (std::size_t pass = 0; pass < kPasses; ++pass) {
        auto& count = counts[pass];
        // A byte on which all keys agree needs no pass.
        if (std::find(count.begin(), count.end(), entries.size()) != count.end()) continue;
        std::size_t start = 0;
        for (std::size_t& c : count) start += std::exchange(c, start);
        for (const KeyedIndex& entry : entries)
            scratch[count[(entry.key >> (8 * pass)) & 0xFF]++] = entry;
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
