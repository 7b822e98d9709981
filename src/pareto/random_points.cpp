#include "random_points.hpp"

#include <sys/sysinfo.h>

#include <cstdint>
#include <new>
#include <string>
#include <utility>

#include "cancellation.hpp"
#include "internal_failure.hpp"
#include "random/random_range.hpp"
#include "random/thread_rng.hpp"

namespace quorvel {

namespace {

// Whether the machine could hold this many bytes at all. Reserving beyond it
// may still succeed under memory overcommit and only fail once the pages are
// touched, far into the draw, so such requests are refused up front.
bool could_fit_in_memory(long double bytes) {
    struct sysinfo info {};
    if (sysinfo(&info) != 0) return true;
    const long double total = (static_cast<long double>(info.totalram) + info.totalswap) * info.mem_unit;
    return bytes <= total;
}

}  // namespace

SolutionList generate_random_points(const DataTable& table, std::size_t n_points) {
    ThreadRng& rng = ThreadRng::for_this_thread();
    SolutionList records(table.n_stands, table.n_variables,
                         PackedDesign::bits_for(table.n_options));
    if (n_points > PTRDIFF_MAX / records.record_bytes()) fail("capacity overflow");
    for (const std::size_t count : table.n_options) {
        // The draw is 32 bits wide; a larger count would be silently truncated.
        if (!std::in_range<std::uint32_t>(count))
            fail("cannot sample from " + std::to_string(count) + " options");
    }

    // Only requests that could not fit at all are refused.
    if (!could_fit_in_memory(static_cast<long double>(records.record_bytes()) * n_points))
        throw std::bad_alloc();

    CancellationCounter cancellation;
    const TargetSums targets(table, n_points);
    Design design(table.n_options.size());
    Target target(table.n_variables);
    for (std::size_t point = 0; point < n_points; ++point) {
        for (std::size_t s = 0; s < design.size(); ++s)
            design[s] = random_range(rng, 0, static_cast<std::uint32_t>(table.n_options[s]));
        targets.sum(design, target);
        records.push_back(design, target);
        // Counted in draws, so that a design of many stands cannot stretch
        // the time between polls.
        cancellation.add(table.n_stands);
    }
    return records;
}

}  // namespace quorvel
