#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "pareto/front_search/key_sort.hpp"
#include "test_pareto_front_support.hpp"

namespace quorvel {
namespace {

using testing::draw;

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(ParetoFrontOrderKey, OrdersLikeTheValues) {
    const std::vector<double> ascending = {-kInf,    -1e300, -2.5, -1.0, -1e-300, -4.9e-324, 0.0,
                                           4.9e-324, 1e-300, 1e-9, 1.0,  2.5,     1e300,     kInf};
    for (std::size_t i = 0; i + 1 < ascending.size(); ++i)
        EXPECT_LT(order_key(ascending[i]), order_key(ascending[i + 1])) << ascending[i];
    EXPECT_EQ(order_key(-0.0), order_key(0.0));
}

// Against std::stable_sort on keys drawn from few or many values, so that
// both long runs of equal keys and keys differing in any byte occur: whole
// numbers leave the low bytes alike, random reals do not, and reals a few
// units in the last place apart differ in the low bytes alone, short and long
// runs of them. Some sorts are as large as the cells of one stand at large
// fronts.
TEST(ParetoFrontKeySort, SortsStably) {
    std::mt19937_64 random(41);
    std::uniform_real_distribution<double> real(-1.0, 1.0);
    LargeBuffer<KeyedIndex> entries;
    LargeBuffer<KeyedIndex> scratch;
    for (int trial = 0; trial < 60; ++trial) {
        std::vector<double> values(static_cast<std::size_t>(draw(random, 1, trial % 2 ? 5 : 9000)));
        const double scale = std::ldexp(1.0, draw(random, -40, 40));
        const int kind = trial % 3;
        const int n_binades = draw(random, 1, 40);
        for (double& value : values) {
            const double close = std::ldexp(1.0 + std::ldexp(draw(random, 0, 1 << 20), -52),
                                            draw(random, 0, n_binades));
            value = scale * (kind == 0   ? draw(random, -1000, 1000)
                             : kind == 1 ? real(random)
                                         : close);
        }
        entries.clear();
        const int n_entries = draw(random, 0, trial % 10 == 0 ? 150'000 : 5000);
        for (int i = 0; i < n_entries; ++i) {
            const int pick = draw(random, 0, static_cast<int>(values.size()) - 1);
            entries.push_back(
                {order_key(values[static_cast<std::size_t>(pick)]), static_cast<CompactIndex>(i)});
        }
        LargeBuffer<KeyedIndex> expected = entries;
        std::stable_sort(expected.begin(), expected.end(),
                         [](const KeyedIndex& a, const KeyedIndex& b) { return a.key < b.key; });

        sort_by_key(entries, scratch);
        ASSERT_EQ(entries.size(), expected.size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(entries[i].key, expected[i].key);
            EXPECT_EQ(entries[i].index, expected[i].index);
        }
    }
}

}  // namespace
}  // namespace quorvel
