#include "cell_map.hpp"

#include <algorithm>
#include <bit>
#include <utility>

#include "row_copy.hpp"

namespace quorvel {

namespace {

// Tables up to this size are taken to sit in a core's cache.
constexpr std::size_t kCachedTableBytes = std::size_t{1} << 20;

}  // namespace

void CellMap::grow() {
    held_scratch_.swap(held_slots_);
    const std::vector<std::uint32_t> old_slots =
        replace_table(std::max<std::size_t>(16, 2 * capacity()));
    if (old_slots.size() * sizeof(std::uint32_t) > kCachedTableBytes) {
        // Home slots are the hash's top bits, so walking the old table in
        // order places the entries nearly in order too: both tables stream
        // through memory instead of missing the cache once per entry.
        for (std::size_t k = 0; k < old_slots.size(); k += stride_)
            if (old_slots[k] != kNoIndex) held_slots_.push_back(place_entry(old_slots.data() + k));
    } else {
        // In cache, visiting only the held slots beats a walk that guesses
        // wrong at every other slot whether it is empty.
        for (const CompactIndex slot : held_scratch_)
            held_slots_.push_back(place_entry(old_slots.data() + slot * stride_));
    }
}

std::vector<std::uint32_t> CellMap::replace_table(std::size_t new_capacity) {
    ensure_indexable(new_capacity);
    std::vector<std::uint32_t> old_slots =
        std::exchange(slots_, std::vector<std::uint32_t>(new_capacity * stride_, kNoIndex));
    mask_ = new_capacity - 1;
    shift_ = static_cast<unsigned>(64 - std::countr_zero(new_capacity));
    held_slots_.clear();
    return old_slots;
}

// Linear probing cannot simply empty a slot in the middle of a run, so the
// cells kept are set aside and placed again in an emptied table.
void CellMap::forget_below(std::uint32_t first, std::vector<CompactIndex>& forgotten) {
    kept_entries_.clear();
    for (const CompactIndex slot : held_slots_) {
        const std::uint32_t* entry = slots_.data() + slot * stride_;
        if (entry[1] < first)
            forgotten.push_back(entry[0]);
        else
            append_row(kept_entries_, entry, stride_);
    }
    const std::size_t held_before = held();
    empty_held_slots();
    // A table left wide by an earlier stand would spread the few cells held
    // now over far more memory than the cache.
    if (capacity() > 8 * held_before)
        replace_table(std::bit_ceil(std::max<std::size_t>(16, 4 * held_before)));
    for (std::size_t k = 0; k < kept_entries_.size(); k += stride_)
        held_slots_.push_back(place_entry(kept_entries_.data() + k));
}

void CellMap::renumber_held(std::vector<CompactIndex>& old_numbers) {
    old_numbers.clear();
    for (const CompactIndex slot : held_slots_) {
        CompactIndex& number = slots_[slot * stride_];
        old_numbers.push_back(number);
        number = static_cast<CompactIndex>(old_numbers.size() - 1);
    }
    size_ = held();
}

CompactIndex CellMap::place_entry(const std::uint32_t* entry) {
    std::size_t slot = home_slot({entry + 1, n_variables_});
    while (slots_[slot * stride_] != kNoIndex) slot = (slot + 1) & mask_;
    copy_row(entry, stride_, slots_.data() + slot * stride_);
    return static_cast<CompactIndex>(slot);
}

void CellMap::empty_held_slots() {
    for (const CompactIndex slot : held_slots_) slots_[slot * stride_] = kNoIndex;
    held_slots_.clear();
}

}  // namespace quorvel
