#include "node_arena.hpp"

namespace quorvel {

CompactIndex NodeArena::add(CompactIndex parent, CompactIndex option) {
    CompactIndex node = first_free_;
    if (node != kNoIndex) {
        first_free_ = nodes_[node].parent;
        --free_count_;
        nodes_[node] = {parent, option, 1};
    } else {
        ensure_indexable(nodes_.size());
        node = static_cast<CompactIndex>(nodes_.size());
        nodes_.push_back({parent, option, 1});
    }
    if (parent != kNoIndex) ++nodes_[parent].owners;
    return node;
}

void NodeArena::release(CompactIndex node) {
    while (node != kNoIndex && --nodes_[node].owners == 0) {
        const CompactIndex parent = nodes_[node].parent;
        nodes_[node].parent = first_free_;
        first_free_ = node;
        ++free_count_;
        node = parent;
    }
}

void NodeArena::read_design(CompactIndex node, std::span<std::size_t> design) const {
    for (auto slot = design.rbegin(); slot != design.rend(); ++slot) {
        *slot = nodes_[node].option;
        node = nodes_[node].parent;
    }
}

}  // namespace quorvel
