#include "staircase.hpp"

#include <utility>

namespace quorvel {

namespace {

// Entries left to count once halving has narrowed the search to so few:
// their comparisons need not wait on each other, where each halving waits on
// its load. At 500,000 points of three variables 16 was as fast as 32, and 8
// slower.
constexpr std::size_t kCountedEntries = 16;

// The last of n >= 1 entries strictly ascending by key whose key is at most
// `value`, given that the first one's is. Halving without branches: they
// would mostly be mispredicted.
template <class Entry, class Key>
std::size_t last_at_most(const Entry* entries, std::size_t n, double value, Key key) {
    const Entry* base = entries;
    for (; n > kCountedEntries; n -= n / 2) base = key(base[n / 2]) <= value ? base + n / 2 : base;
    std::size_t last = 0;
    for (std::size_t i = 1; i < n; ++i) last += key(base[i]) <= value;
    return static_cast<std::size_t>(base - entries) + last;
}

}  // namespace

void Staircase::clear() {
    // The first block keeps its storage for the next set, the others go spare.
    for (std::size_t b = 1; b < blocks_.size(); ++b) set_aside(std::move(blocks_[b]));
    blocks_.resize(1);
    blocks_[0].clear();
    firsts_.assign(1, 0.0);
}

std::vector<Staircase::Step> Staircase::spare_block() {
    if (spare_blocks_.empty()) {
        std::vector<Step> block;
        block.reserve(2 * kBlockSteps + 1);
        return block;
    }
    std::vector<Step> block = std::move(spare_blocks_.back());
    spare_blocks_.pop_back();
    return block;
}

// Its steps are left as they are: a block taken back is filled by assign().
void Staircase::set_aside(std::vector<Step>&& block) { spare_blocks_.push_back(std::move(block)); }

// The step with the greatest second value not above `second` has the least
// third among those steps: the pair is covered exactly when that third is no
// greater. Otherwise the steps the pair is no worse than follow that step,
// from `position` of `block` on.
[[gnu::always_inline]] inline bool Staircase::locate(double second, double third,
                                                     std::size_t& block,
                                                     std::size_t& position) const {
    block = 0;
    position = 0;
    if (blocks_[0].empty() || second < firsts_[0]) return false;
    block = last_at_most(firsts_.data(), firsts_.size(), second, [](double v) { return v; });
    const std::vector<Step>& steps = blocks_[block];
    position = last_at_most(steps.data(), steps.size(), second,
                            [](const Step& step) { return step.second; });
    if (steps[position].third <= third) return true;
    position += steps[position].second < second;
    if (position == steps.size() && block + 1 < blocks_.size()) {
        ++block;
        position = 0;
    }
    return false;
}

bool Staircase::covers(double second, double third) const {
    std::size_t block;
    std::size_t position;
    return locate(second, third, block, position);
}

bool Staircase::add_if_uncovered(double second, double third) {
    std::size_t block;
    std::size_t position;
    if (locate(second, third, block, position)) return false;

    std::vector<Step>& steps = blocks_[block];
    std::size_t beaten_end = position;
    while (beaten_end < steps.size() && steps[beaten_end].third >= third) ++beaten_end;
    if (beaten_end == position) {
        insert_step(block, position, {second, third});
        return true;
    }
    steps[position] = {second, third};
    const bool to_block_end = beaten_end == steps.size();
    steps.erase(steps.begin() + static_cast<std::ptrdiff_t>(position) + 1,
                steps.begin() + static_cast<std::ptrdiff_t>(beaten_end));
    if (position == 0) firsts_[block] = second;
    if (to_block_end) drop_following_blocks(block, third);
    return true;
}

void Staircase::insert_step(std::size_t block, std::size_t position, Step step) {
    std::vector<Step>& steps = blocks_[block];
    steps.insert(steps.begin() + static_cast<std::ptrdiff_t>(position), step);
    if (position == 0) firsts_[block] = step.second;
    if (steps.size() <= 2 * kBlockSteps) return;
    // Split in halves; the new block takes the upper one.
    const auto middle = steps.begin() + static_cast<std::ptrdiff_t>(kBlockSteps);
    std::vector<Step> upper = spare_block();
    upper.assign(middle, steps.end());
    steps.erase(middle, steps.end());
    firsts_.insert(firsts_.begin() + static_cast<std::ptrdiff_t>(block) + 1, upper.front().second);
    blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(block) + 1, std::move(upper));
}

// The steps beaten by a pair with this third continue from the start of the
// block after `block`, possibly over whole blocks.
void Staircase::drop_following_blocks(std::size_t block, double third) {
    const std::size_t next = block + 1;
    while (next < blocks_.size()) {
        std::vector<Step>& steps = blocks_[next];
        std::size_t beaten = 0;
        while (beaten < steps.size() && steps[beaten].third >= third) ++beaten;
        if (beaten < steps.size()) {
            steps.erase(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(beaten));
            firsts_[next] = steps.front().second;
            return;
        }
        set_aside(std::move(steps));
        blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(next));
        firsts_.erase(firsts_.begin() + static_cast<std::ptrdiff_t>(next));
    }
}

}  // namespace quorvel
