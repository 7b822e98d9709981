#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "compact_index.hpp"

namespace quorvel {

// Numbers the distinct grid cells met during one stand, in order of first
// appearance. Open addressing with linear probing; every slot holds the cell
// number followed by the cell's coordinates, so a probe touches one place.
// Cells no later lookup can meet may be forgotten, keeping the table small
// enough for the cache; their numbers stay taken. The storage is kept when
// cleared, so later stands allocate nothing.
class CellMap {
public:
    struct Lookup {
        CompactIndex cell;
        bool inserted;
    };

    explicit CellMap(std::size_t n_variables)
        : n_variables_(n_variables), stride_(n_variables + 1) {}

    // Grows, if needed, so that `more` new cells fit without growing again;
    // home slots found until then stay valid.
    void make_room(std::size_t more) {
        while (2 * (held() + more) > capacity()) grow();
    }

    // N, when not 0, is the number of variables known at compile time, so
    // that the loops over a key unroll.
    template <std::size_t N = 0>
    std::size_t home_slot(std::span<const std::uint32_t> key) const {
        // Fixed multiplicative mixing: the same cells always land in the same
        // slots, so runs are reproducible.
        std::uint64_t h = 0;
        for (std::size_t v = 0; v < (N ? N : key.size()); ++v) {
            h = (h + key[v]) * 0x9E3779B97F4A7C15ULL;
            h ^= h >> 29;
        }
        return static_cast<std::size_t>((h * 0xBF58476D1CE4E5B9ULL) >> shift_);
    }

    // Starts loading a slot that a lookup will need soon.
    void prefetch(std::size_t slot) const { __builtin_prefetch(slots_.data() + slot * stride_); }

    // The number of the cell with these coordinates, numbering it if new.
    // Needs room for one more cell and the key's current home slot.
    template <std::size_t N = 0>
    Lookup find_or_insert(std::span<const std::uint32_t> key, std::size_t home) {
        const std::size_t n_variables = N ? N : n_variables_;
        for (std::size_t slot = home;; slot = (slot + 1) & mask_) {
            std::uint32_t* entry = slots_.data() + slot * (n_variables + 1);
            if (entry[0] == kNoIndex) {
                ensure_indexable(size_ + 1);
                const auto cell = static_cast<CompactIndex>(size_++);
                held_slots_.push_back(static_cast<CompactIndex>(slot));
                entry[0] = cell;
                for (std::size_t v = 0; v < n_variables; ++v) entry[1 + v] = key[v];
                return {cell, true};
            }
            // One branch for the whole key: most probes meet the key they seek.
            bool same = true;
            for (std::size_t v = 0; v < n_variables; ++v) same &= entry[1 + v] == key[v];
            if (same) return {entry[0], false};
        }
    }

    // Forgets every cell and numbers from 0 again; costs one store per held
    // cell, not per slot.
    void clear() {
        empty_held_slots();
        size_ = 0;
    }

    // Forgets the cells whose first coordinate is below `first`, appending
    // their numbers to `forgotten`.
    void forget_below(std::uint32_t first, std::vector<CompactIndex>& forgotten);

    // Forgets every cell, appending their numbers to `forgotten`.
    void forget_all(std::vector<CompactIndex>& forgotten) {
        for (const CompactIndex slot : held_slots_) forgotten.push_back(slots_[slot * stride_]);
        empty_held_slots();
    }

    // Numbers the held cells 0, 1, ... in the order they are held, as if no
    // other cell had been numbered; old_numbers receives their former
    // numbers in that order.
    void renumber_held(std::vector<CompactIndex>& old_numbers);

    // Cells numbered since the last clear() or renumbering, forgotten ones
    // included.
    std::size_t size() const { return size_; }
    // Cells in the table.
    std::size_t held() const { return held_slots_.size(); }

private:
    std::size_t capacity() const { return mask_ + 1; }

    void grow();
    // Puts an empty table of new_capacity slots in place; returns the old one.
    std::vector<std::uint32_t> replace_table(std::size_t new_capacity);
    void empty_held_slots();
    // Copies an entry (cell number, then key) to the first free slot from
    // its key's home on; returns that slot.
    CompactIndex place_entry(const std::uint32_t* entry);

    std::size_t n_variables_;
    std::size_t stride_;
    // Empty until the first insertion; mask_ + 1 == 0 reads as no capacity.
    std::size_t mask_ = SIZE_MAX;
    unsigned shift_ = 64;
    std::vector<std::uint32_t> slots_;
    std::vector<CompactIndex> held_slots_;
    std::vector<CompactIndex> held_scratch_;  // work space of grow
    std::size_t size_ = 0;
    std::vector<std::uint32_t> kept_entries_;  // work space of forget_below
};

}  // namespace quorvel
