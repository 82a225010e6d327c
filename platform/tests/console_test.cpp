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
#else
#include <windows.h>

namespace {

TEST(WriteOutput, TheLaunchersLinesGoOutInTheAnsiCodePageLikeTheVms) {
    if (GetACP() == CP_UTF8) GTEST_SKIP() << "the ANSI code page is UTF-8 here: nothing to convert";
    // A path as the launcher holds it, in UTF-8, with letters that no code
    // page writes as those bytes.
    const char line[] = "kill fail process=C:\\Caf\xC3\xA9\\\xE5\x8C\x97.exe\n";
    const wchar_t wide[] = L"kill fail process=C:\\Caf\x00E9\\\x5317.exe\n";
    char expected[64] = {0};
    ASSERT_GT(WideCharToMultiByte(CP_ACP, 0, wide, -1, expected, sizeof expected, nullptr, nullptr), 0);
    ::testing::internal::CaptureStdout();
    platform::System().writeOutput(line);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), expected);
}

}  // namespace
#endif
