#pragma once

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <variant>

#include "chacha12.hpp"
#include "entropy_source.hpp"
#include "internal_failure.hpp"

namespace quorvel {

// A ChaCha12 keystream handed out word by word, four blocks per refill, and
// keyed afresh from its key source every 65,536 bytes of output.
class ThreadRng {
public:
    using KeySource = std::function<std::variant<ChachaKey, EntropyError>()>;

    // Takes its first key from key_source, which also supplies every later key.
    explicit ThreadRng(KeySource key_source);

    // The calling thread's generator, keyed from the operating system's
    // entropy source on first use; it lives until the thread ends.
    static ThreadRng& for_this_thread();

    std::uint32_t next_word() {
        if (position_ == kBufferWords) refill();
        return buffer_[position_++];
    }

private:
    static constexpr std::size_t kBlocksPerRefill = 4;
    static constexpr std::size_t kBufferWords = kBlocksPerRefill * kChachaBlockWords;
    static constexpr std::int64_t kRefillBytes = kBufferWords * sizeof(std::uint32_t);
    static constexpr std::int64_t kBytesPerKey = 65536;

    void refill();
    void rekey();

    KeySource key_source_;
    ChachaKey key_{};
    std::uint64_t counter_ = 0;
    std::array<std::uint32_t, kBufferWords> buffer_{};
    std::size_t position_ = kBufferWords;
    std::int64_t budget_ = kBytesPerKey;
};

template <typename T>
concept WordSource = requires(T& source) {
    { source.next_word() } -> std::same_as<std::uint32_t>;
};

// A uniform draw from low <= x < high. The high half of a widening multiply
// is the draw; only when the low half is close enough to overflow that a
// carry from the fraction could change it does a second word decide.
template <WordSource Words>
std::uint32_t random_range(Words& words, std::uint32_t low, std::uint32_t high) {
    if (low >= high) fail("cannot sample empty range");
    const std::uint32_t range = high - low;
    const std::uint64_t product = std::uint64_t{words.next_word()} * range;
    const auto hi = static_cast<std::uint32_t>(product >> 32);
    const auto lo = static_cast<std::uint32_t>(product);
    // 0 - range wraps to 2^32 - range.
    if (lo <= 0u - range) return low + hi;
    const auto hi2 = static_cast<std::uint32_t>((std::uint64_t{words.next_word()} * range) >> 32);
    const bool carries = static_cast<std::uint32_t>(lo + hi2) < lo;
    return low + hi + (carries ? 1u : 0u);
}

}  // namespace quorvel
