#include "node_layers.hpp"

#include <algorithm>

namespace quorvel {

namespace {

// Below this many nodes dropping dead ones is not worth a pass.
constexpr std::size_t kLeastDropped = 1 << 16;

}  // namespace

void NodeLayers::open_layer() {
    // Dropping only when the array has grown by half since the last time
    // makes every pass cost no more than three times the nodes added since.
    if (nodes_.size() >= std::max(kLeastDropped, count_after_last_drop_ + count_after_last_drop_ / 2))
        drop_dead_nodes();
    layer_start_.push_back(nodes_.size());
}

// Marks, from the last layer down, every node some live node above leads
// through, then moves the marked nodes of each layer down in order, from the
// first layer up, renumbering the parents of the layer above as it goes.
void NodeLayers::drop_dead_nodes() {
    const std::size_t n_layers = layer_start_.size();
    const auto layer_end = [&](std::size_t layer) {
        return layer + 1 < n_layers ? layer_start_[layer + 1] : nodes_.size();
    };
    // Held only while dropping: it would otherwise take half as much memory
    // as the nodes for the rest of the search.
    constexpr CompactIndex kDead = kNoIndex;
    std::vector<CompactIndex> new_position(nodes_.size(), kDead);
    std::fill(new_position.begin() + static_cast<std::ptrdiff_t>(layer_start_.back()),
              new_position.end(), 0);
    for (std::size_t layer = n_layers - 1; layer > 0; --layer) {
        const std::size_t below = layer_start_[layer - 1];
        for (std::size_t i = layer_start_[layer]; i < layer_end(layer); ++i)
            if (new_position[i] != kDead) new_position[below + nodes_[i].parent] = 0;
    }

    std::size_t kept = 0;
    std::size_t old_below = 0;
    for (std::size_t layer = 0; layer < n_layers; ++layer) {
        const std::size_t begin = layer_start_[layer];
        const std::size_t end = layer_end(layer);
        layer_start_[layer] = kept;
        CompactIndex position = 0;
        for (std::size_t i = begin; i < end; ++i) {
            if (new_position[i] == kDead) continue;
            Node node = nodes_[i];
            if (layer > 0) node.parent = new_position[old_below + node.parent];
            new_position[i] = position++;
            nodes_[kept++] = node;
        }
        old_below = begin;
    }
    nodes_.resize(kept);
    count_after_last_drop_ = kept;
}

void NodeLayers::read_design(std::size_t position, std::span<std::size_t> design) const {
    std::size_t layer = layer_start_.size();
    for (auto slot = design.rbegin(); slot != design.rend(); ++slot) {
        const Node& node = nodes_[layer_start_[--layer] + position];
        *slot = node.option;
        position = node.parent;
    }
}

}  // namespace quorvel
