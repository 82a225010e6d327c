#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"

namespace {

std::string printed(const char16_t* text) {
    ::testing::internal::CaptureStdout();
    platform::writeStdout(text);
    return ::testing::internal::GetCapturedStdout();
}

TEST(WriteStdout, WritesUtf8) {
    EXPECT_EQ(printed(u"1500 String :x\n"), "1500 String :x\n");
    EXPECT_EQ(printed(u"访问数组越界"), "\xE8\xAE\xBF\xE9\x97\xAE\xE6\x95\xB0\xE7\xBB\x84\xE8\xB6\x8A\xE7\x95\x8C");
    EXPECT_EQ(printed(u"é\U0001F600"), "\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(printed(nullptr), "");
}

TEST(WriteStdout, UnpairedSurrogatesBecomeReplacementCharacters) {
    const char16_t lone[] = {u'a', 0xD800, u'b', 0xDC00, 0};
    EXPECT_EQ(printed(lone), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
    const char16_t trailing[] = {0xD83D, 0};
    EXPECT_EQ(printed(trailing), "\xEF\xBF\xBD");
}

}  // namespace
