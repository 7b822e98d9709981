#include "straightforward_front.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <unordered_map>

#include "pareto/front_search/dominance.hpp"
#include "pareto/grid.hpp"
#include "pareto/objective.hpp"

namespace quorvel::bench {

namespace {

struct PartialParetoPoint {
    Target partial_target;
    std::shared_ptr<const PartialParetoPoint> parent;
    std::size_t option_index;
};
using NodeRef = std::shared_ptr<const PartialParetoPoint>;

struct CellKeyHash {
    std::size_t operator()(const CellKey& key) const {
        std::size_t h = key.size();
        for (const std::uint32_t c : key) h ^= c + 0x9E3779B9 + (h << 6) + (h >> 2);
        return h;
    }
};

bool node_dominates(const NodeRef& a, const NodeRef& b) {
    return dominates(a->partial_target.data(), b->partial_target.data(),
                     a->partial_target.size());
}

// The order the search lists a front in: lexicographic for two to four
// variables, otherwise by the sum of the row, ties lexicographic. Either
// way a dominator comes before every row it dominates.
bool listed_before(const Target& a, const Target& b) {
    if (a.size() < 2 || a.size() > 4) {
        double sum_a = a[0];
        double sum_b = b[0];
        for (std::size_t v = 1; v < a.size(); ++v) {
            sum_a += a[v];
            sum_b += b[v];
        }
        if (sum_a != sum_b) return sum_a < sum_b;
    }
    return a < b;
}

std::vector<NodeRef> filter_dominated(std::vector<NodeRef> representatives) {
    std::sort(representatives.begin(), representatives.end(),
              [](const NodeRef& a, const NodeRef& b) {
                  return listed_before(a->partial_target, b->partial_target);
              });
    std::vector<NodeRef> front;
    for (const NodeRef& r : representatives)
        if (std::none_of(front.begin(), front.end(),
                         [&](const NodeRef& kept) { return node_dominates(kept, r); }))
            front.push_back(r);
    return front;
}

}  // namespace

NestedValues shifted_values(const DataTable& table) {
    std::vector<double> minima(table.n_variables, std::numeric_limits<double>::infinity());
    for (const auto& stand : table.values)
        for (const auto& option : stand)
            for (std::size_t v = 0; v < minima.size(); ++v)
                if (option[v] < minima[v]) minima[v] = option[v];
    NestedValues shifted = table.values;
    for (auto& stand : shifted)
        for (auto& option : stand)
            for (std::size_t v = 0; v < minima.size(); ++v)
                option[v] = (option[v] - minima[v]) + kValueOffset;
    return shifted;
}

StraightforwardResult straightforward_front(const DataTable& table, double epsilon) {
    const NestedValues shifted = shifted_values(table);
    const double log_step = std::log1p(epsilon);
    std::size_t n_candidates = 0;

    std::vector<NodeRef> front;
    for (std::size_t o = 0; o < shifted[0].size(); ++o)
        front.push_back(std::make_shared<const PartialParetoPoint>(
            PartialParetoPoint{shifted[0][o], nullptr, o}));

    for (std::size_t s = 1; s < table.n_stands; ++s) {
        std::vector<NodeRef> candidates;
        for (const NodeRef& parent : front)
            for (std::size_t o = 0; o < shifted[s].size(); ++o)
                candidates.push_back(std::make_shared<const PartialParetoPoint>(PartialParetoPoint{
                    add_vectors(parent->partial_target, shifted[s][o]), parent, o}));
        n_candidates += candidates.size();

        // Cells in order of their first candidate; a later candidate takes
        // a cell over only by dominating its holder.
        std::unordered_map<CellKey, std::size_t, CellKeyHash> cell_of_key;
        std::vector<NodeRef> representatives;
        for (NodeRef& c : candidates) {
            const auto [found, inserted] =
                cell_of_key.try_emplace(cell_coordinates(c->partial_target, log_step),
                                        representatives.size());
            if (inserted)
                representatives.push_back(std::move(c));
            else if (node_dominates(c, representatives[found->second]))
                representatives[found->second] = std::move(c);
        }
        candidates.clear();
        front = filter_dominated(std::move(representatives));
    }

    StraightforwardResult result{
        SolutionList(table.n_stands, table.n_variables, PackedDesign::bits_for(table.n_options)),
        n_candidates};
    for (const NodeRef& node : front) {
        Design design;
        for (const PartialParetoPoint* n = node.get(); n != nullptr; n = n->parent.get())
            design.push_back(n->option_index);
        std::reverse(design.begin(), design.end());
        result.records.push_back(design, compute_objective(design, table));
    }
    return result;
}

}  // namespace quorvel::bench
