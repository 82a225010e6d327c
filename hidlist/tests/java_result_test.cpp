// The native method's result handling, against a stand-in for the VM's
// function table (the real VM is exercised by the Java tests).
#include "hidlist/java_result.h"

#include <gtest/gtest.h>

#include <new>

#include "fake_device_list.h"

namespace hidlist {
namespace {

using testing::FakeInterface;
using testing::listOf;
using testing::recordsOf;

// The list the next listing gives (a lister is a plain function).
platform::HidDeviceList scripted;
platform::HidDeviceList listScripted() { return scripted; }
platform::HidDeviceList listOutOfMemory() { throw std::bad_alloc(); }
platform::HidDeviceList listWithStreamFailure() {
    throw new foundation::Throwable(foundation::OUT_OF_MEMORY);
}

struct FakeVm {
    static inline bool refuseArrays = false;
    static inline int arraysMade = 0;
    static inline jsize lastLength = -1;
    static inline std::vector<unsigned char> copied;
    static inline _jobject arrayObject;

    static jbyteArray JNICALL newByteArray(JNIEnv*, jsize length) {
        lastLength = length;
        if (refuseArrays) return nullptr;
        ++arraysMade;
        return static_cast<jbyteArray>(&arrayObject);
    }
    static void JNICALL setByteArrayRegion(JNIEnv*, jbyteArray array, jsize start, jsize length,
                                           const jbyte* bytes) {
        EXPECT_EQ(array, static_cast<jbyteArray>(&arrayObject));
        EXPECT_EQ(start, 0);
        const auto* b = reinterpret_cast<const unsigned char*>(bytes);
        copied.assign(b, b + length);
    }
};

class JavaResult : public ::testing::Test {
protected:
    void SetUp() override {
        FakeVm::refuseArrays = false;
        FakeVm::arraysMade = 0;
        FakeVm::lastLength = -1;
        FakeVm::copied.clear();
        table.NewByteArray = FakeVm::newByteArray;
        table.SetByteArrayRegion = FakeVm::setByteArrayRegion;
        env.functions = &table;
    }
    jbyteArray list(const platform::HidDeviceList& devices) {
        scripted = devices;
        return listWith(listScripted);
    }
    jbyteArray listWith(HidDeviceLister lister) {
        ::testing::internal::CaptureStdout();
        jbyteArray result = listToJavaArray(&env, lister);
        printed = ::testing::internal::GetCapturedStdout();
        return result;
    }

    JNINativeInterface_ table{};
    JNIEnv env{};
    std::string printed;
};

TEST_F(JavaResult, RecordsAreCopiedIntoOneArrayOfTheirLength) {
    EXPECT_EQ(list(listOf({{"/dev/hidraw0"}, {"/dev/hidraw1"}})),
              static_cast<jbyteArray>(&FakeVm::arrayObject));
    EXPECT_EQ(FakeVm::lastLength, 28);
    EXPECT_EQ(FakeVm::copied, recordsOf({"/dev/hidraw0", "/dev/hidraw1"}));
    EXPECT_EQ(printed, "");
}

TEST_F(JavaResult, NothingListedIsNullNeverAnEmptyArray) {
    EXPECT_EQ(list(listOf({})), nullptr);
    FakeInterface unreadable{"x"};
    unreadable.detailFails = true;
    EXPECT_EQ(list(listOf({unreadable})), nullptr);
    // The lines still reach standard output.
    EXPECT_EQ(printed, testing::skippedLines(0));
    EXPECT_EQ(list(listOf({}, false)), nullptr);
    EXPECT_EQ(printed, SET_NOT_OPENED_LINE);
    EXPECT_EQ(FakeVm::arraysMade, 0);
    EXPECT_EQ(FakeVm::lastLength, -1);
}

TEST_F(JavaResult, ArrayTheVmCannotMakeIsNull) {
    FakeVm::refuseArrays = true;
    EXPECT_EQ(list(listOf({{"/dev/hidraw0"}})), nullptr);
    EXPECT_TRUE(FakeVm::copied.empty());
}

TEST_F(JavaResult, FailureInsideTheListingIsNullNotAnExceptionThroughTheVm) {
    // The platform's list that cannot grow, and a stream that cannot (its
    // Throwable is deleted here: a leak would show under ASan).
    EXPECT_EQ(listWith(listOutOfMemory), nullptr);
    EXPECT_EQ(listWith(listWithStreamFailure), nullptr);
    EXPECT_EQ(FakeVm::arraysMade, 0);
}

}  // namespace
}  // namespace hidlist
