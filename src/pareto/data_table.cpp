#include "data_table.hpp"

namespace quorvel {

std::string DataTableError::message() const {
    switch (kind) {
    case Kind::EmptyEntries:
        return "Data table must not have empty entries.";
    case Kind::SingleStand:
        return "There's only one stand. Nothing to optimize here.";
    case Kind::VariableCountMismatch:
        return "There are " + std::to_string(expected) + " variables in the first entry, but got " +
               std::to_string(found) + " at index [" + std::to_string(stand) + "][" +
               std::to_string(option) +
               "]. Need same number of variables in all data table entries!";
    }
    return {};
}

std::variant<DataTable, DataTableError> DataTable::create(NestedValues data) {
    using Kind = DataTableError::Kind;
    if (data.empty()) return DataTableError{Kind::EmptyEntries};
    if (data.size() == 1) return DataTableError{Kind::SingleStand};
    if (data[0].empty()) return DataTableError{Kind::EmptyEntries};

    const std::size_t n_variables = data[0][0].size();
    std::vector<std::size_t> n_options;
    n_options.reserve(data.size());
    for (std::size_t s = 0; s < data.size(); ++s) {
        // Every consumer needs a choice at every stand: a stand without
        // options would make the search return nothing and sampling fail.
        if (data[s].empty()) return DataTableError{Kind::EmptyEntries};
        n_options.push_back(data[s].size());
        for (std::size_t o = 0; o < data[s].size(); ++o) {
            const std::size_t found = data[s][o].size();
            if (found == 0) return DataTableError{Kind::EmptyEntries};
            if (found != n_variables)
                return DataTableError{Kind::VariableCountMismatch, n_variables, found, s, o};
        }
    }

    data.shrink_to_fit();
    for (auto& stand : data) {
        stand.shrink_to_fit();
        for (auto& option : stand) option.shrink_to_fit();
    }

    DataTable table;
    table.n_stands = data.size();
    table.n_variables = n_variables;
    table.n_options = std::move(n_options);
    table.values = std::move(data);
    return table;
}

}  // namespace quorvel
