#include "pareto/solution_list.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "test_pareto_front_support.hpp"

namespace quorvel {
namespace {

using testing::target_of;

struct ListShape {
    std::size_t n_stands;
    std::size_t n_variables;
    unsigned index_bits;
};

class SolutionListShapes : public ::testing::TestWithParam<ListShape> {};

// Records of a kilobyte or more, so that a few thousand fill several chunks:
// every record reads back where it was put, by index, in the walk over the
// list and in its drain, which sees each once, in order.
TEST_P(SolutionListShapes, ReadsBackEveryRecordAcrossChunks) {
    const ListShape shape = GetParam();
    constexpr std::size_t kRecords = 3500;
    std::mt19937_64 random(shape.n_stands + shape.index_bits);
    const std::size_t largest =
        shape.index_bits == 32 ? UINT32_MAX : (std::size_t{1} << shape.index_bits) - 1;
    std::vector<Design> designs(kRecords, Design(shape.n_stands));
    std::vector<Target> targets(kRecords, Target(shape.n_variables));
    SolutionList list(shape.n_stands, shape.n_variables, shape.index_bits);
    for (std::size_t i = 0; i < kRecords; ++i) {
        for (std::size_t& index : designs[i]) index = random() % (largest + 1);
        for (double& value : targets[i]) value = static_cast<double>(random() % 1000) - 500.0;
        list.push_back(designs[i], targets[i]);
    }
    ASSERT_EQ(list.size(), kRecords);
    for (std::size_t i = 0; i < kRecords; i += 7) {
        ASSERT_EQ(list[i].design, designs[i]) << "record " << i;
        ASSERT_EQ(target_of(list[i]), targets[i]) << "record " << i;
    }
    std::size_t walked = 0;
    for (const SolutionRecord& record : list.records())
        ASSERT_EQ(target_of(record), targets[walked++]);
    EXPECT_EQ(walked, kRecords);

    std::size_t drained = 0;
    list.drain([&](const SolutionRecord& record) {
        ASSERT_EQ(record.design, designs[drained]) << "record " << drained;
        ASSERT_EQ(target_of(record), targets[drained]) << "record " << drained;
        ++drained;
    });
    EXPECT_EQ(drained, kRecords);
    EXPECT_EQ(list.size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Shapes, SolutionListShapes,
                         ::testing::Values(ListShape{2000, 3, 4}, ListShape{1000, 2, 8},
                                           ListShape{300, 6, 32}, ListShape{9000, 1, 1}),
                         [](const auto& info) {
                             return std::to_string(info.param.n_stands) + "_stands_" +
                                    std::to_string(info.param.index_bits) + "_bits";
                         });

TEST(SolutionListDrain, LeavesTheListEmptyWhenTheVisitThrows) {
    SolutionList list(1000, 2, 8);
    const Design design(1000, 3);
    for (int i = 0; i < 2500; ++i) list.push_back(design, std::vector<double>{1.0, 2.0});
    int visited = 0;
    EXPECT_THROW(list.drain([&](const SolutionRecord&) {
        if (++visited == 1500) throw std::runtime_error("stop");
    }),
                 std::runtime_error);
    EXPECT_EQ(list.size(), 0u);
    list.push_back(design, std::vector<double>{5.0, 6.0});
    EXPECT_EQ(target_of(list[0]), (Target{5.0, 6.0}));
}

}  // namespace
}  // namespace quorvel
