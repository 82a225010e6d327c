#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

TEST(ClockMillis, IsWallClockMilliseconds) {
    // After 2020-01-01 and before 2200: seconds were scaled to milliseconds.
    int64_t now = platform::clockMillis();
    EXPECT_GT(now, 1577836800000LL);
    EXPECT_LT(now, 7258118400000LL);
}

}  // namespace
