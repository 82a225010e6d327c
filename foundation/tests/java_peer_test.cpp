// AccessOut against java.io.DataOutputStream / DataInputStream of the JDK.
// ctest runs DataPeer (tests/java) first to write java.bin and utf.bin into
// PEER_DIR; this test reads them, writes cpp.bin there, and DataPeer checks
// cpp.bin afterwards.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>

#include "foundation/streams.h"
#include "stream_test_support.h"

using namespace foundation;
using namespace streamtest;

namespace {

// The same sequence as DataPeer.java.
const int32_t kBytes[] = {-129, -128, -1, 0, 1, 127, 128, 255, 256};
const bool kBooleans[] = {true, false};
const int32_t kShorts[] = {-32769, -32768, -1, 0, 1, 0x1234, 32767, 32768, 65535, 65536};
const int32_t kChars[] = {0, 0x41, 0xE9, 0x4E2D, 0xD83D, 0xFFFF};
const int32_t kInts[] = {std::numeric_limits<int32_t>::min(), -1, 0, 1, 0x01020304,
                         std::numeric_limits<int32_t>::max(), -16};
const int64_t kLongs[] = {std::numeric_limits<int64_t>::min(), -1, 0, 1, 0x0102030405060708LL,
                          std::numeric_limits<int64_t>::max(), 1700000000000LL};
const float kFloats[] = {0.0f, -0.0f, 1.5f, -2.25f, std::numeric_limits<float>::denorm_min(),
                         std::numeric_limits<float>::max(), std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(),
                         3.14159f, 1e-40f};
const double kDoubles[] = {0.0, -0.0, 0.1, -2.5, std::numeric_limits<double>::denorm_min(),
                           std::numeric_limits<double>::max(), std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(),
                           1e300, 3.141592653589793};

std::vector<std::u16string> texts() {
    return {
        u"",
        u"Hello, world",
        u"\u00E0\u00E9\u00EE\u00F5\u00FC \u00C0\u00C9\u00CE\u00D5\u00DC \u00F1\u00E7 \u00DF",
        u"\u4E2D\u6587\u5B57\u7B26\u6D4B\u8BD5",
        u"\U0001F600\U0001F389\U0001F44D",
        std::u16string(u"a\0b", 3),
        std::u16string(u"mixed: \u00E9\u4E2D\U0001F600\0z", 13),
        u"\u007F\u0080\u07FF\u0800\uFFFF",
        std::u16string{char16_t(0xD800), u'x', char16_t(0xDC00)},
        std::u16string(21845, u'\u4E2D'),
        std::u16string(32767, u'\u00E9'),
    };
}
const std::u16string kBytesText = u"ABC\u00E9\u4E2D";
const std::u16string kCharsText = u"A\u00E9\u4E2D\U0001F600";

template <typename T, typename U>
U bitsOf(T v) {
    U bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

std::string peerPath(const char* name) {
    const char* dir = std::getenv("PEER_DIR");
    return std::string(dir != nullptr ? dir : ".") + "/" + name;
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeSequence(AccessOut& out) {
    for (int32_t v : kBytes) out.writeByte(v);
    for (bool v : kBooleans) out.writeBoolean(v);
    for (int32_t v : kShorts) out.writeShort(v);
    for (int32_t v : kChars) out.writeChar(v);
    for (int32_t v : kInts) out.writeInt(v);
    for (int64_t v : kLongs) out.writeLong(v);
    for (float v : kFloats) out.writeFloat(v);
    for (double v : kDoubles) out.writeDouble(v);
    for (const auto& t : texts()) {
        String* s = makeString(t);
        out.writeUTF(s);
        releaseString(s);
    }
    String* bytesText = makeString(kBytesText);
    out.writeBytes(bytesText);
    releaseString(bytesText);
    String* charsText = makeString(kCharsText);
    out.writeChars(charsText);
    releaseString(charsText);
}

TEST(JavaPeer, ReadsWhatDataOutputStreamWrote) {
    const Bytes java = readFile(peerPath("java.bin"));
    ASSERT_FALSE(java.empty()) << "run through ctest: DataPeer writes " << peerPath("java.bin");
    AccessOut in(16);
    append(in, java);

    // Bytes and shorts come back unsigned, as this stream defines them.
    for (int32_t v : kBytes) EXPECT_EQ(in.readByte(), v & 0xFF);
    for (bool v : kBooleans) EXPECT_EQ(in.readBoolean(), v);
    for (int32_t v : kShorts) EXPECT_EQ(in.readShort(), v & 0xFFFF);
    for (int32_t v : kChars) EXPECT_EQ(in.readChar(), v);
    for (int32_t v : kInts) EXPECT_EQ(in.readInt(), v);
    for (int64_t v : kLongs) EXPECT_EQ(in.readLong(), v);
    for (float v : kFloats) EXPECT_EQ((bitsOf<float, uint32_t>(in.readFloat())), (bitsOf<float, uint32_t>(v)));
    for (double v : kDoubles) {
        EXPECT_EQ((bitsOf<double, uint64_t>(in.readDouble())), (bitsOf<double, uint64_t>(v)));
    }
    for (const auto& t : texts()) {
        String* s = in.readUTF();
        EXPECT_TRUE(units(s) == t) << "text of " << t.size() << " units came back with " << s->length;
        releaseString(s);
    }
    for (char16_t c : kBytesText) EXPECT_EQ(in.readUnsignedByte(), c & 0xFF);
    for (char16_t c : kCharsText) EXPECT_EQ(in.readChar(), c);
    EXPECT_EQ(in.available(), 0);
}

TEST(JavaPeer, WritesTheBytesDataOutputStreamWrites) {
    const Bytes java = readFile(peerPath("java.bin"));
    ASSERT_FALSE(java.empty());
    AccessOut out(16);
    writeSequence(out);
    const Bytes ours = contents(out);
    EXPECT_EQ(ours.size(), java.size());
    EXPECT_TRUE(ours == java) << "first difference at byte "
                              << (std::mismatch(ours.begin(), ours.end(), java.begin(), java.end()).first -
                                  ours.begin());
    // DataPeer check reads this back with DataInputStream.
    std::ofstream file(peerPath("cpp.bin"), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(ours.data()), static_cast<std::streamsize>(ours.size()));
    ASSERT_TRUE(file.good());
}

// Byte strings decoded by Java's readUTF, mostly malformed: readUTF must
// accept exactly what Java accepts, give the same units, and refuse the
// rest with Java's message.
TEST(JavaPeer, DecodesTextsExactlyAsReadUTFDoes) {
    const Bytes vectors = readFile(peerPath("utf.bin"));
    ASSERT_FALSE(vectors.empty());
    AccessOut file(16);
    append(file, vectors);
    const int32_t n = file.readInt();
    int32_t accepted = 0;
    for (int32_t i = 0; i < n; ++i) {
        const int32_t len = file.readUnsignedShort();
        DataArray<char> bytes(len);
        file.readFully(&bytes);
        AccessOut probe(len + 2);
        probe.writeShort(len);
        probe.write(&bytes);

        const std::string shown = ::testing::PrintToString(Bytes(bytes.data, bytes.data + len));
        if (file.readBoolean()) {
            ++accepted;
            std::u16string expected;
            for (int32_t k = file.readInt(); k > 0; --k) expected += static_cast<char16_t>(file.readChar());
            String* s = nullptr;
            ASSERT_EQ(thrownCode([&] { s = probe.readUTF(); }), 0) << shown;
            EXPECT_TRUE(units(s) == expected) << shown;
            releaseString(s);
        } else {
            String* javaMessage = file.readUTF();
            std::u16string message;
            EXPECT_EQ(thrownCode([&] { probe.readUTF(); }, &message), READ_ERR) << shown;
            EXPECT_TRUE(message == units(javaMessage)) << shown;
            releaseString(javaMessage);
        }
        EXPECT_EQ(probe.available(), 0);
    }
    EXPECT_EQ(file.available(), 0);
    EXPECT_GT(accepted, n / 10);
    EXPECT_LT(accepted, n - n / 10);
}

}  // namespace
