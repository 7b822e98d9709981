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

// A design stored in 1, 2 or 4 bytes per stand, the least that holds the
// largest option index of its table: results hold hundreds of indices per
// design, and machine-size ones would take most of their memory. Indices
// read back widened, unchanged.
class PackedDesign {
public:
    PackedDesign() = default;
    PackedDesign(std::span<const std::size_t> design, unsigned width);

    // The bytes per index that hold every option index of stands with these
    // option counts.
    static unsigned width_for(std::span<const std::size_t> n_options);

    std::size_t size() const { return bytes_.size() / width_; }
    std::size_t operator[](std::size_t stand) const {
        return load_index(bytes_.data() + stand * width_, width_);
    }
    Design unpacked() const;

    friend bool operator==(const PackedDesign& a, const PackedDesign& b) {
        return a.unpacked() == b.unpacked();
    }
    friend bool operator==(const PackedDesign& a, const Design& b) { return a.unpacked() == b; }

private:
    std::vector<std::uint8_t> bytes_;
    unsigned width_ = 1;
};

}  // namespace quorvel
