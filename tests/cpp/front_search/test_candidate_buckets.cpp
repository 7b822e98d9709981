#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <span>
#include <utility>
#include <vector>

#include "pareto/front_search/candidate_buckets.hpp"
#include "test_pareto_front_support.hpp"

namespace quorvel {
namespace {

using testing::draw;

// On coordinates from narrow to the full 32-bit range, often repeated and
// skewed, every candidate lands in exactly one bucket; the buckets follow
// each other in coordinates, so a coordinate never spans two; within a bucket
// the candidates of one coordinate keep their order; and a bucket exceeds
// its size only when a narrow range of coordinates holds more.
TEST(CandidateBuckets, SortsStablyIntoDisjointRangesOfCoordinates) {
    std::mt19937_64 random(23);
    CandidateBuckets buckets;
    for (int round = 0; round < 200; ++round) {
        const auto n_candidates = static_cast<std::size_t>(draw(random, 1, 5000));
        const std::uint32_t lowest = random() >> 33;
        const std::uint32_t width = static_cast<std::uint32_t>(random()) >> draw(random, 0, 31);
        const std::uint32_t highest = lowest + std::min(width, UINT32_MAX - lowest);
        std::vector<std::uint32_t> firsts(n_candidates);
        for (std::uint32_t& first : firsts) {
            // Squared uniform draws crowd the low end.
            const double u = static_cast<double>(random() >> 11) * 0x1p-53;
            first = lowest + static_cast<std::uint32_t>(u * u * (highest - lowest));
        }
        const auto bucket_size = static_cast<std::size_t>(draw(random, 1, 300));
        buckets.start(n_candidates, lowest, highest);
        // In runs of random lengths, as the batches of a stand come.
        for (std::size_t first = 0; first < n_candidates;) {
            const auto n = std::min<std::size_t>(draw(random, 1, 100), n_candidates - first);
            buckets.add(std::span(firsts).subspan(first, n));
            first += n;
        }
        buckets.sort(bucket_size);

        std::vector<int> seen(n_candidates, 0);
        std::uint32_t highest_so_far = 0;
        for (std::size_t b = 0; b < buckets.n_buckets(); ++b) {
            const auto bucket = buckets.bucket(b);
            ASSERT_FALSE(bucket.empty()) << "round " << round;
            std::vector<std::uint32_t> in_bucket;
            for (const std::uint32_t candidate : bucket) {
                ++seen[candidate];
                in_bucket.push_back(firsts[candidate]);
            }
            const auto [low, high] = std::ranges::minmax(in_bucket);
            ASSERT_TRUE(b == 0 || low > highest_so_far) << "round " << round << ", bucket " << b;
            highest_so_far = high;
            ASSERT_TRUE(bucket.size() <= bucket_size || high - low <= (highest - lowest) >> 15)
                << "round " << round << ", bucket " << b;
            // In bucket order, then by coordinate, keeping that order.
            std::vector<std::pair<std::uint32_t, std::uint32_t>> by_coordinate;
            for (const std::uint32_t candidate : bucket)
                by_coordinate.emplace_back(firsts[candidate], candidate);
            std::ranges::stable_sort(by_coordinate, {},
                                     &std::pair<std::uint32_t, std::uint32_t>::first);
            ASSERT_TRUE(std::ranges::is_sorted(by_coordinate)) << "round " << round;
        }
        ASSERT_EQ(std::ranges::count(seen, 1), static_cast<std::ptrdiff_t>(n_candidates))
            << "round " << round;
    }
}

// Against division, for option counts small and large, powers of two or not,
// and numbers up to the largest 32-bit one, where a multiplier short by one
// would first be wrong.
TEST(CandidateNumbers, SplitLikeDivision) {
    std::mt19937_64 random(29);
    for (int round = 0; round < 400; ++round) {
        const std::uint32_t n_options =
            round < 40 ? static_cast<std::uint32_t>(round + 1)
                       : static_cast<std::uint32_t>(random() >> draw(random, 32, 63)) | 1u;
        const CandidateNumbers numbers(n_options);
        for (int k = 0; k < 2000; ++k) {
            const std::uint32_t candidate =
                k < 20 ? UINT32_MAX - static_cast<std::uint32_t>(k)
                       : static_cast<std::uint32_t>(random() >> draw(random, 32, 63));
            const CandidateOrigin origin = numbers.origin(candidate);
            ASSERT_EQ(origin.front_position, candidate / n_options)
                << candidate << " " << n_options;
            ASSERT_EQ(origin.option, candidate % n_options) << candidate << " " << n_options;
        }
    }
}

}  // namespace
}  // namespace quorvel
