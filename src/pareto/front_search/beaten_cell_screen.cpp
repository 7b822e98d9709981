#include "beaten_cell_screen.hpp"

#include <algorithm>

namespace quorvel {

void BeatenCellScreen::start(std::uint32_t lowest, std::uint32_t highest,
                             std::size_t n_candidates) {
    active_ = n_candidates / kMostCandidatesPerColumn <= std::size_t{highest - lowest};
    if (!active_) return;
    lowest_ = lowest;
    shift_ = 0;
    while (((highest - lowest) >> shift_) >= kBands) ++shift_;
    least_second_.assign({UINT32_MAX, 0});
    last_band_ = 0;
    n_taken_ = 0;
    n_beaten_ = 0;
}

// The bands opened take the least second coordinate so far, the 0 after the
// last band among them; the cell, not beaten, lowers its own band.
void BeatenCellScreen::take_beyond_last_band(std::size_t band, std::uint32_t second) {
    const std::uint32_t least_so_far = least_second_[last_band_];
    least_second_.back() = least_so_far;
    least_second_.resize(band + 1, least_so_far);
    least_second_.push_back(0);
    last_band_ = band;
    least_second_[band] = second;
}

// Every entry stays the second coordinate of a cell taken in its band or
// one before, whichever bands a take stops short of: lowering no more than
// kMostBandsLowered of them bounds what one take costs, and the test stays
// sound.
void BeatenCellScreen::lower_bands_after(std::size_t band, std::uint32_t second) {
    const std::size_t end = std::min(last_band_ + 1, band + kMostBandsLowered);
    for (std::size_t b = band + 1; b < end && least_second_[b] > second; ++b)
        least_second_[b] = second;
}

}  // namespace quorvel
