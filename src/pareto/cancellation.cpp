#include "cancellation.hpp"

namespace quorvel {

namespace {
thread_local CancellationHook current_hook = nullptr;
}  // namespace

CancellationScope::CancellationScope(CancellationHook hook) noexcept : previous_(current_hook) {
    current_hook = hook;
}

CancellationScope::~CancellationScope() { current_hook = previous_; }

void check_cancellation() {
    if (current_hook != nullptr && current_hook()) throw Cancelled{};
}

}  // namespace quorvel
