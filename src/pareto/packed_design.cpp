#include "packed_design.hpp"

#include <algorithm>

namespace quorvel {

void PackedDesign::pack(std::span<const std::size_t> design, unsigned bits, std::uint8_t* bytes) {
    if (bits >= 8) {
        for (std::size_t stand = 0; stand < design.size(); ++stand)
            store_index(bytes + stand * (bits / 8), design[stand], bits / 8);
        return;
    }
    for (std::size_t stand = 0; stand < design.size(); ++stand) {
        const std::size_t bit = stand * bits;
        bytes[bit / 8] |= static_cast<std::uint8_t>(design[stand] << (bit % 8));
    }
}

unsigned PackedDesign::bits_for(std::span<const std::size_t> n_options) {
    const std::size_t largest =
        n_options.empty() ? 0 : *std::max_element(n_options.begin(), n_options.end());
    unsigned bits = 1;
    while (bits < 32 && largest > (std::size_t{1} << bits)) bits *= 2;
    return bits;
}

Design PackedDesign::unpacked() const {
    Design design(size());
    for (std::size_t stand = 0; stand < design.size(); ++stand) design[stand] = (*this)[stand];
    return design;
}

}  // namespace quorvel
