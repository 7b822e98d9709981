#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace quorvel {

// The triples added so far, reduced to those no other added triple is no
// greater than in all three values. The last three values of a
// four-variable set in lexicographic order mostly leave a few hundred such
// triples where the rows number ten thousand, so a query compares them all,
// several at once.
class MinimalTriples {
public:
    // What one scan of the kept triples found, and how many places it read.
    struct Scan {
        bool covered;
        std::size_t n_beaten;
        std::size_t n_compared;
    };
    // The scan for one width of vector. It marks the triples the query
    // beats; n_places is a whole number of steps.
    struct Kernel {
        const char* name;
        Scan (*run)(double* first, const double* second, const double* third,
                    std::size_t n_places, double query_first, double query_second,
                    double query_third);
    };

    // The kernels this processor can run, the fastest first: the one used
    // unless another is given. All must keep the same triples.
    static std::span<const Kernel> kernels();

    explicit MinimalTriples(const Kernel& kernel = kernels().front()) : scan_(kernel.run) {}

    void clear();

    // Adds the triple unless an added triple is no greater in all three
    // values; returns whether it was added.
    bool add_if_uncovered(double first, double second, double third);

    // How many places the queries since clear() have compared.
    std::size_t compared() const { return compared_; }

private:
    void drop_marked();
    void append(double first, double second, double third);

    // Column by column, the first used_ places in use and the rest padding.
    // A triple beaten by a later one is marked by a NaN first value, which
    // is neither above nor below anything, until the marks are dropped.
    decltype(Kernel::run) scan_;
    std::vector<double> first_;
    std::vector<double> second_;
    std::vector<double> third_;
    std::size_t used_ = 0;
    std::size_t size_ = 0;
    std::size_t compared_ = 0;
};

}  // namespace quorvel
