#include "pareto_front.hpp"

#include <algorithm>
#include <cmath>
#include <span>

#include "front_search/cell_representatives.hpp"
#include "front_search/compact_index.hpp"
#include "front_search/node_layers.hpp"
#include "front_search/nondominated_filter.hpp"
#include "front_search/shifted_table.hpp"
#include "large_buffer.hpp"
#include "objective.hpp"
#include "pareto/cancellation.hpp"

namespace quorvel {

namespace {

// The partial designs kept after a stand, shifted partial targets row by
// row; row i is the design ending at position i of the last node layer.
using FrontTargets = LargeBuffer<double>;

void seed_with_first_stand(const ShiftedTable& shifted, NodeLayers& layers, FrontTargets& front) {
    // Every option enters, dominated and repeated ones too: only the
    // combinations with later stands are merged and filtered.
    const std::span<const double> options = shifted.stand(0);
    front.assign(options.begin(), options.end());
    const std::size_t n_options = shifted.n_options(0);
    ensure_indexable(n_options);
    layers.open_layer(n_options);
    for (std::size_t option = 0; option < n_options; ++option)
        layers.add(kNoIndex, static_cast<CompactIndex>(option));
}

// The front's rows are not read again once its candidates are collected, so
// its storage takes the next survivors' rows.
void keep_survivors(CellRepresentatives& cells, NodeLayers& layers, FrontTargets& front) {
    cells.move_survivor_targets(front);
    layers.open_layer(cells.survivor_origins().size());
    for (const CellRepresentatives::Origin& origin : cells.survivor_origins())
        layers.add(origin.front_position, origin.option);
}

SolutionList designs_of(std::size_t front_size, const NodeLayers& layers, const DataTable& table,
                        unsigned index_bits) {
    SolutionList records(table.n_stands, table.n_variables, index_bits);
    const TargetSums targets(table, front_size);
    Target target(table.n_variables);
    // Read a group at a time, so that the reads of their chains overlap.
    std::vector<Design> designs(64, Design(table.n_stands));
    for (std::size_t first = 0; first < front_size; first += designs.size()) {
        const std::span<Design> group(designs.data(), std::min(designs.size(), front_size - first));
        layers.read_designs(first, group);
        // The group's rows load side by side, not one per result.
        for (const Design& design : group) targets.prefetch(design);
        for (const Design& design : group) {
            targets.sum(design, target);
            records.push_back(design, target);
        }
    }
    return records;
}

// Runs the search stand by stand; returns the size of the final front, whose
// designs end in the last layer. The work space is gone once it returns, so
// it is not held while the results are built.
std::size_t search_stands(const ShiftedTable& shifted, double log_step, NodeLayers& layers) {
    const std::size_t n_variables = shifted.n_variables();
    FrontTargets front;
    seed_with_first_stand(shifted, layers, front);

    CellRepresentatives cells(n_variables);
    NondominatedFilter filter;
    for (std::size_t stand = 1; stand < shifted.n_stands(); ++stand) {
        check_cancellation();
        cells.collect(front, shifted.stand(stand), log_step, filter);
        keep_survivors(cells, layers, front);
    }
    return front.size() / n_variables;
}

}  // namespace

SolutionList build_pareto_front(const DataTable& table, double epsilon) {
    const unsigned index_bits = PackedDesign::bits_for(table.n_options);
    // Nodes are written one by one as the search goes: whole bytes each.
    NodeLayers layers(static_cast<unsigned>(PackedDesign::bytes_for(1, index_bits)));
    const std::size_t front_size = search_stands(ShiftedTable(table), std::log1p(epsilon), layers);
    return designs_of(front_size, layers, table, index_bits);
}

}  // namespace quorvel
