#include "solution_list.hpp"

#include <algorithm>

namespace quorvel {

namespace {

constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

}  // namespace

SolutionList::SolutionList(std::size_t n_stands, std::size_t n_variables, unsigned index_bits)
    : n_stands_(n_stands),
      n_variables_(n_variables),
      index_bits_(index_bits),
      design_bytes_(PackedDesign::bytes_for(n_stands, index_bits)),
      records_per_chunk_(std::max<std::size_t>(kChunkBytes / record_bytes(), 1)) {}

void SolutionList::open_chunk() {
    const std::size_t to_come = expected_size_ > size_ ? expected_size_ - size_ : 1;
    const std::size_t n_records = std::min(records_per_chunk_, to_come);
    Chunk& chunk = chunks_.emplace_back();
    chunk.designs.reserve(n_records * design_bytes_);
    chunk.targets.reserve(n_records * n_variables_);
}

void SolutionList::push_back(std::span<const std::size_t> design, std::span<const double> target) {
    if (size_ % records_per_chunk_ == 0) open_chunk();
    Chunk& chunk = chunks_.back();
    const std::size_t at = chunk.designs.size();
    chunk.designs.resize(at + design_bytes_);
    PackedDesign::pack(design, index_bits_, chunk.designs.data() + at);
    chunk.targets.insert(chunk.targets.end(), target.begin(), target.end());
    ++size_;
}

void SolutionList::clear() {
    chunks_.clear();
    size_ = 0;
}

}  // namespace quorvel
