#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace quorvel {

// data[stand][option][variable], as converted from the caller's sequences.
using NestedValues = std::vector<std::vector<std::vector<double>>>;

struct DataTableError {
    enum class Kind { EmptyEntries, SingleStand, VariableCountMismatch };

    Kind kind;
    // Filled only for VariableCountMismatch.
    std::size_t expected = 0;
    std::size_t found = 0;
    std::size_t stand = 0;
    std::size_t option = 0;

    std::string message() const;
};

// The validated, immutable description of one selection problem.
class DataTable {
public:
    // The table's constructor; takes the input over (`new` in C++ is taken).
    static std::variant<DataTable, DataTableError> create(NestedValues data);

    std::span<const double> option_values(std::size_t stand, std::size_t option) const {
        return values[stand][option];
    }

    NestedValues values;
    std::vector<std::size_t> n_options;
    std::size_t n_stands = 0;
    std::size_t n_variables = 0;

private:
    DataTable() = default;
};

}  // namespace quorvel
