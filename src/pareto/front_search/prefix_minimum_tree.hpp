#pragma once

#include <cstddef>
#include <limits>
#include <vector>

namespace quorvel {

// Fenwick tree over ranks 1..n answering the smallest value stored at a
// rank no greater than a given one.
class PrefixMinimumTree {
public:
    void reset(std::size_t n_ranks) { lowest_.assign(n_ranks + 1, kNone); }

    void lower(std::size_t rank, double value) {
        for (std::size_t i = rank; i < lowest_.size(); i += i & (~i + 1))
            if (value < lowest_[i]) lowest_[i] = value;
    }

    // Empties every node on the rank's path; clearing the ranks of all
    // earlier lower() calls empties the tree without touching the rest.
    void clear(std::size_t rank) {
        for (std::size_t i = rank; i < lowest_.size(); i += i & (~i + 1)) lowest_[i] = kNone;
    }

    double lowest_up_to(std::size_t rank) const {
        double lowest = kNone;
        for (std::size_t i = rank; i > 0; i &= i - 1)
            if (lowest_[i] < lowest) lowest = lowest_[i];
        return lowest;
    }

private:
    static constexpr double kNone = std::numeric_limits<double>::infinity();
    std::vector<double> lowest_;
};

}  // namespace quorvel
