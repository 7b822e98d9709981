#pragma once

#include <cstddef>

namespace quorvel {

// Thrown when the caller's hook asks a long call to stop. It carries no
// reason: whoever installed the hook keeps that (a pending Python exception,
// say). Not a std::exception, so no generic handler swallows it on the way.
struct Cancelled {};

// Returns true when the running call should stop.
using CancellationHook = bool (*)();

// Installs a hook for the current thread while it lives, so the core can be
// stopped without knowing who asks.
class CancellationScope {
public:
    explicit CancellationScope(CancellationHook hook) noexcept;
    ~CancellationScope();
    CancellationScope(const CancellationScope&) = delete;
    CancellationScope& operator=(const CancellationScope&) = delete;

private:
    CancellationHook previous_;
};

// Asks this thread's hook, if any; throws Cancelled when it says stop.
void check_cancellation();

// Asks the hook once per kInterval units of work (candidates, draws, result
// objects), so polling costs nothing measurable and a stop comes promptly.
class CancellationCounter {
public:
    static constexpr std::size_t kInterval = std::size_t{1} << 20;

    void add(std::size_t work) {
        done_ += work;
        if (done_ >= kInterval) [[unlikely]] {
            done_ = 0;
            check_cancellation();
        }
    }

private:
    std::size_t done_ = 0;
};

}  // namespace quorvel
