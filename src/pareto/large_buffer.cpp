#include "large_buffer.hpp"

#include <cstdint>
#include <new>
#include <vector>

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

// The blocks this thread has given back while a LargeBlockReuse lives.
struct KeptBlocks {
    struct Block {
        void* start;
        std::size_t length;
    };

    // A search gives back a few dozen blocks between requests that fit
    // none; any more are unmapped at once.
    static constexpr std::size_t kMostBlocks = 64;

    unsigned users = 0;
    std::vector<Block> blocks;

    void unmap_all() noexcept {
        for (const Block& block : blocks) munmap(block.start, block.length);
        blocks.clear();
    }

    // The smallest kept block of at least `length` bytes, cut to that
    // length; or null, having unmapped every kept block, if none is.
    void* take(std::size_t length) noexcept {
        auto best = blocks.end();
        for (auto block = blocks.begin(); block != blocks.end(); ++block)
            if (block->length >= length && (best == blocks.end() || block->length < best->length))
                best = block;
        if (best == blocks.end()) {
            unmap_all();
            return nullptr;
        }
        const Block taken = *best;
        *best = blocks.back();
        blocks.pop_back();
        // Its start, like every block's, is on a huge page; the tail given
        // back ends on a small one, as a fresh mapping of `length` would.
        if (taken.length > length)
            munmap(static_cast<char*>(taken.start) + length, taken.length - length);
        return taken.start;
    }

    bool keep(void* start, std::size_t length) noexcept {
        if (users == 0 || blocks.size() == kMostBlocks) return false;
        blocks.push_back({start, length});
        return true;
    }
};

thread_local KeptBlocks kept_blocks;

}  // namespace

LargeBlockReuse::LargeBlockReuse() {
    // Reserved here, so that keeping a block never allocates.
    kept_blocks.blocks.reserve(KeptBlocks::kMostBlocks);
    ++kept_blocks.users;
}

LargeBlockReuse::~LargeBlockReuse() {
    if (--kept_blocks.users == 0) kept_blocks.unmap_all();
}

void* allocate_large_block(std::size_t bytes) {
    if (bytes < kHugePage) return ::operator new(bytes);
    // No mapping that large could succeed; the rounding below would wrap.
    if (bytes > SIZE_MAX / 2) throw std::bad_alloc();
    const std::size_t length = mapped_length(bytes);
    if (kept_blocks.users > 0)
        if (void* kept = kept_blocks.take(length)) return kept;
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
    else if (!kept_blocks.keep(block, mapped_length(bytes)))
        munmap(block, mapped_length(bytes));
}

#else

void* allocate_large_block(std::size_t bytes) { return ::operator new(bytes); }

void free_large_block(void* block, std::size_t) noexcept { ::operator delete(block); }

LargeBlockReuse::LargeBlockReuse() = default;
LargeBlockReuse::~LargeBlockReuse() = default;

#endif

}  // namespace quorvel
