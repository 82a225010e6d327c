#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"

// POSIX consoles take UTF-8; the Windows side goes through wprintf.
#ifndef _WIN32
namespace {

TEST(WriteStdout, WritesUtf8AndReplacesUnpairedSurrogates) {
    const char16_t text[] = {u'a', 0xD800, u'b', 0xD83D, 0xDE00, 0xDC00, 0};
    ::testing::internal::CaptureStdout();
    platform::writeStdout(text);
    platform::writeStdout(nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "a\xEF\xBF\xBD" "b\xF0\x9F\x98\x80\xEF\xBF\xBD");
}

}  // namespace
#endif
