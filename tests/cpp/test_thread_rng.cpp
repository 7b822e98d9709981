#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "pareto/internal_failure.hpp"
#include "pareto/random/chacha12.hpp"
#include "pareto/random/entropy_source.hpp"
#include "pareto/random/thread_rng.hpp"

namespace quorvel {
namespace {

using Block = std::array<std::uint32_t, kChachaBlockWords>;

Block block_of(const ChachaKey& key, std::uint64_t counter) {
    Block block{};
    chacha12_block(key, counter, 0, block);
    return block;
}

// Keys 1, 2, 3, ... in word 0, one per fetch, so each keying is recognisable.
struct NumberedKeys {
    int fetches = 0;

    ThreadRng::KeySource source() {
        return [this]() -> std::variant<ChachaKey, EntropyError> { return key(++fetches); };
    }
    static ChachaKey key(int number) { return {static_cast<std::uint32_t>(number)}; }
};

constexpr std::size_t kWordsPerRefill = 64;
constexpr std::size_t kRefillsPerKey = 256;

void expect_next_blocks(ThreadRng& rng, const ChachaKey& key, std::uint64_t first_counter,
                        std::size_t n_blocks) {
    for (std::uint64_t counter = first_counter; counter < first_counter + n_blocks; ++counter) {
        const Block expected = block_of(key, counter);
        Block drawn{};
        for (std::uint32_t& word : drawn) word = rng.next_word();
        ASSERT_EQ(drawn, expected) << "block with counter " << counter;
    }
}

TEST(ThreadRng, FetchesItsKeyOnConstructionAndDrawsNothingYet) {
    NumberedKeys keys;
    ThreadRng rng(keys.source());
    EXPECT_EQ(keys.fetches, 1);
}

TEST(ThreadRng, BufferHoldsConsecutiveBlocksInCounterOrder) {
    NumberedKeys keys;
    ThreadRng rng(keys.source());
    expect_next_blocks(rng, NumberedKeys::key(1), 0, 12);
}

TEST(ThreadRng, RekeysOnTheRefillAfterEachKeysBudget) {
    NumberedKeys keys;
    ThreadRng rng(keys.source());
    std::size_t refills_of_key = 0;
    for (int key_number = 1; key_number <= 3; ++key_number) {
        for (; refills_of_key < kRefillsPerKey - 1; ++refills_of_key) {
            for (std::size_t w = 0; w < kWordsPerRefill; ++w) rng.next_word();
            ASSERT_EQ(keys.fetches, key_number) << "after refill " << refills_of_key + 1;
        }
        // Refill 256 still uses this key, right up to counter 1023.
        expect_next_blocks(rng, NumberedKeys::key(key_number), 4 * (kRefillsPerKey - 1), 4);
        ASSERT_EQ(keys.fetches, key_number);

        // The next refill takes a fresh key and restarts at counter 0.
        const ChachaKey fresh_key = NumberedKeys::key(key_number + 1);
        const Block fresh_block = block_of(fresh_key, 0);
        ASSERT_EQ(rng.next_word(), fresh_block[0]);
        ASSERT_EQ(keys.fetches, key_number + 1);
        for (std::size_t w = 1; w < kChachaBlockWords; ++w)
            ASSERT_EQ(rng.next_word(), fresh_block[w]);
        expect_next_blocks(rng, fresh_key, 1, 3);
        refills_of_key = 1;
    }
}

struct FailingKeys {
    std::string description;
    int successes_left;

    ThreadRng::KeySource source() {
        return [this]() -> std::variant<ChachaKey, EntropyError> {
            if (successes_left == 0) return EntropyError{description};
            --successes_left;
            return ChachaKey{};
        };
    }
};

class KeyFetchFailure : public testing::TestWithParam<std::string> {};

TEST_P(KeyFetchFailure, OnConstructionNamesTheInitialisation) {
    FailingKeys keys{GetParam(), 0};
    try {
        ThreadRng rng(keys.source());
        ADD_FAILURE() << "constructed without a key";
    } catch (const InternalFailure& failure) {
        EXPECT_EQ(failure.message(), "could not initialize ThreadRng: " + GetParam());
    }
}

TEST_P(KeyFetchFailure, OnRekeyingNamesTheReseeding) {
    FailingKeys keys{GetParam(), 1};
    ThreadRng rng(keys.source());
    for (std::size_t w = 0; w < kRefillsPerKey * kWordsPerRefill; ++w) rng.next_word();
    try {
        rng.next_word();
        ADD_FAILURE() << "re-keyed without a key";
    } catch (const InternalFailure& failure) {
        EXPECT_EQ(failure.message(), "Reseeding RNG failed: " + GetParam());
    }
}

INSTANTIATE_TEST_SUITE_P(Descriptions, KeyFetchFailure,
                         testing::Values("No such file or directory (os error 2)",
                                         "errno: did not return a positive value",
                                         "unexpected situation"));

TEST(ThreadRng, SameGeneratorWithinAThreadAndAnotherInEachThread) {
    ThreadRng* main_first = &ThreadRng::for_this_thread();
    ThreadRng* main_second = &ThreadRng::for_this_thread();
    ThreadRng* other = nullptr;
    std::thread([&other] { other = &ThreadRng::for_this_thread(); }).join();
    EXPECT_EQ(main_first, main_second);
    EXPECT_NE(main_first, other);
}

TEST(ThreadRng, ThreadsDrawIndependentStreams) {
    auto draw = [](std::vector<std::uint32_t>& words) {
        for (std::uint32_t& word : words) word = ThreadRng::for_this_thread().next_word();
    };
    std::vector<std::uint32_t> first(32), second(32);
    std::thread one(draw, std::ref(first));
    std::thread two(draw, std::ref(second));
    one.join();
    two.join();
    EXPECT_NE(first, second);
}

}  // namespace
}  // namespace quorvel
