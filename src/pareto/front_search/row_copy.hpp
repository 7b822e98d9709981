#pragma once

#include <cstddef>
#include <vector>

namespace quorvel {

// Rows of a few values (a target, a map entry) are copied value by value: a
// range copy or insert of such a row becomes a library call that costs more
// than the copy itself.
template <class T>
void copy_row(const T* from, std::size_t n_values, T* to) {
    for (std::size_t i = 0; i < n_values; ++i) to[i] = from[i];
}

template <class T>
void append_row(std::vector<T>& to, const T* from, std::size_t n_values) {
    for (std::size_t i = 0; i < n_values; ++i) to.push_back(from[i]);
}

}  // namespace quorvel
