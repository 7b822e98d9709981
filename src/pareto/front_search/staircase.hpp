#pragma once

#include <cstddef>
#include <vector>

namespace quorvel {

// The pairs (second, third) added so far, reduced to those no other added
// pair is no worse than in both: steps rising in the second value and falling
// in the third. A front's pairs mostly leave only a few dozen steps, so a
// query is a short search in cache, and an added pair mostly takes the place
// of the one step it beats. Steps moved to open or close a gap are counted
// against an allowance that grows with every query, so that callers can turn
// to a structure whose cost does not grow with the steps.
class Staircase {
public:
    void clear() {
        steps_.clear();
        moves_left_ = kFreeMoves;
    }
    bool over_allowance() const { return moves_left_ < 0; }

    // Adds the pair unless an added pair is no greater in both values;
    // returns whether it was added. The step with the greatest second value
    // not above `second` has the least third among them; the steps the new
    // pair is no worse than follow it.
    bool add_if_uncovered(double second, double third) {
        moves_left_ += kMovesPerQuery;
        std::size_t first = 0;  // the first step whose second value is not below
        if (!steps_.empty() && steps_[0].second <= second) {
            // Halving without branches: they would mostly be mispredicted.
            const Step* base = steps_.data();
            for (std::size_t n = steps_.size(); n > 1; n -= n / 2)
                base = base[n / 2].second <= second ? base + n / 2 : base;
            if (base->third <= third) return false;
            first = static_cast<std::size_t>(base - steps_.data()) + (base->second < second);
        }
        std::size_t last = first;
        while (last < steps_.size() && steps_[last].third >= third) ++last;
        const std::size_t n_steps = steps_.size();
        moves_left_ -= static_cast<std::ptrdiff_t>(n_steps - (first == last ? first : last));
        if (first == last) {
            steps_.push_back({});
            for (std::size_t i = steps_.size() - 1; i > first; --i) steps_[i] = steps_[i - 1];
        } else {
            const std::size_t dropped = last - first - 1;
            for (std::size_t i = last; i < steps_.size(); ++i) steps_[i - dropped] = steps_[i];
            steps_.resize(steps_.size() - dropped);
        }
        steps_[first] = {second, third};
        return true;
    }

private:
    // About as long as a query of a rank tree over a few million points takes.
    static constexpr std::ptrdiff_t kMovesPerQuery = 256;
    static constexpr std::ptrdiff_t kFreeMoves = std::ptrdiff_t{1} << 16;

    struct Step {
        double second;
        double third;
    };
    std::vector<Step> steps_;
    std::ptrdiff_t moves_left_ = kFreeMoves;
};

}  // namespace quorvel
