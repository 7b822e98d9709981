#pragma once

#include <cstdint>
#include <span>

namespace quorvel {

// One implementation of cell_coordinates_into, for one width of vector.
struct CoordinateKernel {
    const char* name;
    void (*run)(std::span<const double> values, double log_step, std::span<std::uint32_t> out);
};

// The implementations this processor can run, the fastest first: that one
// serves cell_coordinates_into; all must give the same cells and failures.
std::span<const CoordinateKernel> coordinate_kernels();

}  // namespace quorvel
