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

// The low bytes of keys that differ above them rarely decide an order, so
// they are sorted only within the runs that agree above them: most sorts
// then take three passes fewer.
constexpr unsigned kLowBytes = 3;
constexpr unsigned kKeyBytes = 8;
constexpr std::size_t kShortRun = 32;

std::uint64_t high_part(const KeyedIndex& entry) { return entry.key >> (8 * kLowBytes); }

// Stable least-significant-first sort by bytes [first, last) of the keys.
// Returns whichever of the two spans ends up holding the sorted entries.
std::span<KeyedIndex> radix_sort_bytes(std::span<KeyedIndex> entries, std::span<KeyedIndex> scratch,
                                       unsigned first, unsigned last) {
    std::array<std::array<std::size_t, 256>, kKeyBytes> counts{};
    for (const KeyedIndex& entry : entries)
        for (unsigned pass = first; pass < last; ++pass)
            ++counts[pass][(entry.key >> (8 * pass)) & 0xFF];

    for (unsigned pass = first; pass < last; ++pass) {
        auto& count = counts[pass];
        // A byte on which all keys agree needs no pass.
        if (std::find(count.begin(), count.end(), entries.size()) != count.end()) continue;
        std::size_t start = 0;
        for (std::size_t& c : count) start += std::exchange(c, start);
        for (const KeyedIndex& entry : entries)
            scratch[count[(entry.key >> (8 * pass)) & 0xFF]++] = entry;
        std::swap(entries, scratch);
    }
    return entries;
}

void insertion_sort(std::span<KeyedIndex> entries) {
    for (std::size_t i = 1; i < entries.size(); ++i) {
        const KeyedIndex entry = entries[i];
        std::size_t j = i;
        for (; j > 0 && entries[j - 1].key > entry.key; --j) entries[j] = entries[j - 1];
        entries[j] = entry;
    }
}

}  // namespace

void sort_by_key(LargeBuffer<KeyedIndex>& entries, LargeBuffer<KeyedIndex>& scratch) {
    scratch.resize(entries.size());
    if (radix_sort_bytes(entries, scratch, kLowBytes, kKeyBytes).data() != entries.data())
        entries.swap(scratch);

    for (std::size_t run = 0; run < entries.size();) {
        std::size_t run_end = run + 1;
        while (run_end < entries.size() && high_part(entries[run_end]) == high_part(entries[run]))
            ++run_end;
        const std::span<KeyedIndex> part(entries.data() + run, run_end - run);
        if (part.size() <= kShortRun) {
            insertion_sort(part);
        } else {
            const std::span<KeyedIndex> sorted =
                radix_sort_bytes(part, {scratch.data() + run, part.size()}, 0, kLowBytes);
            if (sorted.data() != part.data()) std::copy(sorted.begin(), sorted.end(), part.begin());
        }
        run = run_end;
    }
}

}  // namespace quorvel
