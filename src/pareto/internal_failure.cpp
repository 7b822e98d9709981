#include "internal_failure.hpp"

#include <cstdio>

namespace quorvel {

void fail(std::string message, std::source_location where) {
    std::fprintf(stderr, "quorvel: internal failure at %s:%u: %s\n", where.file_name(),
                 static_cast<unsigned>(where.line()), message.c_str());
    std::fflush(stderr);
    throw InternalFailure(std::move(message));
}

}  // namespace quorvel
