#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pareto/data_table.hpp"

namespace quorvel::bench {

// What forming the candidates of a search needs, laid out flat: per stand,
// the shifted option rows, and, per stand from stand 1 on, the shifted
// partial targets of the front the search holds before adding it.
struct CandidateInputs {
    std::size_t n_variables;
    std::vector<std::vector<double>> stand_rows;
    std::vector<std::vector<double>> fronts;

    std::size_t count() const;
};

// Finds the fronts by searching every prefix of the table, which reproduces
// the full search's fronts only when every variable's minimum lies in stand 0.
CandidateInputs candidate_inputs(const DataTable& table, double epsilon);

// Forms every candidate's sum and cell coordinates and does nothing else:
// the floor under any version of the search. Returns a checksum of the
// coordinates so that the work cannot be optimised away.
std::uint64_t form_candidates(const CandidateInputs& inputs, double log_step);

}  // namespace quorvel::bench
