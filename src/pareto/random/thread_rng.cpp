#include "thread_rng.hpp"

#include <pthread.h>

#include <atomic>
#include <span>
#include <utility>

#include "pareto/internal_failure.hpp"

namespace quorvel {

namespace {

std::variant<ChachaKey, EntropyError> key_from_entropy_source() {
    std::array<std::uint8_t, sizeof(ChachaKey)> bytes{};
    if (std::optional<EntropyError> error = fill_from_entropy_source(bytes))
        return *std::move(error);
    ChachaKey key{};
    for (std::size_t w = 0; w < key.size(); ++w) {
        const std::uint8_t* word = &bytes[4 * w];
        key[w] = std::uint32_t{word[0]} | std::uint32_t{word[1]} << 8 |
                 std::uint32_t{word[2]} << 16 | std::uint32_t{word[3]} << 24;
    }
    return key;
}

// Bumped in the child after every fork; a generator keyed in an earlier
// generation shares its stream with the parent.
std::atomic<std::uint64_t> fork_generation{0};

void note_fork_in_child() { fork_generation.fetch_add(1, std::memory_order_relaxed); }

}  // namespace

ThreadRng::ThreadRng(KeySource key_source) : key_source_(std::move(key_source)) {
    std::variant<ChachaKey, EntropyError> fetched = key_source_();
    if (const auto* error = std::get_if<EntropyError>(&fetched))
        fail("could not initialize ThreadRng: " + error->description);
    key_ = std::get<ChachaKey>(fetched);
}

ThreadRng& ThreadRng::for_this_thread() {
    // Registered before any generator is keyed, so that no fork goes unseen.
    [[maybe_unused]] static const bool fork_handler_registered = [] {
        if (const int error = pthread_atfork(nullptr, nullptr, note_fork_in_child))
            fail("could not initialize ThreadRng: " + describe_os_error(error));
        return true;
    }();
    const std::uint64_t generation = fork_generation.load(std::memory_order_relaxed);
    // A failed keying leaves the variable uninitialised, so the next use in
    // this thread tries again.
    thread_local ThreadRng rng(key_from_entropy_source);
    thread_local std::uint64_t keyed_in_generation = generation;
    // A forked child holds a copy of its parent's key and buffer; drawing on
    // would repeat the parent's numbers.
    if (keyed_in_generation != generation) {
        rng.retire_key();
        keyed_in_generation = generation;
    }
    return rng;
}

void ThreadRng::retire_key() {
    position_ = kBufferWords;
    budget_ = 0;
}

void ThreadRng::refill() {
    if (budget_ > 0)
        budget_ -= kRefillBytes;
    else
        rekey();
    for (std::size_t block = 0; block < kBlocksPerRefill; ++block) {
        chacha12_block(key_, counter_ + block, 0,
                       std::span<std::uint32_t, kChachaBlockWords>(
                           buffer_.data() + block * kChachaBlockWords, kChachaBlockWords));
    }
    counter_ += kBlocksPerRefill;
    position_ = 0;
}

void ThreadRng::rekey() {
    std::variant<ChachaKey, EntropyError> fetched = key_source_();
    if (const auto* error = std::get_if<EntropyError>(&fetched))
        fail("Reseeding RNG failed: " + error->description);
    key_ = std::get<ChachaKey>(fetched);
    counter_ = 0;
    budget_ = kBytesPerKey - kRefillBytes;
}

}  // namespace quorvel
