#include "pareto/solution_list.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <stdexcept>
#include <vector>

#include "test_pareto_front_support.hpp"

namespace quorvel {
namespace {

using testing::target_of;

class SolutionListWidths : public ::testing::TestWithParam<unsigned> {};

// Designs of a kilobyte, so that 3,500 records fill several chunks: each
// reads back where it was put, by index and while the list is drained, which
// sees each once and in order.
TEST_P(SolutionListWidths, ReadsBackEveryRecordAcrossChunks) {
    const unsigned bits = GetParam();
    const std::size_t n_stands = 8000 / bits;
    constexpr std::size_t kRecords = 3500;
    std::mt19937_64 random(bits);
    std::vector<Design> designs(kRecords, Design(n_stands));
    std::vector<Target> targets(kRecords, Target(3));
    SolutionList list(n_stands, 3, bits);
    for (std::size_t i = 0; i < kRecords; ++i) {
        for (std::size_t& index : designs[i]) index = random() >> (64 - bits);
        for (double& value : targets[i]) value = static_cast<double>(random() % 1000) - 500.0;
        list.push_back(designs[i], targets[i]);
    }
    ASSERT_EQ(list.size(), kRecords);
    for (std::size_t i = 0; i < kRecords; i += 7) {
        ASSERT_EQ(list[i].design, designs[i]) << "record " << i;
        ASSERT_EQ(target_of(list[i]), targets[i]) << "record " << i;
    }
    std::size_t drained = 0;
    list.drain([&](const SolutionRecord& record) {
        ASSERT_EQ(record.design, designs[drained]) << "record " << drained;
        ASSERT_EQ(target_of(record), targets[drained++]);
    });
    EXPECT_EQ(drained, kRecords);
    EXPECT_EQ(list.size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Bits, SolutionListWidths, ::testing::Values(1u, 4u, 8u, 32u));

TEST(SolutionListDrain, LeavesTheListEmptyWhenTheVisitThrows) {
    SolutionList list(1000, 2, 8);
    for (int i = 0; i < 2500; ++i) list.push_back(Design(1000, 3), Target{1.0, 2.0});
    int visited = 0;
    const auto stop_part_way = [&](const SolutionRecord&) {
        if (++visited == 1500) throw std::runtime_error("stop");
    };
    EXPECT_THROW(list.drain(stop_part_way), std::runtime_error);
    EXPECT_EQ(list.size(), 0u);
    list.push_back(Design(1000, 5), Target{5.0, 6.0});
    EXPECT_EQ(target_of(list[0]), (Target{5.0, 6.0}));
}

}  // namespace
}  // namespace quorvel
