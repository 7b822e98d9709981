#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <variant>
#include <vector>

#include "pareto/random/entropy_source.hpp"
#include "pareto/random/thread_rng.hpp"
#include "test_chacha12_support.hpp"
#include "test_pareto_front_support.hpp"

namespace quorvel {
namespace {

using testing::failure_of;

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
constexpr std::size_t kWordsPerKey = kRefillsPerKey * kWordsPerRefill;

void expect_next_blocks(ThreadRng& rng, const ChachaKey& key, std::uint64_t first_counter,
                        std::size_t n_blocks) {
    for (std::uint64_t counter = first_counter; counter < first_counter + n_blocks; ++counter) {
        const ChachaBlock expected = block_of(key, counter);
        ChachaBlock drawn{};
        for (std::uint32_t& word : drawn) word = rng.next_word();
        ASSERT_EQ(drawn, expected) << "block with counter " << counter;
    }
}

TEST(ThreadRng, KeysOnConstructionThenDrawsConsecutiveBlocksInCounterOrder) {
    NumberedKeys keys;
    ThreadRng rng(keys.source());
    EXPECT_EQ(keys.fetches, 1);
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
        const ChachaBlock fresh_block = block_of(fresh_key, 0);
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

class KeyFetchFailure : public ::testing::TestWithParam<std::string> {};

TEST_P(KeyFetchFailure, OnConstructionNamesTheInitialisation) {
    FailingKeys keys{GetParam(), 0};
    EXPECT_EQ(failure_of([&] { ThreadRng rng(keys.source()); }),
              "could not initialize ThreadRng: " + GetParam());
}

TEST_P(KeyFetchFailure, OnRekeyingNamesTheReseeding) {
    FailingKeys keys{GetParam(), 1};
    ThreadRng rng(keys.source());
    for (std::size_t w = 0; w < kWordsPerKey; ++w) rng.next_word();
    EXPECT_EQ(failure_of([&] { rng.next_word(); }), "Reseeding RNG failed: " + GetParam());
}

INSTANTIATE_TEST_SUITE_P(Descriptions, KeyFetchFailure,
                         ::testing::Values("No such file or directory (os error 2)",
                                           "errno: did not return a positive value",
                                           "unexpected situation"));

using Words = std::vector<std::uint32_t>;

Words words_of(ThreadRng& rng, std::size_t count) {
    Words words(count);
    for (std::uint32_t& word : words) word = rng.next_word();
    return words;
}

// Takes the thread's generator for every word, as separate calls would.
Words words_taking_each(std::size_t count) {
    Words words(count);
    for (std::uint32_t& word : words) word = ThreadRng::for_this_thread().next_word();
    return words;
}

TEST(ThreadRng, SameGeneratorWithinAThreadAndIndependentOnesInEachThread) {
    ThreadRng* const own = &ThreadRng::for_this_thread();
    ThreadRng* other = nullptr;
    Words first, second;
    std::thread one([&] {
        first = words_taking_each(32);
        other = &ThreadRng::for_this_thread();
    });
    std::thread two([&second] { second = words_taking_each(32); });
    one.join();
    two.join();
    EXPECT_EQ(own, &ThreadRng::for_this_thread());
    EXPECT_NE(own, other);
    EXPECT_NE(first, second);
}

constexpr std::size_t kChildWords = 16;

struct ChildDraw {
    Words first_words;
    bool later_takes_continue_the_stream;
};

// Forks; the child reports its generator's first words and whether taking
// the generator again continues that stream rather than re-keying once more.
ChildDraw draw_in_forked_child() {
    int ends[2];
    if (pipe(ends) != 0) throw std::system_error(errno, std::generic_category(), "pipe");
    const pid_t child = fork();
    if (child < 0) throw std::system_error(errno, std::generic_category(), "fork");
    std::array<std::uint32_t, kChildWords + 1> report{};
    if (child == 0) {
        const Words first = words_taking_each(kChildWords);
        ThreadRng replay = ThreadRng::for_this_thread();
        std::copy(first.begin(), first.end(), report.begin());
        report[kChildWords] = words_taking_each(kChildWords) == words_of(replay, kChildWords);
        _exit(write(ends[1], report.data(), sizeof report) == sizeof report ? 0 : 1);
    }
    close(ends[1]);
    // One write below the pipe's atomic size arrives whole.
    const ssize_t received = read(ends[0], report.data(), sizeof report);
    close(ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (received != sizeof report || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("the forked child did not report");
    return {Words(report.begin(), report.begin() + kChildWords), report[kChildWords] == 1};
}

TEST(ThreadRng, ForkedChildrenRekeyWhileTheParentStreamContinues) {
    // A fresh thread, so that the rest of the first key's output lies ahead.
    std::thread([] {
        try {
            words_taking_each(1);
            ThreadRng replay = ThreadRng::for_this_thread();
            const ChildDraw first_child = draw_in_forked_child();
            const ChildDraw second_child = draw_in_forked_child();
            const Words parent = words_taking_each(kWordsPerKey - 1);
            EXPECT_EQ(parent, words_of(replay, kWordsPerKey - 1));
            // Children forked from the same state still differ from each
            // other and from anything the parent's key produces.
            EXPECT_NE(first_child.first_words, second_child.first_words);
            for (const ChildDraw& child : {first_child, second_child}) {
                const auto found = std::search(parent.begin(), parent.end(),
                                               child.first_words.begin(), child.first_words.end());
                EXPECT_TRUE(found == parent.end())
                    << "the parent draws the child's words at " << found - parent.begin();
                EXPECT_TRUE(child.later_takes_continue_the_stream);
            }
        } catch (const std::exception& error) {
            ADD_FAILURE() << error.what();
        }
    }).join();
}

}  // namespace
}  // namespace quorvel
