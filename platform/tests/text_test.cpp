#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

// Converts with a buffer of exactly the reported size and returns the
// units before the terminator.
std::u16string utf8(const char* text) {
    int32_t n = platform::utf8ToUtf16(text, nullptr, 0);
    EXPECT_GT(n, 0);
    std::vector<char16_t> out(static_cast<size_t>(n), u'#');
    EXPECT_EQ(platform::utf8ToUtf16(text, out.data(), n), n);
    EXPECT_EQ(out.back(), 0);
    return std::u16string(out.data(), static_cast<size_t>(n) - 1);
}

TEST(Utf8ToUtf16, CountIncludesTheTerminator) {
    EXPECT_EQ(platform::utf8ToUtf16("", nullptr, 0), 1);
    EXPECT_EQ(platform::utf8ToUtf16("abc", nullptr, 0), 4);
    EXPECT_EQ(platform::utf8ToUtf16("\xE4\xB8\xAD", nullptr, 0), 2);
    EXPECT_EQ(platform::utf8ToUtf16("\xF0\x9F\x98\x80", nullptr, 0), 3);
    EXPECT_EQ(platform::utf8ToUtf16(nullptr, nullptr, 0), 0);
}

TEST(Utf8ToUtf16, WellFormedText) {
    EXPECT_EQ(utf8("a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80z"), u"aé中\U0001F600z");
    EXPECT_EQ(utf8("\xEF\xBF\xBF\xF4\x8F\xBF\xBF"), u"\uFFFF\U0010FFFF");
    EXPECT_EQ(utf8("\xC2\x80\xE0\xA0\x80\xF0\x90\x80\x80"), u"\u0080\u0800\U00010000");
}

// How many U+FFFD an ill-formed sequence yields is the decoder's own rule;
// this one replaces each maximal ill-formed subsequence.
#ifndef _WIN32
TEST(Utf8ToUtf16, IllFormedBytesBecomeReplacementCharacters) {
    // Stray continuation bytes and bytes that never start a sequence.
    EXPECT_EQ(utf8("a\x80" "b\xFF" "c\xC0" "d"), u"a\uFFFDb\uFFFDc\uFFFDd");
    // Overlong forms, encoded surrogates, beyond U+10FFFF: each lead byte
    // and each stray continuation byte is replaced on its own.
    EXPECT_EQ(utf8("\xC1\xBF"), u"\uFFFD\uFFFD");
    EXPECT_EQ(utf8("\xE0\x80\x80"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(utf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(utf8("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");
    // A sequence cut short is one replacement, and what follows survives.
    EXPECT_EQ(utf8("\xE4\xB8" "x"), u"\uFFFDx");
    EXPECT_EQ(utf8("\xF0\x9F\x98"), u"\uFFFD");
    EXPECT_EQ(utf8("x\xE4"), u"x\uFFFD");
}
#endif

TEST(Utf8ToUtf16, TooSmallABufferFails) {
    char16_t out[3] = {u'#', u'#', u'#'};
    EXPECT_EQ(platform::utf8ToUtf16("abc", out, 3), 0);
    EXPECT_EQ(platform::utf8ToUtf16("ab", out, 3), 3);
    EXPECT_EQ(std::u16string(out), u"ab");
    EXPECT_EQ(platform::utf8ToUtf16("ab", out, -1), 0);
}

#ifndef _WIN32
TEST(AcpToUtf16, TheAnsiCodePageIsUtf8OnPosix) {
    char16_t out[4] = {};
    EXPECT_EQ(platform::acpToUtf16("\xE4\xB8\xAD", out, 4), 2);
    EXPECT_EQ(out[0], u'\u4E2D');
    EXPECT_EQ(out[1], 0);
}
#endif

}  // namespace
