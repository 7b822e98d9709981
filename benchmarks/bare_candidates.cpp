#include "bare_candidates.hpp"

#include <variant>

#include "pareto/grid.hpp"
#include "pareto/pareto_front.hpp"
#include "straightforward_front.hpp"

namespace quorvel::bench {

std::size_t CandidateInputs::count() const {
    std::size_t total = 0;
    for (std::size_t s = 1; s < stand_rows.size(); ++s)
        total += (fronts[s - 1].size() / n_variables) * (stand_rows[s].size() / n_variables);
    return total;
}

CandidateInputs candidate_inputs(const DataTable& table, double epsilon) {
    const NestedValues shifted = shifted_values(table);
    CandidateInputs inputs{table.n_variables, {}, {}};
    for (const auto& stand : shifted) {
        std::vector<double>& rows = inputs.stand_rows.emplace_back();
        for (const auto& option : stand) rows.insert(rows.end(), option.begin(), option.end());
    }
    inputs.fronts.push_back(inputs.stand_rows[0]);

    for (std::size_t n_stands = 2; n_stands < table.n_stands; ++n_stands) {
        NestedValues prefix(table.values.begin(), table.values.begin() + n_stands);
        const DataTable prefix_table = std::get<DataTable>(DataTable::create(std::move(prefix)));
        std::vector<double>& front = inputs.fronts.emplace_back();
        const SolutionList prefix_front = build_pareto_front(prefix_table, epsilon);
        for (const SolutionRecord& record : prefix_front.records()) {
            std::vector<double> sum(table.n_variables, 0.0);
            for (std::size_t s = 0; s < n_stands; ++s)
                for (std::size_t v = 0; v < sum.size(); ++v)
                    sum[v] += shifted[s][record.design[s]][v];
            front.insert(front.end(), sum.begin(), sum.end());
        }
    }
    return inputs;
}

std::uint64_t form_candidates(const CandidateInputs& inputs, double log_step) {
    const std::size_t n_variables = inputs.n_variables;
    std::vector<double> sum(n_variables);
    CellKey key(n_variables);
    std::uint64_t checksum = 0;
    for (std::size_t s = 1; s < inputs.stand_rows.size(); ++s) {
        const std::vector<double>& front = inputs.fronts[s - 1];
        const std::vector<double>& options = inputs.stand_rows[s];
        for (std::size_t parent = 0; parent < front.size(); parent += n_variables)
            for (std::size_t option = 0; option < options.size(); option += n_variables) {
                for (std::size_t v = 0; v < n_variables; ++v)
                    sum[v] = front[parent + v] + options[option + v];
                cell_coordinates_into(sum, log_step, key);
                for (const std::uint32_t c : key) checksum = checksum * 31 + c;
            }
    }
    return checksum;
}

}  // namespace quorvel::bench
