#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "foundation/format.h"

using foundation::FORMAT_MAX_UNITS;
using foundation::formatWideV;

namespace {

// Formats into a full-size buffer and returns the text; checks that the
// result matches the units before the terminator.
template <typename... Args>
std::u16string fmt(const char16_t* format, Args... args) {
    std::vector<char16_t> out(FORMAT_MAX_UNITS + 1, u'#');
    int32_t n = formatWideV(out.data(), format, args...);
    std::u16string text(out.data());
    EXPECT_EQ(static_cast<size_t>(n), text.size());
    return text;
}

TEST(FormatWide, SignedValuesInEveryBase) {
    EXPECT_EQ(fmt(u"%d", -42), u"-42");
    EXPECT_EQ(fmt(u"%i", 0), u"0");
    EXPECT_EQ(fmt(u"%x", -1), u"-1");
    EXPECT_EQ(fmt(u"%X", 255), u"FF");
    EXPECT_EQ(fmt(u"%x", 0xbeef), u"beef");
    EXPECT_EQ(fmt(u"%o", 8), u"10");
    EXPECT_EQ(fmt(u"%o", -8), u"-10");
    EXPECT_EQ(fmt(u"%X", -255), u"-FF");
    EXPECT_EQ(fmt(u"%ld", -7), u"-7");
    EXPECT_EQ(fmt(u"%u", 4294967295u), u"4294967295");
    EXPECT_EQ(fmt(u"%u", -1), u"4294967295");
}

TEST(FormatWide, MostNegativeValuesKeepAllDigits) {
    EXPECT_EQ(fmt(u"%d", INT32_MIN), u"-2147483648");
    EXPECT_EQ(fmt(u"%x", INT32_MIN), u"-80000000");
    EXPECT_EQ(fmt(u"%o", INT32_MIN), u"-20000000000");
    EXPECT_EQ(fmt(u"%lld", LLONG_MIN), u"-9223372036854775808");
    EXPECT_EQ(fmt(u"%lld", LLONG_MAX), u"9223372036854775807");
    EXPECT_EQ(fmt(u"%d", INT32_MAX), u"2147483647");
}

TEST(FormatWide, ArgumentsAreTakenInOrderWithTheirSizes) {
    EXPECT_EQ(fmt(u"a%db%lldc%sd%Xe", 1, -2LL, u"s", 10), u"a1b-2csdAe");
    EXPECT_EQ(fmt(u"%f|%d", 1.5, 3), u"1.500000|3");
}

TEST(FormatWide, Text) {
    EXPECT_EQ(fmt(u"[%s]", u"wide 中"), u"[wide 中]");
    EXPECT_EQ(fmt(u"[%s]", static_cast<const char16_t*>(nullptr)), u"[null]");
    EXPECT_EQ(fmt(u"[%S]", "narrow"), u"[narrow]");
#ifndef _WIN32
    EXPECT_EQ(fmt(u"[%S]", "\xE4\xB8\xAD"), u"[中]");  // the ANSI code page is UTF-8 here
#endif
    EXPECT_EQ(fmt(u"[%S]", static_cast<const char*>(nullptr)), u"[null]");
}

TEST(FormatWide, PointerIsPointerSizedAndSigned) {
    EXPECT_EQ(fmt(u"%p", reinterpret_cast<void*>(0x1234)), u"1234");
    EXPECT_EQ(fmt(u"%p", reinterpret_cast<void*>(static_cast<intptr_t>(-16))), u"-10");
    EXPECT_EQ(fmt(u"%p|%d", static_cast<void*>(nullptr), 5), u"0|5");
}

TEST(FormatWide, RealNumbers) {
    EXPECT_EQ(fmt(u"%.2f", 3.14159), u"3.14");
    EXPECT_EQ(fmt(u"%.0f", 2.5), u"2");
    EXPECT_EQ(fmt(u"%.9f", 1.0), u"1.000000000");
    EXPECT_EQ(fmt(u"%f", 1.5), u"1.500000");
    EXPECT_EQ(fmt(u"%f", -0.25), u"-0.250000");
    EXPECT_EQ(fmt(u"%e", 12345.0), u"1.234500e+04");
}

TEST(FormatWide, RealTooLongForScratchFallsBackToExponent) {
    EXPECT_EQ(fmt(u"%f", 1e300), u"1.000000e+300");
    EXPECT_EQ(fmt(u"%.3f", -1e100), u"-1.000e+100");
}

TEST(FormatWide, PercentFallBacks) {
    EXPECT_EQ(fmt(u"100%"), u"100%");
    EXPECT_EQ(fmt(u"%q"), u"%q");
    EXPECT_EQ(fmt(u"%%d", 7), u"%7");
    EXPECT_EQ(fmt(u"%%"), u"%%");
    EXPECT_EQ(fmt(u"%5d|%d", 9), u"%5d|9");
    EXPECT_EQ(fmt(u"%c %lu %lx %hd|%d", 4), u"%c %lu %lx %hd|4");
    EXPECT_EQ(fmt(u"%l"), u"%l");
    EXPECT_EQ(fmt(u"%ll|%d", 3), u"%ll|3");
}

TEST(FormatWide, PrecisionFallBacks) {
    EXPECT_EQ(fmt(u"a%."), u"a");
    EXPECT_EQ(fmt(u"%.2d|%d", 5), u"2d|5");
    EXPECT_EQ(fmt(u"%.2"), u"2");
    EXPECT_EQ(fmt(u"%.xf|%d", 6), u"xf|6");
    EXPECT_EQ(fmt(u"%.%d", 8), u"8");
}

TEST(FormatWide, NullBufferAndNullFormat) {
    EXPECT_EQ(formatWideV(nullptr, u"abc"), 0);
    char16_t out[4] = {u'x', u'x', u'x', u'x'};
    EXPECT_EQ(formatWideV(out, nullptr), 0);
    EXPECT_EQ(out[0], 0);
}

TEST(FormatWide, OutputIsCappedAt0x8000Units) {
    std::u16string plain(40000, u'a');
    std::vector<char16_t> out(FORMAT_MAX_UNITS + 2, u'#');
    EXPECT_EQ(formatWideV(out.data(), plain.c_str()), FORMAT_MAX_UNITS);
    EXPECT_EQ(out[FORMAT_MAX_UNITS - 1], u'a');
    EXPECT_EQ(out[FORMAT_MAX_UNITS], 0);
    EXPECT_EQ(out[FORMAT_MAX_UNITS + 1], u'#');

    // Each kind of output stops at the cap, also in the middle of a value.
    std::u16string nearly(FORMAT_MAX_UNITS - 2, u'b');
    std::u16string f = nearly + u"%d";
    EXPECT_EQ(formatWideV(out.data(), f.c_str(), -12345), FORMAT_MAX_UNITS);
    EXPECT_EQ(std::u16string(out.data() + FORMAT_MAX_UNITS - 2), u"-1");
    f = nearly + u"%s";
    EXPECT_EQ(formatWideV(out.data(), f.c_str(), u"xyz"), FORMAT_MAX_UNITS);
    EXPECT_EQ(std::u16string(out.data() + FORMAT_MAX_UNITS - 2), u"xy");
    f = nearly + u"%f";
    EXPECT_EQ(formatWideV(out.data(), f.c_str(), 9.5), FORMAT_MAX_UNITS);
    EXPECT_EQ(std::u16string(out.data() + FORMAT_MAX_UNITS - 2), u"9.");
    f = nearly + u"%S";
    EXPECT_EQ(formatWideV(out.data(), f.c_str(), "pq r"), FORMAT_MAX_UNITS);
    EXPECT_EQ(std::u16string(out.data() + FORMAT_MAX_UNITS - 2), u"pq");
    f = std::u16string(FORMAT_MAX_UNITS - 1, u'c') + u"%q";
    EXPECT_EQ(formatWideV(out.data(), f.c_str()), FORMAT_MAX_UNITS);
    EXPECT_EQ(out[FORMAT_MAX_UNITS - 1], u'%');
}

}  // namespace
