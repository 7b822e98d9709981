#include "packed_design.hpp"

#include <algorithm>

namespace quorvel {

PackedDesign::PackedDesign(std::span<const std::size_t> design, unsigned width)
    : bytes_(design.size() * width), width_(width) {
    for (std::size_t stand = 0; stand < design.size(); ++stand)
        store_index(bytes_.data() + stand * width, design[stand], width);
}

unsigned PackedDesign::width_for(std::span<const std::size_t> n_options) {
    const std::size_t largest = n_options.empty() ? 0 : *std::max_element(n_options.begin(), n_options.end());
    if (largest <= (std::size_t{1} << 8)) return 1;
    if (largest <= (std::size_t{1} << 16)) return 2;
    return 4;
}

Design PackedDesign::unpacked() const {
    Design design(size());
    for (std::size_t stand = 0; stand < design.size(); ++stand) design[stand] = (*this)[stand];
    return design;
}

}  // namespace quorvel
