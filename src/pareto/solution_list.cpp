#include "solution_list.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace quorvel {

namespace {

constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

}  // namespace

SolutionList::Chunk::Chunk(std::size_t n_bytes)
    : values_(std::make_unique_for_overwrite<double[]>(n_bytes / sizeof(double))),
      n_bytes_(n_bytes) {}

void SolutionList::Chunk::give_back() {
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(bytes());
    const std::uintptr_t first_page = (start + page - 1) / page * page;
    const std::uintptr_t pages_end = (start + n_bytes_) / page * page;
    if (first_page < pages_end)
        madvise(reinterpret_cast<void*>(first_page), pages_end - first_page, MADV_DONTNEED);
    values_.reset();
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
    // little until used.
    if (size_ % records_per_chunk_ == 0)
        chunks_.emplace_back(designs_span_ + records_per_chunk_ * n_variables_ * sizeof(double));
    const Chunk& chunk = chunks_.back();
    const std::size_t row = size_ % records_per_chunk_;
    std::uint8_t* const packed = chunk.bytes() + row * design_bytes_;
    std::fill_n(packed, design_bytes_, 0);
    PackedDesign::pack(design, index_bits_, packed);
    std::copy(target.begin(), target.end(), chunk_targets(chunk) + row * n_variables_);
    ++size_;
}

void SolutionList::clear() {
    chunks_.clear();
    size_ = 0;
}

}  // namespace quorvel
