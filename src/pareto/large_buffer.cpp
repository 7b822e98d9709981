#include "large_buffer.hpp"

#include <cstdint>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace quorvel {

#if defined(__linux__) && defined(MADV_HUGEPAGE)

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t round_up(std::size_t bytes, std::size_t unit) {
    return (bytes + unit - 1) / unit * unit;
}

// The mapping ends on a small page, not a huge one: the huge-page advice
// covers only whole huge pages, so a tail that is not one stays on small
// pages and holds no more memory than it uses.
std::size_t mapped_length(std::size_t bytes) {
    static const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return round_up(bytes, page);
}

}  // namespace

void* allocate_large_block(std::size_t bytes) {
    if (bytes < kHugePage) return ::operator new(bytes);
    // No mapping that large could succeed; the rounding below would wrap.
    if (bytes > SIZE_MAX / 2) throw std::bad_alloc();
    const std::size_t length = mapped_length(bytes);
    // A huge page more than needed, so that a boundary lies within; the
    // slack on both sides is given back.
    void* const mapped = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    const auto mapped_at = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t start = round_up(mapped_at, kHugePage);
    // Should giving back the slack fail, it stays mapped and untouched:
    // address space, not memory.
    if (start > mapped_at) munmap(mapped, start - mapped_at);
    munmap(reinterpret_cast<void*>(start + length), kHugePage - (start - mapped_at));
    // Advice only: where it is refused the block keeps small pages.
    madvise(reinterpret_cast<void*>(start), length, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(start);
}

void free_large_block(void* block, std::size_t bytes) noexcept {
    if (bytes < kHugePage)
        ::operator delete(block);
    else
        munmap(block, mapped_length(bytes));
}

#else

void* allocate_large_block(std::size_t bytes) { return ::operator new(bytes); }

void free_large_block(void* block, std::size_t) noexcept { ::operator delete(block); }

#endif

}  // namespace quorvel
