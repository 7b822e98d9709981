#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <vector>

#include "pareto/front_search/cell_map.hpp"
#include "test_pareto_front_support.hpp"

namespace quorvel {
namespace {

using testing::draw;

class ParetoFrontCellMap : public ::testing::TestWithParam<std::size_t> {};

// Against an ordered map as model: cells are numbered by first appearance,
// across many growths and after clearing, with coordinates up to the
// saturated maximum. Many rounds reuse one table, so slots that clearing
// failed to free would soon leave no room.
TEST_P(ParetoFrontCellMap, NumbersCellsInOrderOfFirstAppearance) {
    const std::size_t n_variables = GetParam();
    std::mt19937_64 random(n_variables);
    CellMap cells(n_variables);
    for (int round = 0; round < 40; ++round) {
        cells.clear();
        std::map<std::vector<std::uint32_t>, CompactIndex> model;
        const int n_keys = round == 0 ? 20000 : draw(random, 0, 4000);
        for (int i = 0; i < n_keys; ++i) {
            std::vector<std::uint32_t> key;
            for (std::size_t v = 0; v < n_variables; ++v) {
                // Few distinct coordinates, so keys repeat often.
                const int pick = draw(random, 0, 12);
                key.push_back(pick == 12 ? UINT32_MAX : static_cast<std::uint32_t>(pick * 1000));
            }
            cells.make_room(1);
            const CellMap::Lookup found = cells.find_or_insert(key, cells.home_slot(key));
            const auto [entry, is_new] =
                model.emplace(key, static_cast<CompactIndex>(model.size()));
            ASSERT_EQ(found.inserted, is_new);
            ASSERT_EQ(found.cell, entry->second);
        }
        EXPECT_EQ(cells.size(), model.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Variables, ParetoFrontCellMap, ::testing::Values(1, 2, 3, 4, 6));

}  // namespace
}  // namespace quorvel
