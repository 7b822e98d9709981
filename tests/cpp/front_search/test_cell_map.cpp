#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "pareto/front_search/cell_map.hpp"
#include "test_pareto_front_support.hpp"

namespace quorvel {
namespace {

using testing::draw;

class ParetoFrontCellMap : public ::testing::TestWithParam<std::size_t> {};

// Against an ordered map as model: cells are numbered by first appearance,
// across many growths, after clearing and after forgetting cells below a
// first coordinate (a forgotten cell met again is a new one, and forgetting
// names exactly the cells it drops), with coordinates up to the saturated
// maximum, in tables within and beyond the caches. Many rounds reuse one
// table, so slots that clearing failed to free would soon leave no room.
TEST_P(ParetoFrontCellMap, NumbersCellsInOrderOfFirstAppearance) {
    const std::size_t n_variables = GetParam();
    std::mt19937_64 random(n_variables);
    CellMap cells(n_variables);
    for (int round = 0; round < 40; ++round) {
        cells.clear();
        std::map<std::vector<std::uint32_t>, CompactIndex> model;
        CompactIndex numbered = 0;
        // The first rounds fill a table larger than the caches.
        const bool large = round < 2;
        const int n_keys = large ? 60000 : draw(random, 0, 4000);
        for (int i = 0; i < n_keys; ++i) {
            if (round % 2 == 1 && draw(random, 0, 300) == 0) {
                const auto first = static_cast<std::uint32_t>(1000 * draw(random, 0, 13));
                std::vector<CompactIndex> forgotten;
                cells.forget_below(first, forgotten);
                std::set<CompactIndex> expected;
                std::erase_if(model, [&](const auto& cell) {
                    if (cell.first[0] < first) expected.insert(cell.second);
                    return cell.first[0] < first;
                });
                ASSERT_EQ(std::set<CompactIndex>(forgotten.begin(), forgotten.end()), expected);
                ASSERT_EQ(forgotten.size(), expected.size());
                ASSERT_EQ(cells.held(), model.size());
            }
            std::vector<std::uint32_t> key;
            for (std::size_t v = 0; v < n_variables; ++v) {
                // Few distinct coordinates, so keys repeat often.
                const int pick = draw(random, 0, large ? 60 : 12);
                key.push_back(pick == 12 ? UINT32_MAX : static_cast<std::uint32_t>(pick * 1000));
            }
            cells.make_room(1);
            const CellMap::Lookup found = cells.find_or_insert(key, cells.home_slot(key));
            const auto [entry, is_new] = model.emplace(key, numbered);
            numbered += is_new ? 1 : 0;
            ASSERT_EQ(found.inserted, is_new);
            ASSERT_EQ(found.cell, entry->second);
        }
        EXPECT_EQ(cells.size(), numbered);
    }
}

INSTANTIATE_TEST_SUITE_P(Variables, ParetoFrontCellMap, ::testing::Values(1, 2, 3, 4, 6));

}  // namespace
}  // namespace quorvel
