#include "hidlist/device_path_records.h"

#include <gtest/gtest.h>

#include "fake_device_list.h"

namespace hidlist {
namespace {

using testing::contentOf;
using testing::FakeInterface;
using testing::listOf;
using testing::pathOfLength;
using testing::recordsOf;
using testing::skippedLines;

TEST(DevicePathRecord, LengthPrefixIsBigEndianAndCoversTheWholeRange) {
    for (size_t length : {size_t{0}, size_t{1}, size_t{0x1234}, size_t{65535}}) {
        foundation::AccessOut out(4096);
        const std::string path = pathOfLength(length);
        std::string diagnostics;
        ASSERT_TRUE(writeDevicePathRecord(out, path.data(), path.size(), diagnostics)) << length;
        EXPECT_EQ(contentOf(out), recordsOf({path})) << length;
        EXPECT_EQ(diagnostics, "");
    }
}

TEST(DevicePathRecord, PathTooLongForTheLengthFieldIsSkippedWithALine) {
    foundation::AccessOut out(4096);
    const std::string first = pathOfLength(3);
    const std::string tooLong = pathOfLength(65536);
    const std::string last = pathOfLength(4);
    std::string diagnostics;
    ASSERT_TRUE(writeDevicePathRecord(out, first.data(), first.size(), diagnostics));
    EXPECT_FALSE(writeDevicePathRecord(out, tooLong.data(), tooLong.size(), diagnostics));
    EXPECT_EQ(diagnostics, "device path of 65536 bytes too long, skipped\n");
    ASSERT_TRUE(writeDevicePathRecord(out, last.data(), last.size(), diagnostics));
    // The records around it stay aligned: nothing of the long one was written.
    EXPECT_EQ(contentOf(out), recordsOf({first, last}));
}

TEST(DevicePathRecords, ThreeInterfacesGiveThreeRecordsInEnumerationOrder) {
    const std::string a = pathOfLength(40, 'a'), b = pathOfLength(50, 'b'), c = pathOfLength(60, 'c');
    foundation::AccessOut out(4096);
    EXPECT_EQ(writeDevicePathRecords(out, listOf({{a}, {b}, {c}})), "");
    EXPECT_EQ(out.count, 156);
    // Only the path bytes: neither the record's fixed part nor its NUL.
    EXPECT_EQ(contentOf(out), recordsOf({a, b, c}));
}

TEST(DevicePathRecords, NoInterfacesWritesNothing) {
    foundation::AccessOut out(4096);
    EXPECT_EQ(writeDevicePathRecords(out, listOf({})), "");
    EXPECT_EQ(out.count, 0);
}

TEST(DevicePathRecords, SetThatCannotBeOpenedIsReported) {
    foundation::AccessOut out(4096);
    EXPECT_EQ(writeDevicePathRecords(out, listOf({}, false)), SET_NOT_OPENED_LINE);
    EXPECT_EQ(out.count, 0);
}

TEST(DevicePathRecords, UnreadableInterfacesAreSkippedAndNamedByIndex) {
    FakeInterface detailFails{pathOfLength(7)};
    detailFails.detailFails = true;
    FakeInterface alsoFails{pathOfLength(8)};
    alsoFails.detailFails = true;
    foundation::AccessOut out(4096);
    EXPECT_EQ(writeDevicePathRecords(out, listOf({{"first"}, detailFails, alsoFails, {"last"}})),
              skippedLines(1) + skippedLines(2));
    EXPECT_EQ(contentOf(out), recordsOf({"first", "last"}));
}

TEST(DevicePathRecords, LinesForUnreadableAndOverLongInterfacesKeepTheEnumerationOrder) {
    FakeInterface unreadable{"x"};
    unreadable.detailFails = true;
    foundation::AccessOut out(4096);
    EXPECT_EQ(writeDevicePathRecords(out, listOf({unreadable, {"one"}, {pathOfLength(70001)},
                                                  unreadable, {"two"}, unreadable})),
              skippedLines(0) + "device path of 70001 bytes too long, skipped\n" + skippedLines(3) +
                  skippedLines(5));
    EXPECT_EQ(contentOf(out), recordsOf({"one", "two"}));
}

TEST(DevicePathRecords, OverLongPathIsLeftOutAndTheRecordsAfterItStayAligned) {
    foundation::AccessOut out(4096);
    EXPECT_EQ(writeDevicePathRecords(out, listOf({{"before"}, {pathOfLength(70000)}, {"after"}})),
              "device path of 70000 bytes too long, skipped\n");
    EXPECT_EQ(contentOf(out), recordsOf({"before", "after"}));
}

}  // namespace
}  // namespace hidlist
