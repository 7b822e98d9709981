#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "pareto/chacha12.hpp"
#include "pareto/entropy_source.hpp"
#include "pareto/internal_failure.hpp"
#include "pareto/thread_rng.hpp"

namespace quorvel {
namespace {

using Block = std::array<std::uint32_t, kChachaBlockWords>;

Block block_of(const ChachaKey& key, std::uint64_t counter) {
    Block block{};
    chacha12_block(key, counter, 0, block);
    return block;
}

std::string little_endian_hex(const Block& block, std::size_t n_words) {
    std::string hex;
    for (std::size_t w = 0; w < n_words; ++w) {
        for (int byte = 0; byte < 4; ++byte) {
            char digits[3];
            std::snprintf(digits, sizeof digits, "%02x", (block[w] >> (8 * byte)) & 0xffu);
            hex += digits;
        }
    }
    return hex;
}

ChachaKey counting_key() {
    // Key bytes 00, 01, ..., 1f.
    ChachaKey key{};
    for (std::uint32_t w = 0; w < key.size(); ++w) {
        const std::uint32_t b = 4 * w;
        key[w] = b | (b + 1) << 8 | (b + 2) << 16 | (b + 3) << 24;
    }
    return key;
}

struct KnownBlock {
    const char* name;
    ChachaKey key;
    std::uint64_t counter;
    const char* first_32_bytes;
};

void PrintTo(const KnownBlock& known, std::ostream* out) { *out << known.name; }

class Chacha12KnownBlock : public testing::TestWithParam<KnownBlock> {};

TEST_P(Chacha12KnownBlock, MatchesPublishedOutput) {
    const KnownBlock& known = GetParam();
    EXPECT_EQ(little_endian_hex(block_of(known.key, known.counter), 8), known.first_32_bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, Chacha12KnownBlock,
    testing::Values(
        KnownBlock{"ZeroKey", {}, 0,
                   "9bf49a6a0755f953811fce125f2683d50429c3bb49e074147e0089a52eae155f"},
        // Only reachable when the counter's high half lands in word 13.
        KnownBlock{"ZeroKeyCounterHighHalf", {}, std::uint64_t{1} << 32,
                   "cc7b53dc11894d26240581b8a8f4f4e5af406705801223b13f821fdccba6a618"},
        KnownBlock{"CountingKey", counting_key(), 0,
                   "f231f9ffd17ac65e4405f325d7e940aa4913601fc2be46bce9c3cac3d91a1a36"}),
    [](const testing::TestParamInfo<KnownBlock>& info) { return std::string(info.param.name); });

TEST(Chacha12, StreamNumberChangesTheBlock) {
    Block stream_0{}, stream_1{}, stream_high{};
    chacha12_block({}, 0, 0, stream_0);
    chacha12_block({}, 0, 1, stream_1);
    chacha12_block({}, 0, std::uint64_t{1} << 32, stream_high);
    EXPECT_NE(stream_0, stream_1);
    EXPECT_NE(stream_0, stream_high);
    EXPECT_NE(stream_1, stream_high);
}

// Hands out a fixed list of words and counts how many were taken.
struct ScriptedWords {
    std::vector<std::uint32_t> words;
    std::size_t taken = 0;

    std::uint32_t next_word() {
        if (taken == words.size()) throw std::out_of_range("script exhausted");
        return words[taken++];
    }
};

struct RangeCase {
    const char* name;
    std::uint32_t low;
    std::uint32_t high;
    std::vector<std::uint32_t> words;
    std::uint32_t expected;
    std::size_t words_used;
};

void PrintTo(const RangeCase& c, std::ostream* out) { *out << c.name; }

class RandomRangeScripted : public testing::TestWithParam<RangeCase> {};

TEST_P(RandomRangeScripted, DrawsExpectedValueFromExpectedWords) {
    const RangeCase& c = GetParam();
    ScriptedWords source{c.words};
    EXPECT_EQ(random_range(source, c.low, c.high), c.expected);
    EXPECT_EQ(source.taken, c.words_used);
}

// For range 10, 2^32 - range = 4294967286 and 0x19999999 * 10 = 4294967290:
// a low half above the limit, which a second word with hi2 >= 6 carries over.
INSTANTIATE_TEST_SUITE_P(
    Cases, RandomRangeScripted,
    testing::Values(
        RangeCase{"HighHalfIsTheDraw", 0, 10, {0x80000000u, 7}, 5, 1},
        RangeCase{"OffsetByLow", 3, 13, {0x80000000u, 7}, 8, 1},
        RangeCase{"LowHalfAtLimitUsesOneWord", 0, 10, {0xFFFFFFFFu, 7}, 9, 1},
        RangeCase{"SecondWordWithoutCarry", 0, 10, {0x19999999u, 0x80000000u}, 0, 2},
        RangeCase{"SecondWordZero", 0, 10, {0x19999999u, 0}, 0, 2},
        RangeCase{"SecondWordCarries", 0, 10, {0x19999999u, 0xA0000000u}, 1, 2},
        RangeCase{"SecondWordCarriesFromTop", 100, 110, {0x19999999u, 0xFFFFFFFFu}, 101, 2},
        RangeCase{"WidestRange", 0, 0xFFFFFFFFu, {0xFFFFFFFFu, 0}, 0xFFFFFFFEu, 1},
        RangeCase{"WidestRangeSecondWord", 0, 0xFFFFFFFFu, {2, 0xFFFFFFFFu}, 2, 2},
        RangeCase{"TopOfRange", 0xFFFFFFF0u, 0xFFFFFFFFu, {0xFFFFFFFFu, 0}, 0xFFFFFFFEu, 1}),
    [](const testing::TestParamInfo<RangeCase>& info) { return std::string(info.param.name); });

TEST(RandomRange, RangeOfOneIsAlwaysLowFromOneWord) {
    for (const std::uint32_t word : {0u, 1u, 0x80000000u, 0xFFFFFFFFu}) {
        ScriptedWords source{{word, 7}};
        EXPECT_EQ(random_range(source, 41, 42), 41u) << "word " << word;
        EXPECT_EQ(source.taken, 1u) << "word " << word;
    }
}

TEST(RandomRange, EmptyRangeFailsWithoutTakingAWord) {
    const std::array<std::array<std::uint32_t, 2>, 3> bounds = {{{0, 0}, {5, 5}, {6, 5}}};
    for (const auto& [low, high] : bounds) {
        ScriptedWords source{{1, 2}};
        try {
            random_range(source, low, high);
            ADD_FAILURE() << "no failure for [" << low << ", " << high << ")";
        } catch (const InternalFailure& failure) {
            EXPECT_EQ(failure.message(), "cannot sample empty range");
        }
        EXPECT_EQ(source.taken, 0u);
    }
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

TEST(EntropySource, FillsEveryByteWithFreshData) {
    std::array<std::uint8_t, 32> first{}, second{};
    ASSERT_FALSE(fill_from_entropy_source(first).has_value());
    ASSERT_FALSE(fill_from_entropy_source(second).has_value());
    // Each 8-byte piece left unfilled would be zero in both.
    for (std::size_t piece = 0; piece < first.size(); piece += 8) {
        EXPECT_FALSE(std::equal(first.begin() + piece, first.begin() + piece + 8,
                                second.begin() + piece))
            << "bytes " << piece << " to " << piece + 7;
    }
}

TEST(EntropySource, DescribesSystemErrors) {
    EXPECT_EQ(describe_os_error(ENOENT), "No such file or directory (os error 2)");
    EXPECT_EQ(describe_os_error(EACCES), "Permission denied (os error 13)");
    for (const int non_positive : {0, -1}) {
        EXPECT_EQ(describe_os_error(non_positive), "errno: did not return a positive value");
    }
}

}  // namespace
}  // namespace quorvel
