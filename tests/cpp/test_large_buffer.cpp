#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "pareto/large_buffer.hpp"
#include "test_pareto_front_support.hpp"

namespace quorvel {
namespace {

using testing::draw;

// A buffer and a plain vector given the same random growth, shrinking,
// copies and swaps, across the size where blocks move to mappings of their
// own and back: the contents must always agree, and on Linux every block of
// a huge page or more must start on a huge-page boundary.
TEST(ParetoFrontLargeBuffer, HoldsWhatAVectorHoldsAcrossTheBlockSizes) {
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    std::mt19937_64 random(5);
    LargeBuffer<std::uint64_t> buffer;
    std::vector<std::uint64_t> expected;
    for (int step = 0; step < 300; ++step) {
        const int kind = draw(random, 0, 9);
        if (kind < 5) {
            // Up to 3 MB at a time: a few steps cross 2 MB either way.
            const auto n = static_cast<std::size_t>(draw(random, 0, 3 << 17));
            for (std::size_t i = 0; i < n; ++i) {
                buffer.push_back(random());
                expected.push_back(buffer.back());
            }
        } else if (kind < 8) {
            const auto size = static_cast<std::size_t>(draw(random, 0, int(expected.size())));
            buffer.resize(size);
            expected.resize(size);
            if (kind == 7) buffer.shrink_to_fit();
        } else if (kind == 8) {
            LargeBuffer<std::uint64_t> copy = buffer;
            buffer.clear();
            buffer.swap(copy);
        } else {
            buffer.clear();
            expected.clear();
        }
        ASSERT_EQ(std::vector<std::uint64_t>(buffer.begin(), buffer.end()), expected)
            << "step " << step;
#if defined(__linux__)
        if (buffer.capacity() * sizeof(std::uint64_t) >= kHugePage) {
            ASSERT_EQ(reinterpret_cast<std::uintptr_t>(buffer.data()) % kHugePage, 0u)
                << "step " << step;
        }
#endif
    }
}

}  // namespace
}  // namespace quorvel
