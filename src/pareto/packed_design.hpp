#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quorvel {

// Option indices, one per stand in stand order.
using Design = std::vector<std::size_t>;

// An option index in `width` bytes, least significant first.
inline void store_index(std::uint8_t* at, std::size_t index, unsigned width) {
    for (unsigned b = 0; b < width; ++b) at[b] = static_cast<std::uint8_t>(index >> (8 * b));
}
inline std::size_t load_index(const std::uint8_t* at, unsigned width) {
    std::uint32_t index = at[0];
    for (unsigned b = 1; b < width; ++b) index |= std::uint32_t{at[b]} << (8 * b);
    return index;
}

// A design stored in 1, 2, 4, 8, 16 or 32 bits per stand, the least that
// holds the largest option index of its table: results hold hundreds of
// indices per design, and machine-size ones would take most of their memory;
// with the few options per stand that are common, even a byte would take
// twice what is needed. Indices read back widened, unchanged. A view: the
// bytes belong to whoever stored the design.
class PackedDesign {
public:
    PackedDesign(const std::uint8_t* bytes, std::size_t size, unsigned bits)
        : bytes_(bytes), size_(size), bits_(bits) {}

    // The bits per index that hold every option index of stands with these
    // option counts.
    static unsigned bits_for(std::span<const std::size_t> n_options);
    // The bytes that hold a design of n_stands indices of this many bits.
    static std::size_t bytes_for(std::size_t n_stands, unsigned bits) {
        return (n_stands * bits + 7) / 8;
    }
    // Stores the design in `bits` per index at `bytes`, which hold
    // bytes_for(design.size(), bits) zeros.
    static void pack(std::span<const std::size_t> design, unsigned bits, std::uint8_t* bytes);

    std::size_t size() const { return size_; }
    unsigned bits() const { return bits_; }
    std::span<const std::uint8_t> bytes() const { return {bytes_, bytes_for(size_, bits_)}; }
    std::size_t operator[](std::size_t stand) const {
        if (bits_ >= 8) return load_index(bytes_ + stand * (bits_ / 8), bits_ / 8);
        // Several indices to a byte, the first in the lowest bits.
        const std::size_t bit = stand * bits_;
        return (bytes_[bit / 8] >> (bit % 8)) & ((1u << bits_) - 1);
    }
    Design unpacked() const;

    friend bool operator==(const PackedDesign& a, const PackedDesign& b) {
        return a.unpacked() == b.unpacked();
    }
    friend bool operator==(const PackedDesign& a, const Design& b) { return a.unpacked() == b; }

private:
    const std::uint8_t* bytes_;
    std::size_t size_;
    unsigned bits_;
};

}  // namespace quorvel
