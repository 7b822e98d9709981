#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "pareto/front_search/beaten_cell_screen.hpp"
#include "test_pareto_front_support.hpp"

namespace quorvel {
namespace {

using testing::draw;

struct Sequence {
    std::uint32_t span;  // of the first coordinates
    bool sorted;         // by first coordinate, as the search mostly gives them
};

class ParetoFrontBeatenCellScreen : public ::testing::TestWithParam<Sequence> {};

// Against every cell taken before: the screen may only call a cell beaten
// when one of them lies below it in both coordinates, and where the span is
// so short that every first coordinate has a band of its own and a take
// lowers every band it should, it must call every such cell beaten. Cells
// along a falling diagonal, half of them lifted above it, so that many are
// beaten, mostly enough for the screen to stay on past its trial.
TEST_P(ParetoFrontBeatenCellScreen, CallsACellBeatenOnlyWhenAnEarlierOneLiesBelowIt) {
    const Sequence sequence = GetParam();
    const bool exact = sequence.span < 64;
    std::mt19937_64 random(sequence.span + sequence.sorted);
    for (int round = 0; round < 6; ++round) {
        const std::uint32_t lowest = draw(random, 0, 1000);
        const auto n_cells = static_cast<std::size_t>(draw(random, 1, 6000));
        std::vector<std::pair<std::uint32_t, std::uint32_t>> cells;
        for (std::size_t i = 0; i < n_cells; ++i) {
            const auto along = static_cast<std::uint32_t>(
                draw(random, 0, static_cast<int>(std::min<std::uint32_t>(sequence.span, 1 << 30))));
            const std::uint32_t above = draw(random, 0, 1) ? draw(random, 0, 1 << 20) : 0;
            cells.emplace_back(lowest + along, UINT32_MAX - along / 2 - (1 << 21) + above);
        }
        if (sequence.sorted) std::sort(cells.begin(), cells.end());

        BeatenCellScreen screen;
        screen.start(lowest, lowest + sequence.span, 1);
        for (std::size_t i = 0; i < cells.size() && screen.active(); ++i) {
            const auto [first, second] = cells[i];
            const bool below = std::any_of(cells.begin(), cells.begin() + i, [&](const auto& c) {
                return c.first < first && c.second < second;
            });
            const bool beaten = screen.beaten_then_taken(first, second);
            ASSERT_TRUE(below || !beaten) << "round " << round << ", cell " << i;
            if (exact) {
                ASSERT_EQ(beaten, below) << "round " << round << ", cell " << i;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Spans, ParetoFrontBeatenCellScreen,
                         ::testing::Values(Sequence{50, true}, Sequence{50, false}, Sequence{200, true},
                                           Sequence{16000, false}, Sequence{1u << 24, true},
                                           Sequence{UINT32_MAX - 1000, false}));

}  // namespace
}  // namespace quorvel
