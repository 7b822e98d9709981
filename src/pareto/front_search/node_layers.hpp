#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "compact_index.hpp"
#include "pareto/packed_design.hpp"
#include "pareto/large_buffer.hpp"

namespace quorvel {

// The nodes of all partial designs, one layer per stand in one array: the
// node at position i of layer s holds the option chosen at stand s and the
// position of its parent in layer s - 1, so designs with a common prefix
// share its nodes. The last layer is the current front, in front order.
// Nodes no design of the last layer leads through are dropped whenever the
// array has doubled since the last drop and holds a few nodes per design of
// the last layer, keeping every layer's order, so memory follows the live
// designs and neighbouring nodes stay together.
class NodeLayers {
public:
    // Options are stored in option_width bytes each (see PackedDesign).
    explicit NodeLayers(unsigned option_width) : option_width_(option_width) {}

    // Opens the layer of the next stand, which is to hold about n_nodes
    // nodes; the previous one becomes read-only.
    void open_layer(std::size_t n_nodes);

    // Appends a node to the open layer; parent is a position in the layer
    // before (ignored for the first layer).
    void add(CompactIndex parent, CompactIndex option) {
        ensure_indexable(parents_.size());
        parents_.push_back(parent);
        options_.resize(options_.size() + option_width_);
        store_index(options_.data() + options_.size() - option_width_, option, option_width_);
    }

    // Writes into designs[k] the options along the chain ending at position
    // first_position + k of the last layer, first stand first; each design
    // has as many entries as there are layers. The chains are followed side
    // by side, layer by layer, so that their loads overlap.
    void read_designs(std::size_t first_position, std::span<Design> designs) const;

    // Nodes held, dead ones included.
    std::size_t node_count() const { return parents_.size(); }

private:
    void drop_dead_nodes();

    unsigned option_width_;
    LargeBuffer<CompactIndex> parents_;  // per node
    std::vector<std::uint8_t> options_;  // option_width_ bytes per node
    std::vector<std::size_t> layer_start_;
    std::size_t count_after_last_drop_ = 0;
};

}  // namespace quorvel
