// writeUTF / readUTF: the two-byte length and Java's modified UTF-8.
#include <gtest/gtest.h>

#include "foundation/streams.h"
#include "stream_test_support.h"

using namespace foundation;
using namespace streamtest;

namespace {

Bytes written(const std::u16string& text) {
    AccessOut s(8);
    String* str = makeString(text);
    s.writeUTF(str);
    releaseString(str);
    return contents(s);
}

std::u16string readBack(const Bytes& bytes) {
    AccessOut s(8);
    append(s, bytes);
    String* str = s.readUTF();
    std::u16string result = units(str);
    EXPECT_EQ(str->useCount, 1);
    EXPECT_EQ(str->chars[str->length], 0);
    releaseString(str);
    EXPECT_EQ(s.available(), 0);
    return result;
}

TEST(ModifiedUtf8, EncodesOneTwoAndThreeByteUnits) {
    const std::u16string text = u"A\u00E9\u4E2D";
    const Bytes bytes{0, 6, 0x41, 0xC3, 0xA9, 0xE4, 0xB8, 0xAD};
    EXPECT_EQ(written(text), bytes);
    EXPECT_EQ(readBack(bytes), text);
}

TEST(ModifiedUtf8, NullAndEmptyTextsWriteZeroLengthAndReadBackEmpty) {
    AccessOut s(4);
    s.writeUTF(nullptr);
    String* empty = makeString(u"");
    s.writeUTF(empty);
    releaseString(empty);
    EXPECT_EQ(contents(s), (Bytes{0, 0, 0, 0}));
    String* first = s.readUTF();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->length, 0);
    releaseString(first);
}

// Surrogate halves are encoded one by one, and must pair up again.
TEST(ModifiedUtf8, SurrogatePairsComeBackUnchanged) {
    const std::u16string emoji = u"x\U0001F600y";
    const Bytes bytes{0, 8, 'x', 0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80, 'y'};
    EXPECT_EQ(written(emoji), bytes);
    EXPECT_EQ(readBack(bytes), emoji);

    const std::u16string lone = u"\xDC00\xD800";  // unpaired halves, as Java allows
    EXPECT_EQ(readBack(written(lone)), lone);
}

TEST(ModifiedUtf8, NulInsideATextIsC080) {
    const std::u16string text(u"a\0b", 3);
    const Bytes bytes{0, 4, 'a', 0xC0, 0x80, 'b'};
    EXPECT_EQ(written(text), bytes);
    EXPECT_EQ(readBack(bytes), text);
}

TEST(ModifiedUtf8, EveryUnitRoundTrips) {
    for (int32_t start = 0; start < 0x10000; start += 0x4000) {
        std::u16string text;
        for (int32_t c = start; c < start + 0x4000; ++c) text += static_cast<char16_t>(c);
        ASSERT_EQ(readBack(written(text)), text) << "block " << start;
    }
}

TEST(ModifiedUtf8, LongestTextFitsAndOneMoreUnitIsRefused) {
    const std::u16string longest(21845, u'\u4E2D');
    const Bytes bytes = written(longest);
    ASSERT_EQ(bytes.size(), 65537u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xFF);
    EXPECT_EQ(readBack(bytes), longest);

    AccessOut s(4);
    append(s, {7});
    String* tooLong = makeString(longest + u'\u4E2D');
    std::u16string message;
    EXPECT_EQ(thrownCode([&] { s.writeUTF(tooLong); }, &message), OUT_OF_BOUNDS);
    EXPECT_EQ(message, u"encoded string too long");
    EXPECT_EQ(contents(s), (Bytes{7}));
    releaseString(tooLong);
}

TEST(ModifiedUtf8, ScratchBufferIsKeptWhileLargeEnough) {
    AccessOut s(4);
    String* abc = makeString(u"abc");
    String* ab = makeString(u"ab");
    String* longer = makeString(u"abcdefghij");
    s.writeUTF(abc);
    DataArray<char>* scratch = s.utfBuffer;
    ASSERT_NE(scratch, nullptr);
    EXPECT_EQ(scratch->length, 8);
    s.writeUTF(ab);
    EXPECT_EQ(s.utfBuffer, scratch);
    s.writeUTF(longer);
    EXPECT_EQ(s.utfBuffer->length, 22);
    releaseString(abc);
    releaseString(ab);
    releaseString(longer);
}

// Malformed payloads are consumed whole and refused with READ_ERR (the
// Java peer test compares thousands of such cases with Java's decoder).
TEST(ModifiedUtf8, MalformedInputIsAReadError) {
    const struct {
        Bytes bytes;
        const char16_t* message;
    } cases[] = {
        {{0, 2, 'a', 0xF0}, u"malformed input around byte 1"},
        {{0, 3, 0xE4, 0x41, 0xAD}, u"malformed input around byte 2"},
        {{0, 2, 0xE4, 0xB8}, u"malformed input: partial character at end"},
    };
    for (const auto& c : cases) {
        AccessOut s(8);
        append(s, c.bytes);
        s.write(0x55);
        std::u16string message;
        EXPECT_EQ(thrownCode([&] { s.readUTF(); }, &message), READ_ERR);
        EXPECT_EQ(message, c.message);
        EXPECT_EQ(s.readByte(), 0x55);
    }
}

}  // namespace
