#pragma once

#include <cstddef>
#include <cstdint>
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
// one width and its targets one after another: a vector of its own per
// design and per target took a sixth of a large search's time to allocate
// and free. Chunks rather than one array, so that the records can be copied
// elsewhere while their memory is released behind the copy.
class SolutionList {
public:
    SolutionList(std::size_t n_stands, std::size_t n_variables, unsigned index_bits);

    // The bytes a record takes: its packed design and its target.
    std::size_t record_bytes() const { return design_bytes_ + n_variables_ * sizeof(double); }
    // The number of records to come, so that each chunk takes the room for
    // its share when it opens.
    void reserve(std::size_t n_records) { expected_size_ = n_records; }
    void push_back(std::span<const std::size_t> design, std::span<const double> target);

    std::size_t size() const { return size_; }
    SolutionRecord operator[](std::size_t i) const {
        const Chunk& chunk = chunks_[i / records_per_chunk_];
        const std::size_t row = i % records_per_chunk_;
        return {PackedDesign(chunk.designs.data() + row * design_bytes_, n_stands_, index_bits_),
                std::span<const double>(chunk.targets.data() + row * n_variables_, n_variables_)};
    }
    auto records() const {
        return std::views::iota(std::size_t{0}, size_) |
               std::views::transform([this](std::size_t i) { return (*this)[i]; });
    }

    // Hands every record to visit(record) in order, releasing each chunk
    // once its records are visited. The list is empty afterwards, also when
    // visit throws.
    template <class Visit>
    void drain(Visit visit) {
        try {
            for (std::size_t i = 0; i < size_; ++i) {
                visit((*this)[i]);
                if ((i + 1) % records_per_chunk_ == 0) chunks_[i / records_per_chunk_] = Chunk{};
            }
        } catch (...) {
            clear();
            throw;
        }
        clear();
    }

private:
    struct Chunk {
        std::vector<std::uint8_t> designs;
        std::vector<double> targets;
    };

    void open_chunk();
    void clear();

    std::size_t n_stands_;
    std::size_t n_variables_;
    unsigned index_bits_;
    std::size_t design_bytes_;
    std::size_t records_per_chunk_;
    std::size_t expected_size_ = 0;
    std::size_t size_ = 0;
    std::vector<Chunk> chunks_;
};

}  // namespace quorvel
