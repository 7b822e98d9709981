#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "compact_index.hpp"

namespace quorvel {

// The nodes of all partial designs in one array. A node holds its option and
// its parent; designs with a common prefix share the prefix's nodes. Owner
// counts free a node once neither a child nor the caller holds it, and freed
// slots are reused, so the array follows the live designs, not the history.
class NodeArena {
public:
    // A node owned once by the caller; takes one more hold on the parent
    // (kNoIndex for a design's first stand).
    CompactIndex add(CompactIndex parent, CompactIndex option);

    // Drops the caller's hold; frees the node and then every ancestor left
    // without an owner, one after the other, so long chains need no stack.
    void release(CompactIndex node);

    // Writes the options along the chain ending at node, last stand last;
    // the chain holds exactly design.size() nodes.
    void read_design(CompactIndex node, std::span<std::size_t> design) const;

    std::size_t live_count() const { return nodes_.size() - free_count_; }
    // Slots ever taken: the most nodes that were alive at once.
    std::size_t slot_count() const { return nodes_.size(); }

private:
    struct Node {
        CompactIndex parent;  // next free slot while the node is free
        CompactIndex option;
        CompactIndex owners;
    };

    std::vector<Node> nodes_;
    CompactIndex first_free_ = kNoIndex;
    std::size_t free_count_ = 0;
};

}  // namespace quorvel
