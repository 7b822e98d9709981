#include "pareto_front.hpp"

#include <cmath>
#include <span>
#include <utility>

#include "front_search/cell_representatives.hpp"
#include "front_search/compact_index.hpp"
#include "front_search/node_arena.hpp"
#include "front_search/nondominated_filter.hpp"
#include "front_search/shifted_table.hpp"

namespace quorvel {

namespace {

// The partial designs kept after a stand: row i of targets is the shifted
// partial target of the design whose last node is nodes[i].
struct Front {
    std::vector<double> targets;
    std::vector<CompactIndex> nodes;
};

void seed_with_first_stand(const ShiftedTable& shifted, NodeArena& arena, Front& front) {
    // Every option enters, dominated and repeated ones too: only the
    // combinations with later stands are merged and filtered.
    const std::span<const double> options = shifted.stand(0);
    front.targets.assign(options.begin(), options.end());
    const std::size_t n_options = shifted.n_options(0);
    ensure_indexable(n_options);
    for (std::size_t option = 0; option < n_options; ++option)
        front.nodes.push_back(arena.add(kNoIndex, static_cast<CompactIndex>(option)));
}

void keep_survivors(const CellRepresentatives& cells, std::span<const CompactIndex> survivors,
                    std::size_t n_variables, const Front& front, NodeArena& arena, Front& next) {
    next.targets.clear();
    next.nodes.clear();
    for (const CompactIndex cell : survivors) {
        const double* row = cells.targets().data() + cell * n_variables;
        next.targets.insert(next.targets.end(), row, row + n_variables);
        const CellRepresentatives::Origin& origin = cells.origin(cell);
        next.nodes.push_back(arena.add(front.nodes[origin.front_position], origin.option));
    }
}

std::vector<SolutionRecord> designs_of(const Front& front, const NodeArena& arena,
                                       const DataTable& table) {
    std::vector<SolutionRecord> records;
    records.reserve(front.nodes.size());
    for (const CompactIndex node : front.nodes) {
        Design design(table.n_stands);
        arena.read_design(node, design);
        Target target = compute_objective(design, table);
        records.push_back({std::move(design), std::move(target)});
    }
    return records;
}

}  // namespace

std::vector<SolutionRecord> build_pareto_front(const DataTable& table, double epsilon) {
    const std::size_t n_variables = table.n_variables;
    const ShiftedTable shifted(table);
    const double log_step = std::log1p(epsilon);

    NodeArena arena;
    Front front;
    Front next;
    seed_with_first_stand(shifted, arena, front);

    CellRepresentatives cells(n_variables);
    NondominatedFilter filter;
    std::vector<CompactIndex> survivors;
    for (std::size_t stand = 1; stand < shifted.n_stands(); ++stand) {
        cells.collect(front.targets, shifted.stand(stand), log_step);
        filter.select(cells.targets(), n_variables, survivors);
        keep_survivors(cells, survivors, n_variables, front, arena, next);
        for (const CompactIndex node : front.nodes) arena.release(node);
        std::swap(front, next);
    }
    return designs_of(front, arena, table);
}

}  // namespace quorvel
