// The launcher's embedded class text decodes and inflates to the compiled
// bootstrap class.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "launcher/bootstrap_handoff_internal.h"
#include "launcher/class_text_decoding.h"
#include "launcher/tests/temp_dir.h"

namespace {

TEST(EmbeddedClassText, DecodesToTheBootstrapClass) {
    const int32_t n = launcher::BOOTSTRAP_CLASS_TEXT_LENGTH;
    ASSERT_EQ(n % 4, 0);
    ASSERT_EQ(static_cast<int32_t>(std::strlen(launcher::BOOTSTRAP_CLASS_TEXT)), n);
    int32_t padding = 0;
    for (int32_t i = n - 1; launcher::BOOTSTRAP_CLASS_TEXT[i] == '='; --i) ++padding;

    std::unique_ptr<foundation::DataArray<char>> member(launcher::decodeBase64(launcher::BOOTSTRAP_CLASS_TEXT, n));
    ASSERT_TRUE(member);
    EXPECT_EQ(member->length, n * 3 / 4 - padding);
    // One gzip member: magic, deflate, no flags, no time, no extra flags, OS 0.
    const unsigned char header[10] = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(member->data, header, sizeof header), 0);

    std::unique_ptr<foundation::DataArray<char>> classBytes(launcher::gunzipBytes(member.get(), member->length));
    ASSERT_TRUE(classBytes);
    auto byte = [&](int i) { return static_cast<unsigned char>(classBytes->data[i]); };
    EXPECT_EQ(byte(0), 0xCA);
    EXPECT_EQ(byte(1), 0xFE);
    EXPECT_EQ(byte(2), 0xBA);
    EXPECT_EQ(byte(3), 0xBE);
    EXPECT_EQ(byte(6) * 256 + byte(7), 51) << "class-file version 51.0";
    auto onDisk = launcher_test::readBytes(BOOTSTRAP_CLASS_FILE);
    EXPECT_EQ(std::vector<unsigned char>(classBytes->data, classBytes->data + classBytes->length), onDisk);
}

}  // namespace
