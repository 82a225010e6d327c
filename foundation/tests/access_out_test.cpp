// AccessOut: encodings, growth, and the state after every kind of failure.
#include <gtest/gtest.h>

#include "foundation/streams.h"
#include "stream_test_support.h"

using namespace foundation;
using namespace streamtest;

namespace {

TEST(AccessOutEncoding, IntegersAreBigEndianAndKeepOnlyTheirWidth) {
    AccessOut s(16);
    s.writeInt(0x01020304);
    s.writeShort(0x12345);
    s.writeChar(0xFFFE);
    s.writeLong(1);
    s.writeBoolean(true);
    s.writeBoolean(false);
    s.writeByte(0x1FF);
    s.write(-2);
    EXPECT_EQ(contents(s), (Bytes{1, 2, 3, 4, 0x23, 0x45, 0xFF, 0xFE, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0xFF, 0xFE}));
}

TEST(AccessOutEncoding, ReadsComeBackUnsignedForBytesAndShorts) {
    AccessOut s(8);
    append(s, {0xFF, 0xFE, 0x80, 0x02, 0xFF, 0xFF, 0xFF, 0xFE});
    EXPECT_EQ(s.readShort(), 65534);
    EXPECT_EQ(s.readByte(), 128);
    EXPECT_TRUE(s.readBoolean());  // any non-zero byte
    EXPECT_EQ(s.readInt(), -2);
    EXPECT_EQ(s.available(), 0);
}

TEST(AccessOutGrowth, DoublesOrTakesWhatTheWriteNeeds) {
    AccessOut s(4096);
    for (int i = 0; i < 4096; ++i) s.write(i);
    EXPECT_EQ(s.buffer->length, 4096);
    s.write(1);
    EXPECT_EQ(s.buffer->length, 8192);

    AccessOut full(8);
    DataArray<char> big(100);
    full.write(&big, 0, 8);
    full.write(&big, 0, 20);  // max(2 * 8, 28)
    EXPECT_EQ(full.buffer->length, 28);
    EXPECT_EQ(full.count, 28);

    AccessOut empty(0);
    empty.write(7);
    EXPECT_EQ(empty.buffer->length, 1);
    EXPECT_EQ(contents(empty), (Bytes{7}));
}

TEST(AccessOutGrowth, KeepsContentAndAllowsInPlaceAppend) {
    AccessOut s(2);
    append(s, {1, 2});
    const int32_t n = 5;
    if (s.count + n > s.buffer->length) s.ensureCapacity(s.count + n);
    std::memcpy(s.buffer->data + s.count, "\x03\x04\x05\x06\x07", n);
    s.count += n;
    EXPECT_EQ(contents(s), (Bytes{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(s.readInt(), 0x01020304);
}

// The source may be the stream's own buffer, which a growing write replaces.
TEST(AccessOutGrowth, WritingFromItsOwnBufferCopiesTheOldContent) {
    AccessOut grows(4);
    append(grows, {1, 2, 3, 4});
    grows.write(grows.buffer, 0, 4);
    EXPECT_EQ(contents(grows), (Bytes{1, 2, 3, 4, 1, 2, 3, 4}));
    grows.write(grows.buffer);  // all 8 slots of the buffer, doubling it
    EXPECT_EQ(contents(grows), (Bytes{1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4}));

    // Without growth; source and target ranges overlap.
    AccessOut fits(8);
    append(fits, {1, 2, 3, 4, 5});
    fits.write(fits.buffer, 4, 3);
    EXPECT_EQ(contents(fits), (Bytes{1, 2, 3, 4, 5, 5, 0, 0}));
    EXPECT_EQ(fits.buffer->length, 8);
}

// A size sum that overflows 32 bits must not be taken for a small one.
TEST(AccessOutGrowth, OverflowingSizeIsOutOfMemoryAndKeepsTheBuffer) {
    AccessOut s(16);
    DataArray<char>* before = s.buffer;
    s.count = 0x7FFFFFFE;  // pretend the stream is nearly 2 GiB long
    DataArray<char> four(4);
    EXPECT_EQ(thrownCode([&] { s.write(&four, 0, 4); }), OUT_OF_MEMORY);
    EXPECT_EQ(s.buffer, before);
    EXPECT_EQ(s.count, 0x7FFFFFFE);
    s.count = 0;
}

TEST(AccessOutFailures, WritesFromMissingArraysAreEmptyAndChangeNothing) {
    AccessOut s(4);
    append(s, {9});
    DataArray<char> noStorage(nullptr, 3);
    EXPECT_EQ(thrownCode([&] { s.write(static_cast<DataArray<char>*>(nullptr)); }), EMPTY);
    EXPECT_EQ(thrownCode([&] { s.write(&noStorage); }), EMPTY);
    EXPECT_EQ(thrownCode([&] { s.write(nullptr, 0, 0); }), EMPTY);
    EXPECT_EQ(thrownCode([&] { s.write(&noStorage, 0, 1); }), EMPTY);
    EXPECT_EQ(contents(s), (Bytes{9}));
}

TEST(AccessOutFailures, RangeWritesOutsideTheSourceAreOutOfBoundsAndChangeNothing) {
    AccessOut s(4);
    append(s, {9});
    DataArray<char> src(4);
    for (auto [off, len] : std::initializer_list<std::pair<int32_t, int32_t>>{{-1, 1}, {5, 0}, {0, -1}, {2, 3}, {1, 0x7FFFFFFF}}) {
        EXPECT_EQ(thrownCode([&] { s.write(&src, off, len); }), OUT_OF_BOUNDS) << off << "," << len;
    }
    EXPECT_EQ(contents(s), (Bytes{9}));
    s.write(&src, 4, 0);  // an empty range at the end is fine
    EXPECT_EQ(s.count, 1);
}

TEST(AccessOutFailures, ReadFullyArgumentsAreCheckedLengthFirst) {
    AccessOut s(4);
    append(s, {1, 2, 3});
    DataArray<char> target(4);
    DataArray<char> noStorage(nullptr, 4);
    EXPECT_EQ(thrownCode([&] { s.readFully(nullptr, 0, -1); }), OUT_OF_BOUNDS);
    EXPECT_EQ(thrownCode([&] { s.readFully(nullptr, 0, 1); }), EMPTY);
    EXPECT_EQ(thrownCode([&] { s.readFully(&noStorage, 0, 1); }), EMPTY);
    EXPECT_EQ(thrownCode([&] { s.readFully(static_cast<DataArray<char>*>(nullptr)); }), EMPTY);
    EXPECT_EQ(thrownCode([&] { s.readFully(&noStorage); }), EMPTY);
    EXPECT_EQ(thrownCode([&] { s.readFully(&target, -1, 1); }), OUT_OF_BOUNDS);
    EXPECT_EQ(thrownCode([&] { s.readFully(&target, 2, 3); }), OUT_OF_BOUNDS);
    EXPECT_EQ(s.position, 0);
    EXPECT_EQ(s.available(), 3);
}

TEST(AccessOutFailures, ShortReadFullyCopiesWhatIsThereAndConsumesIt) {
    LogCapture log;
    ASSERT_TRUE(log.opened());
    AccessOut s(4);
    append(s, {1, 2, 3});
    DataArray<char> target(8);
    EXPECT_EQ(thrownCode([&] { s.readFully(&target); }), STREAM_EOF);
    EXPECT_EQ(Bytes(target.data, target.data + 4), (Bytes{1, 2, 3, 0}));
    EXPECT_EQ(s.position, s.count);
    EXPECT_EQ(log.take(), (std::vector<LogCapture::Entry>{{LOG_LEVEL_INFO, u"AccessOut", u"readFully fail len=8 n=3"}}));

    DataArray<char> empty(0);
    s.readFully(&empty);  // nothing asked, nothing missing
}

TEST(AccessOutFailures, ShortFixedWidthReadsConsumeAsTheTableSays) {
    AccessOut ints(4);
    append(ints, {1, 2, 3});
    EXPECT_EQ(thrownCode([&] { ints.readInt(); }), STREAM_EOF);
    EXPECT_EQ(ints.available(), 0);

    AccessOut floats(4);
    append(floats, {1, 2});
    EXPECT_EQ(thrownCode([&] { floats.readFloat(); }), STREAM_EOF);
    EXPECT_EQ(floats.available(), 0);

    AccessOut shorts(4);
    append(shorts, {1});
    EXPECT_EQ(thrownCode([&] { shorts.readShort(); }), STREAM_EOF);
    EXPECT_EQ(shorts.available(), 0);

    AccessOut longs(8);
    append(longs, {1, 2, 3, 4, 5});
    EXPECT_EQ(thrownCode([&] { longs.readDouble(); }), STREAM_EOF);
    EXPECT_EQ(longs.available(), 0);

    AccessOut atEnd(2);
    append(atEnd, {1});
    atEnd.readByte();
    for (auto read : {+[](AccessOut& a) { a.readByte(); }, +[](AccessOut& a) { a.readUnsignedByte(); },
                      +[](AccessOut& a) { a.readBoolean(); }, +[](AccessOut& a) { a.readChar(); },
                      +[](AccessOut& a) { a.readLong(); }}) {
        EXPECT_EQ(thrownCode([&] { read(atEnd); }), STREAM_EOF);
        EXPECT_EQ(atEnd.position, 1);
    }
}

TEST(AccessOutFailures, ShortTextsConsumeLengthAndAvailablePayload) {
    AccessOut oneByte(2);
    append(oneByte, {0});
    EXPECT_EQ(thrownCode([&] { oneByte.readUTF(); }), STREAM_EOF);
    EXPECT_EQ(oneByte.available(), 0);

    AccessOut shortPayload(8);
    append(shortPayload, {0, 5, 'a', 'b'});
    EXPECT_EQ(thrownCode([&] { shortPayload.readUTF(); }), STREAM_EOF);
    EXPECT_EQ(shortPayload.available(), 0);
}

TEST(AccessOutReading, SkipAvailableAndReadLine) {
    AccessOut s(8);
    append(s, {1, 2, 3, 4});
    EXPECT_EQ(s.skipBytes(0), 0);
    EXPECT_EQ(s.skipBytes(-1), 0);
    EXPECT_EQ(s.readLine(), nullptr);
    EXPECT_EQ(s.available(), 4);
    EXPECT_EQ(s.skipBytes(10), 4);
    EXPECT_EQ(s.available(), 0);
    EXPECT_EQ(s.skipBytes(1), 0);
}

TEST(AccessOutReading, WritesAppendAfterReadsAndAfterClose) {
    AccessOut s(8);
    append(s, {1, 2, 3, 4, 5});
    s.readShort();
    s.write(6);
    EXPECT_EQ(s.available(), 4);
    s.close();
    s.flush();
    s.writeInt(0x0708090A);
    EXPECT_EQ(s.count, 10);
    EXPECT_EQ(s.readByte(), 3);
}

TEST(AccessOutReading, ToByteArrayIsAnIndependentCopyOfTheContent) {
    AccessOut s(64);
    append(s, {1, 2, 3});
    DataArray<char>* copy = s.toByteArray();
    EXPECT_EQ(copy->length, 3);
    EXPECT_EQ(Bytes(copy->data, copy->data + 4), (Bytes{1, 2, 3, 0}));
    copy->data[0] = 9;
    EXPECT_EQ(s.buffer->data[0], 1);
    delete copy;

    AccessOut empty(4);
    DataArray<char>* none = empty.toByteArray();
    EXPECT_EQ(none->length, 0);
    delete none;
}

}  // namespace
