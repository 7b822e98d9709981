#include "cell_map.hpp"

#include <algorithm>
#include <bit>

namespace quorvel {

void CellMap::grow() {
    const std::size_t new_capacity = std::max<std::size_t>(16, 2 * capacity());
    ensure_indexable(new_capacity);
    std::vector<std::uint32_t> new_slots(new_capacity * stride_, kNoIndex);
    const std::size_t new_mask = new_capacity - 1;
    const auto new_shift = static_cast<unsigned>(64 - std::countr_zero(new_capacity));

    mask_ = new_mask;
    shift_ = new_shift;
    slots_.swap(new_slots);
    const std::vector<std::uint32_t>& old_slots = new_slots;
    for (CompactIndex& slot : held_slots_) slot = place_entry(old_slots.data() + slot * stride_);
}

// Linear probing cannot simply empty a slot in the middle of a run, so the
// cells kept are set aside and placed again in an emptied table.
void CellMap::forget_below(std::uint32_t first) {
    kept_entries_.clear();
    for (const CompactIndex slot : held_slots_) {
        const std::uint32_t* entry = slots_.data() + slot * stride_;
        if (entry[1] >= first) kept_entries_.insert(kept_entries_.end(), entry, entry + stride_);
    }
    empty_held_slots();
    for (std::size_t k = 0; k < kept_entries_.size(); k += stride_)
        held_slots_.push_back(place_entry(kept_entries_.data() + k));
}

CompactIndex CellMap::place_entry(const std::uint32_t* entry) {
    std::size_t slot = home_slot({entry + 1, n_variables_});
    while (slots_[slot * stride_] != kNoIndex) slot = (slot + 1) & mask_;
    std::copy(entry, entry + stride_, slots_.begin() + slot * stride_);
    return static_cast<CompactIndex>(slot);
}

void CellMap::empty_held_slots() {
    for (const CompactIndex slot : held_slots_) slots_[slot * stride_] = kNoIndex;
    held_slots_.clear();
}

}  // namespace quorvel
