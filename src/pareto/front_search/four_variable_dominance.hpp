#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "compact_index.hpp"
#include "key_sort.hpp"
#include "minimal_triples.hpp"
#include "staircase.hpp"

namespace quorvel {

// Finds the dominated rows among distinct rows of four values. In
// lexicographic order a row is dominated exactly when an earlier row is no
// worse in the last three values. A sweep over the order that keeps the
// survivors' minimal triples settles sets where most rows are dominated; the
// rest goes to divide and conquer: halving the order, the earlier half is
// tested against the later one by a sweep over the second value that keeps
// the staircase of the earlier rows' third and fourth values; each half is
// then split the same way, down to ranges short enough for the sweep.
class FourVariableDominance {
public:
    // order lists the rows of points lexicographically.
    void mark(std::span<const double> points, std::span<const KeyedIndex> order);

    // Whether the row at this place of order is dominated.
    bool dominated(std::size_t position) const { return dominated_[position] != 0; }

private:
    struct Item {
        double second;
        double third;
        double fourth;
        CompactIndex position;

        std::array<double, 3> triple() const { return {second, third, fourth}; }
    };

    static bool by_second(const Item& a, const Item& b) { return a.second < b.second; }

    std::size_t sweep(std::span<const double> points, std::span<const KeyedIndex> order);
    void solve(std::size_t begin, std::size_t end);
    void sweep_range(std::size_t begin, std::size_t end);
    void compare_halves(std::size_t begin, std::size_t middle, std::size_t end);

    MinimalTriples minima_;
    std::vector<Item> items_;
    std::vector<Item> merged_;
    std::vector<std::uint8_t> dominated_;
    Staircase earlier_pairs_;
};

}  // namespace quorvel
