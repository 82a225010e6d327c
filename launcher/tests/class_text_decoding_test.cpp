// Base64 decoding and inflation of the embedded class text's format.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "launcher/class_text_decoding.h"

namespace {

using Bytes = std::vector<unsigned char>;
using Array = foundation::DataArray<char>;

std::unique_ptr<Array> decode(const std::string& text) {
    // Exactly the text's characters, no terminator: the decoder must not
    // read past n.
    std::vector<char> exact(text.begin(), text.end());
    return std::unique_ptr<Array>(launcher::decodeBase64(exact.data(), static_cast<int32_t>(exact.size())));
}

std::string contents(const Array& array) {
    return std::string(array.data, static_cast<size_t>(array.length));
}

TEST(DecodeBase64, GroupsAndPadding) {
    auto man = decode("TWFu");
    ASSERT_TRUE(man);
    EXPECT_EQ(contents(*man), "Man");

    auto one = decode("TWFuTWE=");  // 3 * 8 / 4 - 1
    ASSERT_TRUE(one);
    EXPECT_EQ(one->length, 5);
    EXPECT_EQ(contents(*one), "ManMa");
    EXPECT_EQ(one->data[5], '\0');

    auto two = decode("TQ==");
    ASSERT_TRUE(two);
    EXPECT_EQ(contents(*two), "M");
    EXPECT_EQ(two->data[1], '\0');
}

TEST(DecodeBase64, ForeignCharactersCountAsZero) {
    auto decoded = decode("T!Fu");  // "!" reads as "A"
    ASSERT_TRUE(decoded);
    auto reference = decode("TAFu");
    EXPECT_EQ(contents(*decoded), contents(*reference));
}

TEST(DecodeBase64, NothingToDecode) {
    EXPECT_EQ(launcher::decodeBase64("TWFu", 0), nullptr);
    EXPECT_EQ(launcher::decodeBase64("TWFu", -4), nullptr);
    EXPECT_EQ(launcher::decodeBase64(nullptr, 4), nullptr);
    EXPECT_FALSE(decode("===="));  // more padding than room
    EXPECT_FALSE(decode("="));
}

TEST(DecodeBase64, ATextCutInsideAGroupStaysWithinTheText) {
    auto decoded = decode("TWFuTQ");  // 6 * 3 / 4 = 4 bytes
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->length, 4);
    EXPECT_EQ(contents(*decoded), std::string("ManM"));
}

// Compresses with zlib: windowBits 31 writes a gzip member, 15 a zlib
// stream, -15 raw deflate.
Bytes compress(const Bytes& data, int windowBits) {
    z_stream stream;
    std::memset(&stream, 0, sizeof stream);
    EXPECT_EQ(deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY), Z_OK);
    Bytes out(deflateBound(&stream, data.size()) + 32);
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// Bytes that barely compress, so the compressed stream spans several
// staging buffers too.
Bytes noise(size_t n) {
    Bytes data(n);
    uint32_t state = 2463534242u;
    for (auto& byte : data) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<unsigned char>(state);
    }
    return data;
}

std::unique_ptr<Array> inflateBytes(const Bytes& input) {
    Array array(static_cast<int32_t>(input.size()));
    if (!input.empty()) std::memcpy(array.data, input.data(), input.size());
    return std::unique_ptr<Array>(launcher::gunzipBytes(&array, array.length));
}

Bytes bytesOf(const Array& array) {
    return Bytes(array.data, array.data + array.length);
}

TEST(GunzipBytes, GzipAndZlibAtStagingBufferBoundaries) {
    for (size_t size : {size_t{0}, size_t{1}, size_t{1023}, size_t{1024}, size_t{1025}, size_t{2048}, size_t{3072},
                        size_t{9306}}) {
        Bytes original = noise(size);
        for (int windowBits : {31, 15}) {
            auto inflated = inflateBytes(compress(original, windowBits));
            ASSERT_TRUE(inflated) << size << " bytes, window bits " << windowBits;
            EXPECT_EQ(bytesOf(*inflated), original) << size << " bytes, window bits " << windowBits;
            EXPECT_EQ(inflated->data[inflated->length], '\0');
        }
    }
    // Compressible content: few input bytes, many staging buffers.
    Bytes zeros(3072, 0);
    auto inflated = inflateBytes(compress(zeros, 31));
    ASSERT_TRUE(inflated);
    EXPECT_EQ(bytesOf(*inflated), zeros);
}

TEST(GunzipBytes, CorruptOrCutShortFails) {
    Bytes original = noise(5000);
    Bytes gzip = compress(original, 31);

    Bytes badHeader = gzip;
    badHeader[0] = 0x1E;
    EXPECT_FALSE(inflateBytes(badHeader));

    Bytes badMethod = gzip;
    badMethod[2] = 7;
    EXPECT_FALSE(inflateBytes(badMethod));

    Bytes badTrailer = gzip;
    badTrailer[gzip.size() - 6] ^= 0xFF;  // CRC-32
    EXPECT_FALSE(inflateBytes(badTrailer));

    Bytes zeroedData = gzip;
    std::fill(zeroedData.begin() + 10, zeroedData.begin() + 40, 0xFF);
    EXPECT_FALSE(inflateBytes(zeroedData));

    // A stream cut anywhere before its end is a failure, never a shorter
    // success.
    for (size_t keep : {size_t{0}, size_t{5}, size_t{10}, gzip.size() / 2, gzip.size() - 8, gzip.size() - 1}) {
        Bytes cut(gzip.begin(), gzip.begin() + static_cast<long>(keep));
        EXPECT_FALSE(inflateBytes(cut)) << "kept " << keep << " of " << gzip.size();
    }
    // Raw deflate carries no header the inflater recognises.
    EXPECT_FALSE(inflateBytes(compress(original, -15)));
}

TEST(GunzipBytes, LengthOutsideTheInputIsRefused) {
    Array array(4);
    EXPECT_EQ(launcher::gunzipBytes(&array, 5), nullptr);
    EXPECT_EQ(launcher::gunzipBytes(&array, -1), nullptr);
    EXPECT_EQ(launcher::gunzipBytes(nullptr, 0), nullptr);
}

}  // namespace
