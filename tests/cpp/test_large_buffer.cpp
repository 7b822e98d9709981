#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "pareto/large_buffer.hpp"
#include "test_pareto_front_support.hpp"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace quorvel {
namespace {

using testing::draw;

#if defined(__linux__) && defined(MADV_HUGEPAGE)
constexpr bool kMapsHugeBlocks = true;
#else
constexpr bool kMapsHugeBlocks = false;
#endif

// The address space the process holds, in kB, or 0 where it is not told.
std::size_t mapped_kilobytes() {
    std::ifstream status("/proc/self/status");
    for (std::string field; status >> field;)
        if (field == "VmSize:") {
            std::size_t kilobytes = 0;
            status >> kilobytes;
            return kilobytes;
        }
    return 0;
}

// A buffer and a plain vector given the same random growth, shrinking,
// copies and swaps, across the size where blocks move to mappings of their
// own and back: the contents must always agree, every block of a huge page
// or more must start on a huge-page boundary, and no mapping may outlive
// its block.
TEST(ParetoFrontLargeBuffer, HoldsWhatAVectorHoldsAcrossTheBlockSizes) {
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    std::mt19937_64 random(5);
    const std::size_t mapped_before = mapped_kilobytes();
    for (int round = 0; round < 4; ++round) {
        LargeBuffer<std::uint64_t> buffer;
        std::vector<std::uint64_t> expected;
        for (int step = 0; step < 100; ++step) {
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
                << "round " << round << ", step " << step;
            if (kMapsHugeBlocks && buffer.capacity() * sizeof(std::uint64_t) >= kHugePage) {
                ASSERT_EQ(reinterpret_cast<std::uintptr_t>(buffer.data()) % kHugePage, 0u)
                    << "round " << round << ", step " << step;
            }
        }
    }
    // Hundreds of blocks of 2 to 27 MB have come and gone: a part of each
    // left mapped would add up to far more than the heap's own slack.
    EXPECT_LT(mapped_kilobytes(), mapped_before + 64 * 1024);
}

}  // namespace
}  // namespace quorvel
