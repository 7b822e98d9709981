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
    for (CompactIndex& slot_ref : slot_of_cell_) {
        const std::uint32_t* old_entry = slots_.data() + slot_ref * stride_;
        std::size_t slot = home_slot({old_entry + 1, n_variables_});
        while (new_slots[slot * stride_] != kNoIndex) slot = (slot + 1) & new_mask;
        std::copy(old_entry, old_entry + stride_, new_slots.begin() + slot * stride_);
        slot_ref = static_cast<CompactIndex>(slot);
    }
    slots_ = std::move(new_slots);
}

}  // namespace quorvel
