#include "pareto/internal_failure.hpp"

#include <gtest/gtest.h>

#include <string>

namespace quorvel {
namespace {

TEST(InternalFailure, ReportsTheProjectRelativeLocationThenThrows) {
    testing::internal::CaptureStderr();
    const int failing_line = __LINE__ + 2;
    try {
        fail("broken invariant");
    } catch (const InternalFailure& failure) {
        EXPECT_EQ(failure.message(), "broken invariant");
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "quorvel: internal failure at tests/cpp/test_internal_failure.cpp:" +
                  std::to_string(failing_line) + ": broken invariant\n");
}

}  // namespace
}  // namespace quorvel
