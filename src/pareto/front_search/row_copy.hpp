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

// Unrolled, which pays where the width is known: under an allocator of the
// search's own, a vector grows by copying element by element, a loop within
// the loop that GCC would otherwise leave rolled.
template <class T, class Allocator>
void append_row(std::vector<T, Allocator>& to, const T* from, std::size_t n_values) {
#pragma GCC unroll 4
    for (std::size_t i = 0; i < n_values; ++i) to.push_back(from[i]);
}

}  // namespace quorvel
