#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvel {

// Tells, for two variables, which candidates of a stand reach a cell that
// lies below another candidate's cell in both coordinates. Every row that
// cell could hold is then dominated by every row the other cell could hold
// (or, if that one is screened out too, the cell that beat it), so the
// filter drops the cell whatever its representative: the candidate
// need not be placed, and the cells that remain have the representatives
// they would have had. Where cells are fine next to the front's spacing, as
// at large fronts or small epsilon, most candidates are screened out so.
//
// The cells taken so far are kept as the least second coordinate over each
// band of first coordinates and all bands before it. Candidates coming in
// order of their first coordinate, or nearly, lower few bands each: only
// fronts whose first values never fall are screened, and candidates sorted
// into buckets, which follow each other in first coordinates.
class BeatenCellScreen {
public:
    // Starts a stand of n_candidates whose first coordinates lie in
    // [lowest, highest]; stop() leaves the stand unscreened.
    void start(std::uint32_t lowest, std::uint32_t highest, std::size_t n_candidates);
    void stop() { active_ = false; }
    bool active() const { return active_; }

    // Returns whether a cell taken before lies below the given one in both
    // coordinates, and takes it.
    bool beaten_then_taken(std::uint32_t first, std::uint32_t second) {
        const std::size_t band = band_of(first);
        bool beaten;
        if (band > last_band_) {
            beaten = least_second_[last_band_] < second;
            if (!beaten) take_beyond_last_band(band, second);
        } else {
            // At large fronts whether a cell is beaten is a toss, and a take
            // mostly lowers its own band or none. A beaten cell takes nothing,
            // as the band before it is lower already: it takes UINT32_MAX
            // instead, which lowers nothing, so no branch hangs on the toss.
            beaten = band > 0 && least_second_[band - 1] < second;
            const std::uint32_t taken = second | (0u - static_cast<std::uint32_t>(beaten));
            least_second_[band] = std::min(least_second_[band], taken);
            if (least_second_[band + 1] > taken) lower_bands_after(band, second);
        }
        // Counted only during the trial: counts updated at every candidate
        // would chain each one to the last through memory.
        if (n_taken_ < kTrial) {
            n_beaten_ += beaten;
            if (++n_taken_ == kTrial) active_ = n_beaten_ >= kLeastBeaten;
        }
        return beaten;
    }

private:
    // Where candidates outnumber the columns of cells several times over,
    // a candidate's dominators mostly share its column or row, and the
    // screen finds few: on the benchmark's two-variable tables, under one in
    // a hundred at 17 candidates a column, over half at 3.
    static constexpr std::size_t kMostCandidatesPerColumn = 8;
    // Screening a candidate costs about two fifths of what screening one out
    // saves (measured on two-variable tables of 500,000 points and of random
    // options): where fewer of the first candidates are screened out, the
    // screen stops for the stand.
    static constexpr std::size_t kTrial = 4096;
    static constexpr std::size_t kLeastBeaten = kTrial * 2 / 5;
    static constexpr std::size_t kBands = std::size_t{1} << 14;
    // Bounds what one take costs; 64 screened out fewer candidates of random
    // options.
    static constexpr std::size_t kMostBandsLowered = 256;

    std::size_t band_of(std::uint32_t first) const {
        if (first <= lowest_) return 0;
        return std::min<std::size_t>(kBands - 1, (first - lowest_) >> shift_);
    }
    void take_beyond_last_band(std::size_t band, std::uint32_t second);
    // Lowers the bands after band that a take of second lowers.
    void lower_bands_after(std::size_t band, std::uint32_t second);

    bool active_ = false;
    std::uint32_t lowest_ = 0;
    unsigned shift_ = 0;
    // Per band up to the last one taken, the least second coordinate of the
    // cells taken in it or any band before, or of some of them (see
    // lower_bands_after); then a 0, which ends every take at the last band.
    std::vector<std::uint32_t> least_second_;
    std::size_t last_band_ = 0;
    std::size_t n_taken_ = 0;
    std::size_t n_beaten_ = 0;
};

}  // namespace quorvel
