#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <variant>

#include "chacha12.hpp"
#include "entropy_source.hpp"

namespace quorvel {

// A ChaCha12 keystream handed out word by word, four blocks per refill, and
// keyed afresh from its key source every 65,536 bytes of output.
class ThreadRng {
public:
    using KeySource = std::function<std::variant<ChachaKey, EntropyError>()>;

    // Takes its first key from key_source, which also supplies every later key.
    explicit ThreadRng(KeySource key_source);

    // The calling thread's generator, keyed from the operating system's
    // entropy source on first use, and again on the first draw after the
    // process has forked; it lives until the thread ends.
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
    // Drops the buffered words and the rest of the key's budget, so that the
    // next word comes from a fresh key.
    void retire_key();

    KeySource key_source_;
    ChachaKey key_{};
    std::uint64_t counter_ = 0;
    std::array<std::uint32_t, kBufferWords> buffer_{};
    std::size_t position_ = kBufferWords;
    std::int64_t budget_ = kBytesPerKey;
};

}  // namespace quorvel
