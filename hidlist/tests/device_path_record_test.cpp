#include "hidlist/device_path_record.h"

#include <gtest/gtest.h>

#include "fake_device_source.h"

namespace hidlist {
namespace {

using testing::contentOf;
using testing::pathOfLength;
using testing::recordsOf;

TEST(DevicePathRecord, LengthPrefixIsBigEndianAndCoversTheWholeRange) {
    for (size_t length : {size_t{0}, size_t{1}, size_t{0x1234}, size_t{65535}}) {
        foundation::AccessOut out(4096);
        const std::string path = pathOfLength(length);
        ASSERT_TRUE(writeDevicePathRecord(out, path.data(), path.size())) << length;
        EXPECT_EQ(contentOf(out), recordsOf({path})) << length;
    }
}

TEST(DevicePathRecord, PathTooLongForTheLengthFieldIsSkippedWithALine) {
    foundation::AccessOut out(4096);
    const std::string first = pathOfLength(3);
    const std::string tooLong = pathOfLength(65536);
    const std::string last = pathOfLength(4);
    ASSERT_TRUE(writeDevicePathRecord(out, first.data(), first.size()));
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(writeDevicePathRecord(out, tooLong.data(), tooLong.size()));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "device path of 65536 bytes too long, skipped\n");
    ASSERT_TRUE(writeDevicePathRecord(out, last.data(), last.size()));
    // The records around it stay aligned: nothing of the long one was written.
    EXPECT_EQ(contentOf(out), recordsOf({first, last}));
}

}  // namespace
}  // namespace hidlist
