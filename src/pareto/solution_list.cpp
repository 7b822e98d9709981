#include "solution_list.hpp"

#include <sys/mman.h>

#include <algorithm>
#include <new>
#include <utility>

namespace quorvel {

namespace {

constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

}  // namespace

SolutionList::Chunk::Chunk(std::size_t n_bytes) : n_bytes_(n_bytes) {
    void* pages =
        mmap(nullptr, n_bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages == MAP_FAILED) throw std::bad_alloc();
    bytes_ = static_cast<std::uint8_t*>(pages);
}

SolutionList::Chunk::Chunk(Chunk&& other) noexcept
    : bytes_(std::exchange(other.bytes_, nullptr)), n_bytes_(other.n_bytes_) {}

void SolutionList::Chunk::release() {
    if (bytes_ != nullptr) munmap(bytes_, n_bytes_);
    bytes_ = nullptr;
}

SolutionList::SolutionList(std::size_t n_stands, std::size_t n_variables, unsigned index_bits)
    : n_stands_(n_stands),
      n_variables_(n_variables),
      index_bits_(index_bits),
      design_bytes_(PackedDesign::bytes_for(n_stands, index_bits)),
      records_per_chunk_(std::max(kChunkBytes / std::max<std::size_t>(record_bytes(), 1),
                                  std::size_t{1})),
      designs_span_((records_per_chunk_ * design_bytes_ + sizeof(double) - 1) / sizeof(double) *
                    sizeof(double)) {}

void SolutionList::push_back(std::span<const std::size_t> design, std::span<const double> target) {
    // Pages are touched only as records fill them, so a chunk's room costs
    // nothing until used.
    if (size_ % records_per_chunk_ == 0)
        chunks_.emplace_back(designs_span_ + records_per_chunk_ * n_variables_ * sizeof(double));
    const Chunk& chunk = chunks_.back();
    const std::size_t row = size_ % records_per_chunk_;
    PackedDesign::pack(design, index_bits_, chunk.designs() + row * design_bytes_);
    std::copy(target.begin(), target.end(), chunk_targets(chunk) + row * n_variables_);
    ++size_;
}

void SolutionList::clear() {
    chunks_.clear();
    size_ = 0;
}

}  // namespace quorvel
