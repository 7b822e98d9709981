#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace quorvel {

// Blocks of at least one huge page (2 MB) are mapped on their own, starting
// on a huge-page boundary, with the advice that huge pages may back them;
// smaller ones come from operator new. The search's large arrays are mostly
// read out of order (the cells' rows, the sorts' scatter, the nodes'
// parents): on huge pages their addresses take far fewer TLB entries, and
// their first touch far fewer page faults. Where the system keeps to small
// pages, nothing else changes.
//
// Not for arrays freed and allocated anew over and over, such as a table
// rebuilt whenever it shrinks: a mapping given back is faulted in again,
// where the heap would hand the same memory back. Nor for arrays grown by a
// resize of a few elements in a hot loop: under an allocator of its own the
// vector fills them by a call.
void* allocate_large_block(std::size_t bytes);
void free_large_block(void* block, std::size_t bytes) noexcept;

template <class T>
struct LargeBlockAllocator {
    using value_type = T;

    LargeBlockAllocator() = default;
    template <class U>
    LargeBlockAllocator(const LargeBlockAllocator<U>&) noexcept {}

    // Aligned as operator new aligns, which the small blocks come from.
    static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);

    T* allocate(std::size_t n) {
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_array_new_length();
        return static_cast<T*>(allocate_large_block(n * sizeof(T)));
    }
    void deallocate(T* block, std::size_t n) noexcept { free_large_block(block, n * sizeof(T)); }

    friend bool operator==(const LargeBlockAllocator&, const LargeBlockAllocator&) { return true; }
};

// An array that may grow to many megabytes: at large fronts, one per
// candidate, cell or node.
template <class T>
using LargeBuffer = std::vector<T, LargeBlockAllocator<T>>;

}  // namespace quorvel
