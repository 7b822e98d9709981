#include <gtest/gtest.h>

#include <vector>

#include "pareto/front_search/node_arena.hpp"
#include "pareto/objective.hpp"

namespace quorvel {
namespace {

Design design_of(const NodeArena& arena, CompactIndex node, std::size_t length) {
    Design design(length);
    arena.read_design(node, design);
    return design;
}

TEST(ParetoFrontNodeArena, SharedPrefixesReadBackPerDesign) {
    NodeArena arena;
    const CompactIndex root = arena.add(kNoIndex, 4);
    const CompactIndex left = arena.add(root, 1);
    const CompactIndex right = arena.add(root, 2);
    arena.release(root);
    const CompactIndex leaf = arena.add(right, 7);
    EXPECT_EQ(design_of(arena, left, 2), (Design{4, 1}));
    EXPECT_EQ(design_of(arena, right, 2), (Design{4, 2}));
    EXPECT_EQ(design_of(arena, leaf, 3), (Design{4, 2, 7}));
    EXPECT_EQ(arena.live_count(), 4u);
}

TEST(ParetoFrontNodeArena, ReleasingFreesExactlyTheUnownedAncestors) {
    NodeArena arena;
    const CompactIndex root = arena.add(kNoIndex, 0);
    const CompactIndex shared = arena.add(root, 0);
    arena.release(root);
    const CompactIndex a = arena.add(shared, 1);
    const CompactIndex b = arena.add(shared, 2);
    arena.release(shared);
    const CompactIndex a_tail = arena.add(a, 3);
    arena.release(a);
    ASSERT_EQ(arena.live_count(), 5u);

    // b still holds shared and root: only a_tail and a go.
    arena.release(a_tail);
    EXPECT_EQ(arena.live_count(), 3u);
    EXPECT_EQ(design_of(arena, b, 3), (Design{0, 0, 2}));
    arena.release(b);
    EXPECT_EQ(arena.live_count(), 0u);
}

// Every stand a side branch dies; its slot is taken again, so the arena
// grows with the live chain only. A million-node chain is then released
// without recursion and a new one fills the freed slots.
TEST(ParetoFrontNodeArena, LongChainsReuseFreedSlots) {
    constexpr std::size_t kStands = 1'000'000;
    NodeArena arena;
    CompactIndex kept = arena.add(kNoIndex, 0);
    CompactIndex side = arena.add(kNoIndex, 1);
    for (std::size_t stand = 1; stand < kStands; ++stand) {
        const CompactIndex next_kept = arena.add(kept, static_cast<CompactIndex>(stand % 5));
        const CompactIndex next_side = arena.add(kept, 9);
        arena.release(kept);
        arena.release(side);
        kept = next_kept;
        side = next_side;
    }
    EXPECT_EQ(arena.live_count(), kStands + 1);
    EXPECT_LE(arena.slot_count(), kStands + 3);

    const Design design = design_of(arena, kept, kStands);
    for (std::size_t stand = 0; stand < kStands; ++stand) ASSERT_EQ(design[stand], stand % 5);
    arena.release(side);
    arena.release(kept);
    EXPECT_EQ(arena.live_count(), 0u);

    const std::size_t slots = arena.slot_count();
    CompactIndex again = arena.add(kNoIndex, 3);
    for (std::size_t stand = 1; stand < kStands; ++stand) {
        const CompactIndex next = arena.add(again, 3);
        arena.release(again);
        again = next;
    }
    EXPECT_EQ(arena.live_count(), kStands);
    EXPECT_EQ(arena.slot_count(), slots);
    EXPECT_EQ(design_of(arena, again, kStands), Design(kStands, 3));
}

}  // namespace
}  // namespace quorvel
