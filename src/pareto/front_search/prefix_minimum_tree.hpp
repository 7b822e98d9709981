#pragma once

#include <cstddef>
#include <limits>
#include <vector>

namespace quorvel {

// Fenwick tree over ranks 1..n answering whether a value no greater than a
// given one is stored at a rank no greater than a given one.
class PrefixMinimumTree {
public:
    void reset(std::size_t n_ranks) { lowest_.assign(n_ranks + 1, kNone); }

    // Each node on the path covers the ranks of the one before, so while
    // only lower() has run since the tree was empty it holds no more: the
    // first node not above the value ends the walk. Hence no lower() may
    // follow a clear() until the tree is empty again.
    void lower(std::size_t rank, double value) {
        for (std::size_t i = rank; i < lowest_.size() && value < lowest_[i]; i += i & (~i + 1))
            lowest_[i] = value;
    }

    // Empties every node on the rank's path; clearing the ranks of all
    // earlier lower() calls empties the tree without touching the rest.
    void clear(std::size_t rank) {
        for (std::size_t i = rank; i < lowest_.size(); i += i & (~i + 1)) lowest_[i] = kNone;
    }

    bool any_at_most(std::size_t rank, double value) const {
        for (std::size_t i = rank; i > 0; i &= i - 1)
            if (lowest_[i] <= value) return true;
        return false;
    }

private:
    static constexpr double kNone = std::numeric_limits<double>::infinity();
    std::vector<double> lowest_;
};

}  // namespace quorvel
