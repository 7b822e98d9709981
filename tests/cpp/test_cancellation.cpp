#include "pareto/cancellation.hpp"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

int polls = 0;
bool stop_on_third_poll() { return ++polls == 3; }
bool never_stop() { return false; }

TEST(Cancellation, CounterPollsOncePerIntervalAndScopesNest) {
    polls = 0;
    check_cancellation();  // no hook installed: nothing happens
    {
        CancellationScope outer(stop_on_third_poll);
        CancellationCounter counter;
        counter.add(CancellationCounter::kInterval - 1);
        EXPECT_EQ(polls, 0);
        counter.add(1);
        EXPECT_EQ(polls, 1);
        {
            CancellationScope inner(never_stop);
            check_cancellation();
            EXPECT_EQ(polls, 1);
        }
        counter.add(CancellationCounter::kInterval);
        EXPECT_EQ(polls, 2);
        EXPECT_THROW(counter.add(CancellationCounter::kInterval), Cancelled);
        EXPECT_EQ(polls, 3);
    }
    check_cancellation();
    EXPECT_EQ(polls, 3);
}

}  // namespace
}  // namespace quorvel
