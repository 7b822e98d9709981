#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <ranges>
#include <span>
#include <vector>

#include "packed_design.hpp"

namespace quorvel {

// One result, read in place: valid while its list lives unchanged.
struct SolutionRecord {
    PackedDesign design;
    // Summed values, one per variable in variable order.
    std::span<const double> target;
};

// Results in chunks of about a megabyte, each holding its designs packed in
// one width and then its targets: a vector of its own per design and per
// target took a sixth of a large search's time to allocate and free. Chunks
// rather than one array, so that the records can be copied elsewhere while
// their memory is given back behind the copy.
class SolutionList {
public:
    SolutionList(std::size_t n_stands, std::size_t n_variables, unsigned index_bits);

    // The bytes a record takes: its packed design and its target.
    std::size_t record_bytes() const { return design_bytes_ + n_variables_ * sizeof(double); }
    // On failure the list is unchanged.
    void push_back(std::span<const std::size_t> design, std::span<const double> target);

    std::size_t size() const { return size_; }
    SolutionRecord operator[](std::size_t i) const {
        const Chunk& chunk = chunks_[i / records_per_chunk_];
        const std::size_t row = i % records_per_chunk_;
        return {PackedDesign(chunk.bytes() + row * design_bytes_, n_stands_, index_bits_),
                std::span<const double>(chunk_targets(chunk) + row * n_variables_, n_variables_)};
    }
    // The records in order; views into the list, so not of a temporary one.
    auto records() const& {
        return std::views::iota(std::size_t{0}, size_) |
               std::views::transform([this](std::size_t i) { return (*this)[i]; });
    }
    void records() const&& = delete;

    // Hands every record to visit(record) in order, giving each chunk back to
    // the system once its records are visited. The list is empty afterwards,
    // also when visit throws.
    template <class Visit>
    void drain(Visit visit) {
        try {
            for (std::size_t i = 0; i < size_; ++i) {
                visit((*this)[i]);
                if ((i + 1) % records_per_chunk_ == 0) chunks_[i / records_per_chunk_].give_back();
            }
        } catch (...) {
            clear();
            throw;
        }
        clear();
    }

private:
    class Chunk {
    public:
        explicit Chunk(std::size_t n_bytes);

        std::uint8_t* bytes() const { return reinterpret_cast<std::uint8_t*>(values_.get()); }
        // Frees the chunk, its whole pages returned to the system first:
        // freed from the middle of the heap they would stay with the process,
        // which would then hold every chunk beside their copies after all.
        void give_back();

    private:
        // Doubles, so that the targets are aligned.
        std::unique_ptr<double[]> values_;
        std::size_t n_bytes_;
    };

    // The targets follow the designs, from a whole number of doubles on.
    double* chunk_targets(const Chunk& chunk) const {
        return reinterpret_cast<double*>(chunk.bytes() + designs_span_);
    }
    void clear();

    std::size_t n_stands_;
    std::size_t n_variables_;
    unsigned index_bits_;
    std::size_t design_bytes_;
    std::size_t records_per_chunk_;
    std::size_t designs_span_;
    std::size_t size_ = 0;
    std::vector<Chunk> chunks_;
};

}  // namespace quorvel
