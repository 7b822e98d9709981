// One front search of the forest problem, for timing whole processes side by
// side: prints the front size, the search time and the peak resident memory.
//
//     forest_front EPSILON [N_STANDS]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "generated_tables.hpp"
#include "pareto/pareto_front.hpp"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: forest_front EPSILON [N_STANDS]\n");
        return 2;
    }
    const double epsilon = std::strtod(argv[1], nullptr);
    const std::size_t n_stands = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 300;
    const quorvel::DataTable table = quorvel::bench::forest_table(n_stands, 7);

    const auto start = std::chrono::steady_clock::now();
    const auto front = quorvel::build_pareto_front(table, epsilon);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("epsilon %g: front %zu, %.2f s, peak %.0f MB\n", epsilon, front.size(), seconds,
                static_cast<double>(usage.ru_maxrss) / 1024.0);
}
