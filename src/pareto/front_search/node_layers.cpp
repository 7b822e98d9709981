#include "node_layers.hpp"

#include <algorithm>
#include <array>

namespace quorvel {

namespace {

// Below this many nodes dropping dead ones is not worth a pass.
constexpr std::size_t kLeastDropped = 1 << 16;

// Nor while the array holds fewer nodes than this per design of the last
// layer: such a pass finds few dead (on fronts of 500,000 points, 5 in 100
// after a second stand, for a tenth of the time of a stand). Eight raised
// the peak memory of the forest problem's largest fronts by 6%; four left
// it as it was.
constexpr std::size_t kNodesPerDesign = 4;

// Chains read side by side: enough loads in flight to hide most of the wait
// for nodes spread over every layer. At fronts of 500,000 points, 64 read
// the designs in about 55% of the time 16 or 32 took; 128 no faster.
constexpr std::size_t kChainsTogether = 64;

}  // namespace

void NodeLayers::open_layer(std::size_t n_nodes) {
    // Dropping only when the array has doubled since the last time makes
    // every pass cost no more than twice the nodes added since. Every node
    // of a lone layer is live: a large first stand gives nothing to drop.
    if (layer_start_.size() > 1 &&
        node_count() >= std::max({kLeastDropped, 2 * count_after_last_drop_,
                                  kNodesPerDesign * (node_count() - layer_start_.back())}))
        drop_dead_nodes();
    layer_start_.push_back(node_count());
    // Room for twice as many nodes at once, rather than grown node by node:
    // each growth copies every node, one by one under the buffer's
    // allocator, and room never touched takes no memory.
    const std::size_t needed = node_count() + n_nodes;
    if (parents_.capacity() < needed) {
        parents_.reserve(2 * needed);
        options_.reserve(2 * needed * option_width_);
    }
}

// Marks, from the last layer down, every node some live node above leads
// through, then moves the marked nodes of each layer down in order, from the
// first layer up, renumbering the parents of the layer above as it goes.
void NodeLayers::drop_dead_nodes() {
    const std::size_t n_layers = layer_start_.size();
    const auto layer_end = [&](std::size_t layer) {
        return layer + 1 < n_layers ? layer_start_[layer + 1] : node_count();
    };
    // Held only while dropping: it would otherwise take half as much memory
    // as the nodes for the rest of the search.
    constexpr CompactIndex kDead = kNoIndex;
    LargeBuffer<CompactIndex> new_position(node_count(), kDead);
    std::fill(new_position.begin() + static_cast<std::ptrdiff_t>(layer_start_.back()),
              new_position.end(), 0);
    for (std::size_t layer = n_layers - 1; layer > 0; --layer) {
        const std::size_t below = layer_start_[layer - 1];
        for (std::size_t i = layer_start_[layer]; i < layer_end(layer); ++i)
            if (new_position[i] != kDead) new_position[below + parents_[i]] = 0;
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
            parents_[kept] = layer > 0 ? new_position[old_below + parents_[i]] : parents_[i];
            // Index by index: a copy of one to four bytes would be a call.
            store_index(options_.data() + kept * option_width_,
                        load_index(options_.data() + i * option_width_, option_width_),
                        option_width_);
            new_position[i] = position++;
            ++kept;
        }
        old_below = begin;
    }
    parents_.resize(kept);
    options_.resize(kept * option_width_);
    count_after_last_drop_ = kept;
}

void NodeLayers::read_designs(std::size_t first_position, std::span<Design> designs) const {
    for (std::size_t done = 0; done < designs.size(); done += kChainsTogether) {
        const std::size_t n_chains = std::min(kChainsTogether, designs.size() - done);
        std::array<std::size_t, kChainsTogether> positions{};
        for (std::size_t k = 0; k < n_chains; ++k) positions[k] = first_position + done + k;
        for (std::size_t layer = layer_start_.size(); layer-- > 0;) {
            for (std::size_t k = 0; k < n_chains; ++k) {
                const std::size_t node = layer_start_[layer] + positions[k];
                designs[done + k][layer] =
                    load_index(options_.data() + node * option_width_, option_width_);
                positions[k] = parents_[node];
            }
        }
    }
}

}  // namespace quorvel
