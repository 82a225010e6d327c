#include "hidlist/device_listing.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "fake_device_source.h"

namespace hidlist {
namespace {

using testing::contentOf;
using testing::FakeDeviceSource;
using testing::FakeInterface;
using testing::pathOfLength;
using testing::recordsOf;

// Runs the listing and returns what it printed.
std::string listCapturing(foundation::AccessOut& out, FakeDeviceSource& source,
                          DetailAllocator allocate = std::malloc) {
    ::testing::internal::CaptureStdout();
    listHidDevicePaths(out, source, allocate);
    return ::testing::internal::GetCapturedStdout();
}

TEST(DeviceListing, ThreeInterfacesGiveThreeRecordsInEnumerationOrder) {
    const std::string a = pathOfLength(40, 'a'), b = pathOfLength(50, 'b'), c = pathOfLength(60, 'c');
    FakeDeviceSource source({{a}, {b}, {c}});
    foundation::AccessOut out(4096);
    EXPECT_EQ(listCapturing(out, source), "");
    EXPECT_EQ(out.count, 156);
    EXPECT_EQ(contentOf(out), recordsOf({a, b, c}));
    EXPECT_EQ(source.closes, 1);
}

TEST(DeviceListing, NoInterfacesWritesNothing) {
    FakeDeviceSource source({});
    foundation::AccessOut out(4096);
    EXPECT_EQ(listCapturing(out, source), "");
    EXPECT_EQ(out.count, 0);
    EXPECT_EQ(source.closes, 1);
}

TEST(DeviceListing, SetThatCannotBeOpenedIsReportedAndStillClosed) {
    FakeDeviceSource source({});
    source.openFails = true;
    foundation::AccessOut out(4096);
    EXPECT_EQ(listCapturing(out, source), "SetupDiGetClassDevs fail\n");
    EXPECT_EQ(out.count, 0);
    EXPECT_EQ(source.closes, 1);
}

TEST(DeviceListing, UnreadableInterfacesAreSkippedAndNamedByIndex) {
    FakeInterface detailFails{pathOfLength(7)};
    detailFails.detailFails = true;
    FakeInterface sizeFails{pathOfLength(8)};
    sizeFails.sizeFails = true;  // no size: nothing is allocated or read
    FakeDeviceSource source({{"first"}, detailFails, sizeFails, {"last"}});
    foundation::AccessOut out(4096);
    EXPECT_EQ(listCapturing(out, source),
              "SetupDiGetDeviceInterfaceDetail fail\ngetDetasil 1 fail\n"
              "SetupDiGetDeviceInterfaceDetail fail\ngetDetasil 2 fail\n");
    EXPECT_EQ(contentOf(out), recordsOf({"first", "last"}));
}

void* failSecondAllocation(size_t size) {
    static int calls = 0;
    return ++calls == 2 ? nullptr : std::malloc(size);
}

TEST(DeviceListing, DetailRecordThatCannotBeAllocatedIsSkippedLikeAFailedRead) {
    FakeDeviceSource source({{"one"}, {"two"}, {"three"}});
    foundation::AccessOut out(4096);
    EXPECT_EQ(listCapturing(out, source, failSecondAllocation),
              "SetupDiGetDeviceInterfaceDetail fail\ngetDetasil 1 fail\n");
    EXPECT_EQ(contentOf(out), recordsOf({"one", "three"}));
}

TEST(DeviceListing, OverLongPathIsLeftOutAndTheRecordsAfterItStayAligned) {
    FakeDeviceSource source({{"before"}, {pathOfLength(70000)}, {"after"}});
    foundation::AccessOut out(4096);
    EXPECT_EQ(listCapturing(out, source), "device path of 70000 bytes too long, skipped\n");
    EXPECT_EQ(contentOf(out), recordsOf({"before", "after"}));
}

TEST(DeviceListing, FailureThatEndsTheListingStillClosesTheSetAndFreesTheRecord) {
    FakeInterface throws{"x"};
    throws.throwsOnRead = true;
    FakeDeviceSource source({{"ok"}, throws, {"never"}});
    foundation::AccessOut out(4096);
    try {
        listHidDevicePaths(out, source, std::malloc);
        FAIL() << "the failure should pass on to the caller";
    } catch (foundation::Throwable* error) {
        EXPECT_EQ(error->code, foundation::OUT_OF_MEMORY);
        delete error;
    }
    EXPECT_EQ(source.closes, 1);  // the detail record's leak would show under ASan
}

}  // namespace
}  // namespace hidlist
