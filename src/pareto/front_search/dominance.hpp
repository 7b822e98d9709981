#pragma once

#include <cstddef>

namespace quorvel {

// a dominates b: no worse in every variable and better in at least one
// (every variable is minimised).
inline bool dominates(const double* a, const double* b, std::size_t n_variables) {
    bool better = false;
    for (std::size_t v = 0; v < n_variables; ++v) {
        if (a[v] > b[v]) return false;
        better = better || a[v] < b[v];
    }
    return better;
}

}  // namespace quorvel
