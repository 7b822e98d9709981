#pragma once

#include <cstddef>

namespace quorvel {

// a dominates b: no worse in every variable and better in at least one
// (every variable is minimised). Stops at the first worse value: a row
// compared with a long list of kept ones mostly stops there.
inline bool dominates(const double* a, const double* b, std::size_t n_variables) {
    bool better = false;
    for (std::size_t v = 0; v < n_variables; ++v) {
        if (a[v] > b[v]) return false;
        better = better || a[v] < b[v];
    }
    return better;
}

// The same test without an early exit, for rows of a few values that compare
// one way as often as the other: a branch per value would be mispredicted
// more often than it saves work. Agrees with dominates() for every input,
// NaN included.
inline bool dominates_branch_free(const double* a, const double* b, std::size_t n_variables) {
    bool no_worse = true;
    bool better = false;
    for (std::size_t v = 0; v < n_variables; ++v) {
        no_worse &= !(a[v] > b[v]);
        better |= a[v] < b[v];
    }
    return no_worse && better;
}

}  // namespace quorvel
