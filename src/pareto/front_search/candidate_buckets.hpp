#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "compact_index.hpp"
#include "pareto/large_buffer.hpp"

namespace quorvel {

// Where a candidate comes from: a member of the front and an option of the
// stand that extends it.
struct CandidateOrigin {
    CompactIndex front_position;
    CompactIndex option;
};

// Candidate numbers back into origins. A division per candidate would take
// longer than forming it; a multiplication by 2^64 / n_options, rounded up,
// gives the same quotient for every 32-bit number.
class CandidateNumbers {
public:
    explicit CandidateNumbers(std::size_t n_options)
        : n_options_(static_cast<std::uint32_t>(n_options)),
          inverse_(n_options > 1 ? UINT64_MAX / n_options + 1 : 0) {}

    CompactIndex front_position(std::uint32_t candidate) const {
        if (n_options_ == 1) return candidate;
        __extension__ using Product = unsigned __int128;
        return static_cast<CompactIndex>((Product{inverse_} * candidate) >> 64);
    }
    CandidateOrigin origin(std::uint32_t candidate) const {
        const CompactIndex member = front_position(candidate);
        return {member, candidate - member * n_options_};
    }

private:
    std::uint32_t n_options_;
    std::uint64_t inverse_;
};

// Sorts a stand's candidates into buckets by ranges of their first cell
// coordinate, stably: a cell's candidates all land in one bucket, in the
// order they were formed. An unordered front can then be merged a bucket at a
// time in a table that stays in cache, with every representative as if the
// candidates had come in order. Candidates are known by their number in
// order of formation (every option of a front member, member by member), six
// bytes each while sorted.
class CandidateBuckets {
public:
    // Starts a stand of fewer than 2^32 candidates whose first coordinates
    // lie between lowest and highest; add() then takes the candidates' first
    // coordinates in order of formation.
    void start(std::size_t n_candidates, std::uint32_t lowest, std::uint32_t highest);
    void add(std::span<const std::uint32_t> first_coordinates) {
        const std::size_t n_before = bins_of_candidates_.size();
        bins_of_candidates_.resize(n_before + first_coordinates.size());
        std::uint16_t* bins = bins_of_candidates_.data() + n_before;
        for (const std::uint32_t first : first_coordinates)
            *bins++ = static_cast<std::uint16_t>((std::clamp(first, lowest_, highest_) - lowest_) >>
                                                 shift_);
    }

    // Sorts the candidates added into buckets, in order of their coordinates,
    // of at most bucket_size candidates unless a narrow range of coordinates
    // holds more; within a bucket they keep their order of formation.
    void sort(std::size_t bucket_size);

    // Gives back the storage of the candidates, several bytes each.
    void release();

    std::size_t n_buckets() const { return bounds_.size() - 1; }
    std::span<const std::uint32_t> bucket(std::size_t b) const {
        return std::span(candidates_).subspan(bounds_[b], bounds_[b + 1] - bounds_[b]);
    }

private:
    std::uint32_t lowest_ = 0;
    std::uint32_t highest_ = 0;
    int shift_ = 0;
    // Bins of equal coordinate ranges, joined into buckets.
    LargeBuffer<std::uint16_t> bins_of_candidates_;
    LargeBuffer<std::uint32_t> candidates_;
    // Bucket b holds candidates_[bounds_[b]] up to candidates_[bounds_[b + 1]].
    std::vector<std::size_t> bounds_;
    // Per bin, its count of candidates, and its bucket.
    std::vector<std::size_t> bins_;
    std::vector<std::uint16_t> bucket_of_bin_;
    // Per bucket, where its next candidate goes.
    std::vector<std::size_t> next_of_bucket_;
};

}  // namespace quorvel
