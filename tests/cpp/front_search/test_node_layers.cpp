#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "pareto/front_search/node_layers.hpp"
#include "pareto/objective.hpp"
#include "test_pareto_front_support.hpp"

namespace quorvel {
namespace {

using testing::draw;

Design design_of(const NodeLayers& layers, std::size_t position, std::size_t length) {
    std::vector<Design> design(1, Design(length));
    layers.read_designs(position, design);
    return design[0];
}

// Random layers with random parents, against every design kept in full;
// enough nodes that dead ones are dropped many times on the way. Options
// reach the top of each storage width. Small layers and many stands, where
// the nodes dropped are counted against the last drop, and large layers,
// where they are counted against the last layer; either way the array must
// stay within a few layers' worth.
struct LayerRecipe {
    std::size_t n_stands;
    int largest_layer;
    std::size_t most_nodes;
};

void check_designs_read_back(unsigned width, const LayerRecipe& recipe) {
    const std::uint64_t largest_option = width == 4 ? UINT32_MAX - 1 : (1ull << (8 * width)) - 1;
    std::mt19937_64 random(17 + width);
    NodeLayers layers(width);
    std::vector<Design> designs;
    std::size_t most_nodes = 0;
    for (std::size_t stand = 0; stand < recipe.n_stands; ++stand) {
        // The layer's size as announced, or far from it.
        const int size = draw(random, 1, recipe.largest_layer);
        layers.open_layer(static_cast<std::size_t>(draw(random, 0, 2) * size));
        most_nodes = std::max(most_nodes, layers.node_count());
        std::vector<Design> next;
        for (int i = 0; i < size; ++i) {
            const auto option = static_cast<CompactIndex>(
                draw(random, 0, 3) == 0 ? largest_option : random() % (largest_option + 1));
            const CompactIndex parent =
                designs.empty() ? kNoIndex : static_cast<CompactIndex>(random() % designs.size());
            layers.add(parent, option);
            next.push_back(designs.empty() ? Design{} : designs[parent]);
            next.back().push_back(option);
        }
        designs = std::move(next);
    }
    // Read in runs of random lengths, longer too than the chains followed
    // side by side.
    for (std::size_t first = 0; first < designs.size();) {
        const std::size_t n = std::min<std::size_t>(draw(random, 1, 150), designs.size() - first);
        std::vector<Design> read(n, Design(recipe.n_stands));
        layers.read_designs(first, read);
        for (std::size_t k = 0; k < n; ++k) ASSERT_EQ(read[k], designs[first + k]) << first + k;
        first += n;
    }
    EXPECT_LT(most_nodes, recipe.most_nodes);
}

class ParetoFrontNodeLayers : public ::testing::TestWithParam<unsigned> {};

TEST_P(ParetoFrontNodeLayers, DesignsReadBackThroughDroppedNodes) {
    check_designs_read_back(GetParam(), {600, 400, 600 * 200});
    check_designs_read_back(GetParam(), {24, 40000, 6 * 40000});
}

INSTANTIATE_TEST_SUITE_P(Widths, ParetoFrontNodeLayers, ::testing::Values(1u, 2u, 4u));

// Every stand three side branches die; the array grows with the live chain
// only, and a million-node chain reads back without recursion.
TEST(ParetoFrontNodeLayersChain, LongChainsDropDeadBranches) {
    constexpr std::size_t kStands = 1'000'000;
    NodeLayers layers(1);
    layers.open_layer(1);
    layers.add(kNoIndex, 0);
    std::size_t most_nodes = 0;
    for (std::size_t stand = 1; stand < kStands; ++stand) {
        layers.open_layer(4);
        most_nodes = std::max(most_nodes, layers.node_count());
        layers.add(0, static_cast<CompactIndex>(stand % 5));
        for (CompactIndex side = 0; side < 3; ++side) layers.add(0, 9);
    }
    // Four nodes are made per stand; about one per stand stays live.
    EXPECT_LE(most_nodes, 2 * kStands + 4);
    const Design design = design_of(layers, 0, kStands);
    for (std::size_t stand = 0; stand < kStands; ++stand) ASSERT_EQ(design[stand], stand % 5);
    Design side_design = design;
    side_design.back() = 9;
    EXPECT_EQ(design_of(layers, 3, kStands), side_design);
}

}  // namespace
}  // namespace quorvel
