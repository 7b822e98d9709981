#include "candidate_buckets.hpp"

#include <bit>

namespace quorvel {

namespace {

// Fine enough that skewed coordinates still fill the buckets evenly, few
// enough to stay in cache.
constexpr int kBinBits = 16;
// A bucket is made of whole bins: its number fits where a bin's does.
static_assert(kBinBits <= 16, "bucket numbers are kept in 16 bits");

}  // namespace

void CandidateBuckets::start(std::size_t n_candidates, std::uint32_t lowest,
                             std::uint32_t highest) {
    lowest_ = lowest;
    highest_ = highest;
    shift_ = std::max(0, static_cast<int>(std::bit_width(highest - lowest)) - kBinBits);
    bins_of_candidates_.clear();
    bins_of_candidates_.reserve(n_candidates);
}

void CandidateBuckets::sort(std::size_t bucket_size) {
    bins_.assign(((highest_ - lowest_) >> shift_) + 1, 0);
    for (const std::uint16_t bin : bins_of_candidates_) ++bins_[bin];

    // Whole bins join a bucket while it stays within bucket_size. Candidates
    // then go to their bucket, not their bin: a few hundred places written in
    // turn stay in cache, where the bins' tens of thousands did not.
    bucket_of_bin_.resize(bins_.size());
    bounds_.assign(1, 0);
    std::size_t position = 0;
    for (std::size_t bin = 0; bin < bins_.size(); ++bin) {
        const std::size_t count = bins_[bin];
        if (count > 0 && position > bounds_.back() &&
            position + count - bounds_.back() > bucket_size)
            bounds_.push_back(position);
        bucket_of_bin_[bin] = static_cast<std::uint16_t>(bounds_.size() - 1);
        position += count;
    }
    bounds_.push_back(position);

    next_of_bucket_.assign(bounds_.begin(), bounds_.end() - 1);
    candidates_.resize(bins_of_candidates_.size());
    for (std::size_t candidate = 0; candidate < bins_of_candidates_.size(); ++candidate)
        candidates_[next_of_bucket_[bucket_of_bin_[bins_of_candidates_[candidate]]]++] =
            static_cast<std::uint32_t>(candidate);
}

void CandidateBuckets::release() {
    LargeBuffer<std::uint16_t>().swap(bins_of_candidates_);
    LargeBuffer<std::uint32_t>().swap(candidates_);
}

}  // namespace quorvel
