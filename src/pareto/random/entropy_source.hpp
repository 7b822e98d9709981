#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace quorvel {

// Why the entropy source could not deliver, as shown in failure messages.
struct EntropyError {
    std::string description;
};

// Fills out completely from the operating system's entropy source: the C
// library's getrandom where the kernel supports it, else /dev/urandom.
std::optional<EntropyError> fill_from_entropy_source(std::span<std::uint8_t> out);

// "<system text> (os error <number>)" for a positive error number; a fixed
// text for a call that failed without one.
std::string describe_os_error(int error_number);

}  // namespace quorvel
