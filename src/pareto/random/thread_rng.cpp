#include "thread_rng.hpp"

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

}  // namespace

ThreadRng::ThreadRng(KeySource key_source) : key_source_(std::move(key_source)) {
    std::variant<ChachaKey, EntropyError> fetched = key_source_();
    if (const auto* error = std::get_if<EntropyError>(&fetched))
        fail("could not initialize ThreadRng: " + error->description);
    key_ = std::get<ChachaKey>(fetched);
}

ThreadRng& ThreadRng::for_this_thread() {
    // A failed keying leaves the variable uninitialised, so the next use in
    // this thread tries again.
    thread_local ThreadRng rng(key_from_entropy_source);
    return rng;
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
