#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "pareto/data_table.hpp"
#include "pareto/large_buffer.hpp"

namespace quorvel {

// The table with every variable moved so that its minimum becomes 1e-9,
// stored as one flat row of n_variables values per option.
class ShiftedTable {
public:
    explicit ShiftedTable(const DataTable& table);

    std::size_t n_stands() const { return first_option_.size() - 1; }
    std::size_t n_variables() const { return n_variables_; }
    std::size_t n_options(std::size_t stand) const {
        return first_option_[stand + 1] - first_option_[stand];
    }
    // The rows of all options of one stand, back to back.
    std::span<const double> stand(std::size_t stand) const {
        return {values_.data() + first_option_[stand] * n_variables_,
                n_options(stand) * n_variables_};
    }

private:
    std::size_t n_variables_;
    std::vector<std::size_t> first_option_;  // per stand, plus the total at the end
    LargeBuffer<double> values_;
};

}  // namespace quorvel
