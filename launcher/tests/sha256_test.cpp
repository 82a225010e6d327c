#include "launcher/sha256.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

std::string hex(const uint8_t* bytes, size_t length) {
    std::string text;
    char two[3];
    for (size_t i = 0; i < length; ++i) {
        std::snprintf(two, sizeof two, "%02x", bytes[i]);
        text += two;
    }
    return text;
}

std::string digestOf(const std::vector<uint8_t>& data, std::mt19937* pieces = nullptr) {
    launcher::Sha256 hash;
    launcher::sha256Start(hash);
    for (size_t at = 0; at < data.size();) {
        size_t n = pieces ? std::min<size_t>(data.size() - at, (*pieces)() % 200) : data.size() - at;
        launcher::sha256Add(hash, data.data() + at, n);
        at += n;
    }
    uint8_t digest[32];
    launcher::sha256Finish(hash, digest);
    return hex(digest, 32);
}

std::vector<uint8_t> bytesOf(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

TEST(Sha256, KnownDigestsWholeAndInPiecesAndBothBlockFunctionsAgree) {
    EXPECT_EQ("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", digestOf({}));
    EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", digestOf(bytesOf("abc")));
    EXPECT_EQ("248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1",
              digestOf(bytesOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")));
    std::mt19937 random(32);
    std::vector<uint8_t> million(1000000, 'a');
    EXPECT_EQ("cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0", digestOf(million));
    EXPECT_EQ(digestOf(million), digestOf(million, &random));

    // Where the processor has SHA instructions, they must give what the portable rounds give.
    std::vector<uint8_t> blocks(64 * 300);
    for (uint8_t& b : blocks) b = uint8_t(random());
    uint32_t portable[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    uint32_t accelerated[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    launcher::sha256BlocksPortable(portable, blocks.data(), 300);
    if (launcher::sha256BlocksAccelerated(accelerated, blocks.data(), 300)) {
        EXPECT_EQ(hex(reinterpret_cast<uint8_t*>(portable), 32), hex(reinterpret_cast<uint8_t*>(accelerated), 32));
    } else {
        std::printf("(no SHA instructions here: the portable rounds only)\n");
    }
}

}  // namespace
