#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "compact_index.hpp"

namespace quorvel {

// The nodes of all partial designs, one layer per stand in one array: the
// node at position i of layer s holds the option chosen at stand s and the
// position of its parent in layer s - 1, so designs with a common prefix
// share its nodes. The last layer is the current front, in front order.
// Nodes no design of the last layer leads through are dropped whenever the
// array has grown by half since the last drop, keeping every layer's order, so
// memory follows the live designs and neighbouring nodes stay together.
class NodeLayers {
public:
    // Opens the layer of the next stand; the previous one becomes read-only.
    void open_layer();

    // Appends a node to the open layer; parent is a position in the layer
    // before (ignored for the first layer).
    void add(CompactIndex parent, CompactIndex option) {
        ensure_indexable(nodes_.size());
        nodes_.push_back({parent, option});
    }

    // Writes the options along the chain ending at this position of the
    // last layer, first stand first; design.size() is the number of layers.
    void read_design(std::size_t position, std::span<std::size_t> design) const;

    // Nodes held, dead ones included.
    std::size_t node_count() const { return nodes_.size(); }

private:
    struct Node {
        CompactIndex parent;
        CompactIndex option;
    };

    void drop_dead_nodes();

    std::vector<Node> nodes_;
    std::vector<std::size_t> layer_start_;
    std::size_t count_after_last_drop_ = 0;
};

}  // namespace quorvel
