#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "foundation/arrays.h"
#include "foundation/errors.h"
#include "foundation/strings.h"
#include "text_helpers.h"

using namespace foundation;
using foundation_test::take;
using foundation_test::text;
using foundation_test::thrownCode;

namespace {

TEST(String, NullAndEmptyTextsGiveAReadableEmptyString) {
    for (String* s : {stringFromWide(nullptr), stringFromWide(u""), stringFromAcp(nullptr), stringFromAcp(""),
                      stringFromUtf8(nullptr), stringFromUtf8(""), new String()}) {
        EXPECT_EQ(s->length, 0);
        EXPECT_EQ(s->useCount, 1);
        ASSERT_NE(s->chars, nullptr);
        EXPECT_EQ(s->chars[0], 0);
        releaseString(s);
    }
}

TEST(String, Conversions) {
    EXPECT_EQ(take(stringFromWide(u"abc 中文")), u"abc 中文");
    EXPECT_EQ(take(stringFromUtf8("\xE4\xB8\xAD!")), u"中!");
#ifndef _WIN32
    // On POSIX systems the ANSI code page is UTF-8.
    EXPECT_EQ(take(stringFromAcp("caf\xC3\xA9")), u"café");
#endif
    EXPECT_EQ(take(stringFromAcp("plain")), u"plain");
    // Outside the basic plane: a surrogate pair.
    EXPECT_EQ(take(stringFromUtf8("\xF0\x9F\x98\x80")), u"\U0001F600");
    // Ill-formed bytes are replaced, not refused.
    EXPECT_EQ(take(stringFromUtf8("a\xFF" "b")), u"a\uFFFDb");
}

TEST(String, ToWideUtf8IsZeroPadded) {
    char16_t* wide = toWideUtf8("\xE4\xB8\xAD");
    EXPECT_EQ(std::u16string(wide, 3), std::u16string(u"\u4E2D\0\0", 3));  // n + 1 units
    std::free(wide);
}

TEST(String, CountingFreesAtZero) {
    String* s = stringFromWide(u"held");
    retainString(s);
    EXPECT_EQ(s->useCount, 2);
    releaseString(s);
    EXPECT_EQ(s->useCount, 1);
    EXPECT_EQ(text(s), u"held");
    releaseString(s);  // freed; ASan reports a leak otherwise
    releaseString(nullptr);
    retainString(nullptr);
}

TEST(StringBuilder, StartsAt64AndGrowsTo2nPlus2) {
    StringBuilder builder;
    EXPECT_EQ(builder.buffer->length, 64);
    for (int i = 0; i < 64; ++i) builder.append(static_cast<char16_t>(u'a' + i % 26));
    EXPECT_EQ(builder.buffer->length, 64);
    builder.append(u'!');
    EXPECT_EQ(builder.buffer->length, 130);
    EXPECT_EQ(builder.count, 65);
    std::u16string written = take(builder.toStringBuilderString());
    EXPECT_EQ(written.size(), 65u);
    EXPECT_EQ(written.substr(0, 3), u"abc");
    EXPECT_EQ(written.back(), u'!');
}

TEST(StringBuilder, LargeAppendGrowsStraightToTheNeed) {
    StringBuilder builder;
    std::u16string big(200, u'z');
    builder.append(big.c_str());
    EXPECT_EQ(builder.buffer->length, 200);
    EXPECT_EQ(take(builder.toStringBuilderString()), big);
}

TEST(StringBuilder, NullsAppendNull) {
    struct Silent : Object {
        String* toString() override { return nullptr; }
    };
    Silent silent;
    StringBuilder builder;
    builder.append(static_cast<const char16_t*>(nullptr));
    builder.append(u"|");
    builder.append(static_cast<const char*>(nullptr));
    builder.append(u"|");
    builder.append(static_cast<Object*>(nullptr));
    builder.append(u"|");
    builder.append(&silent);
    builder.append(u"|");
    builder.append(static_cast<const char16_t*>(nullptr), 3);
    EXPECT_EQ(take(builder.toStringBuilderString()), u"null|null|null|null|null");
}

TEST(StringBuilder, AppendsObjectsAndNarrowText) {
    auto* array = new DataArray<char>(7);
    StringBuilder builder;
    builder.append("n=");
    builder.append(array);
    builder.append(u"中", 1);
    EXPECT_EQ(take(builder.toStringBuilderString()), u"n=DataArray[7]中");
    array->release();
}

TEST(StringBuilder, GrowthRule) {
    EXPECT_EQ(StringBuilder::grownCapacity(64, 65), 130);
    EXPECT_EQ(StringBuilder::grownCapacity(64, 200), 200);
    EXPECT_EQ(StringBuilder::grownCapacity(0, 1), 2);
    // 2n + 2 overflows: the largest 32-bit value.
    EXPECT_EQ(StringBuilder::grownCapacity(0x40000000, 0x40000001), INT32_MAX);
    EXPECT_EQ(StringBuilder::grownCapacity(0x7FFFFFF0, 0x7FFFFFF5), INT32_MAX);
    // An overflowed minimum cannot be served.
    EXPECT_EQ(thrownCode([] { StringBuilder::grownCapacity(0x40000000, INT32_MIN + 4); }), OUT_OF_MEMORY);
    EXPECT_EQ(thrownCode([] { StringBuilder::grownCapacity(0x50000000, -8); }), OUT_OF_MEMORY);
}

TEST(StringBuilder, AppendRefusesCountsThatDoNotFit) {
    StringBuilder builder;
    EXPECT_EQ(thrownCode([&] { builder.append(u"abc", -1); }), OUT_OF_BOUNDS);
    EXPECT_EQ(builder.count, 0);

    // Pretend the builder is nearly at the 32-bit limit: an append past it
    // must throw before touching memory.
    DataArray<char16_t>* real = builder.buffer;
    char16_t tiny[2] = {0, 0};
    DataArray<char16_t> huge(tiny, INT32_MAX);
    builder.buffer = &huge;
    builder.count = INT32_MAX - 2;
    EXPECT_EQ(thrownCode([&] { builder.append(u"abcd", 4); }), OUT_OF_MEMORY);
    builder.count = INT32_MAX;
    EXPECT_EQ(thrownCode([&] { builder.append(u'x'); }), OUT_OF_MEMORY);
    builder.buffer = real;
    builder.count = 0;
}

TEST(ConstStringPool, PoolHoldsTheStringsAndStartsWithTheEmptyOne) {
    String* a = makeConstString(u"alpha");
    String* b = makeConstString(u"beta");
    ArrayList* pool = constStringPool();
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(pool->capacity, 64);
    ASSERT_EQ(pool->size, 3);
    auto* first = static_cast<String*>(pool->items[0]);
    EXPECT_EQ(first->length, 0);
    EXPECT_EQ(pool->items[1], a);
    EXPECT_EQ(pool->items[2], b);
    EXPECT_EQ(a->useCount, 1);
    EXPECT_EQ(text(b), u"beta");

    // The pool's hook is registered and gives everything back.
    ArrayList* hooks = releaseHookList();
    ASSERT_NE(hooks, nullptr);
    ASSERT_EQ(hooks->size, 2);
    reinterpret_cast<void (*)()>(hooks->items[1])();
    EXPECT_EQ(constStringPool(), nullptr);
}

}  // namespace
