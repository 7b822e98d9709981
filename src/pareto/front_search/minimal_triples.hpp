#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "pareto/large_buffer.hpp"

namespace quorvel {

// The triples added so far, reduced to those no other added triple is no
// greater than in all three values, or nearly (see below). The last three
// values of a four-variable set in lexicographic order mostly leave a few
// hundred such triples where the rows number ten thousand, so a query
// compares them all, many at once: each value is also kept as a 16-bit
// level, a rounding that keeps the order of values, so that levels rule out
// all but the rare triples whose exact values then decide.
//
// Where most rows survive, as on fronts, the kept triples grow with the rows.
// But rounding keeps the order of sums too: a triple no greater than the
// query has no greater sum. So a query, which goes from the newest triple
// back, may stop where the least sum of the triples up to there exceeds its
// own; on fronts in lexicographic order, where the first value rises as the
// other three fall, that leaves only recent triples to compare. Triples
// before that point which the query beats are not marked, which keeps the
// scans exact (a triple that covers a later query is newer than any the
// query beats, and was not covered when added) but keeps them in later
// scans. Where most queries are covered, their scans end early anyway and
// those triples would cost more than stopping saves: queries stop by sums
// only while at most half of those since clear() were covered.
//
// Looking for beaten triples takes as many comparisons again as looking for
// a covering one, and on fronts queries scanned by sums seldom beat any. So
// those queries look for them only while more than one in kSampledScans of
// the ones that look finds some, and otherwise one query in kSampledScans
// looks. Beaten triples left unmarked keep the scans exact for the same
// reason: the triple that beats one is newer, and no greater in sum. They
// make the set larger and each scan's places cheaper, which shifts the cost
// the four-variable sweep weighs against splitting, but not what it finds.
class MinimalTriples {
public:
    // The span of one value over the triples to come. Values outside it
    // are handled all the same, only with coarser levels.
    struct Bounds {
        double lowest;
        double highest;
    };

    // The kept triples as a kernel reads them: n_places of each column, a
    // whole number of steps.
    struct Columns {
        std::array<std::int16_t*, 3> levels;
        std::array<const double*, 3> values;
        // Per place, the least sum of the triples added up to it.
        const double* least_sums;
        std::size_t n_places;
    };

    // What one scan of the kept triples found, and how many places it read.
    struct Scan {
        bool covered;
        std::size_t n_beaten;
        std::size_t n_compared;
    };

    // The scan for one width of vector, down to where the least sums
    // exceed query_sum (never, for a NaN). Unless the query is covered, it
    // marks the triples the query beats if marks_beaten is set or the sum is
    // NaN.
    struct Kernel {
        const char* name;
        Scan (*run)(const Columns& kept, const std::array<std::int16_t, 3>& query_levels,
                    const std::array<double, 3>& query, double query_sum, bool marks_beaten);
    };

    // The kernels this processor can run, the fastest first: the one used
    // unless another is given. All must keep the same triples.
    static std::span<const Kernel> kernels();

    explicit MinimalTriples(const Kernel& kernel = kernels().front()) : scan_(kernel.run) {}

    void clear(const std::array<Bounds, 3>& bounds);

    // Adds the triple unless an added triple is no greater in all three
    // values; returns whether it was added.
    bool add_if_uncovered(const std::array<double, 3>& triple);

    // How many places the queries since clear() have compared.
    std::size_t compared() const { return compared_; }

private:
    std::int16_t level(std::size_t column, double value) const;
    void drop_marked();
    void set_places(std::size_t n_places);
    void refresh_columns();
    void append(const std::array<std::int16_t, 3>& levels, const std::array<double, 3>& triple,
                double sum);

    decltype(Kernel::run) scan_;
    std::array<double, 3> lowest_{};
    std::array<double, 3> scale_{};
    // Column by column, the first used_ places in use and the rest padding.
    // A triple beaten by a later one is marked by a level no query has,
    // until the marks are dropped.
    std::array<LargeBuffer<std::int16_t>, 3> levels_;
    std::array<LargeBuffer<double>, 3> values_;
    LargeBuffer<double> least_sums_;
    // The columns as kernels read them, refreshed wherever they are resized
    // rather than gathered for every query.
    Columns columns_{};
    double least_sum_ = 0.0;
    // Queries covered less queries not covered, since clear().
    std::ptrdiff_t covered_lead_ = 0;
    // Of the queries not covered that were scanned by sums and looked for
    // beaten triples, kSampledScans - 1 for each that found some, less one
    // for each that found none; and the queries scanned by sums since one
    // last looked.
    static constexpr std::size_t kSampledScans = 8;
    std::ptrdiff_t beating_lead_ = 0;
    std::size_t scans_since_sample_ = 0;
    std::size_t used_ = 0;
    std::size_t size_ = 0;
    std::size_t compared_ = 0;
};

}  // namespace quorvel
