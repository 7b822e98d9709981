#pragma once

#include <exception>
#include <source_location>
#include <string>

namespace quorvel {

// A violated invariant or fatal condition inside a call. It abandons the
// call; the boundary that the interpreter entered through turns it into a
// Python exception.
class InternalFailure : public std::exception {
public:
    explicit InternalFailure(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& message() const noexcept { return message_; }

private:
    std::string message_;
};

// Reports the failure with its source location on standard error, then
// throws InternalFailure.
[[noreturn]] void fail(std::string message,
                       std::source_location where = std::source_location::current());

}  // namespace quorvel
