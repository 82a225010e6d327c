// The native method's result handling, against a stand-in for the VM's
// function table (the real VM is exercised by the Java tests).
#include "hidlist/java_result.h"

#include <gtest/gtest.h>

#include "fake_device_source.h"

namespace hidlist {
namespace {

using testing::FakeDeviceSource;
using testing::FakeInterface;
using testing::recordsOf;

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
    jbyteArray list(FakeDeviceSource& source) {
        ::testing::internal::CaptureStdout();
        jbyteArray result = listToJavaArray(&env, source);
        printed = ::testing::internal::GetCapturedStdout();
        return result;
    }

    JNINativeInterface_ table{};
    JNIEnv env{};
    std::string printed;
};

TEST_F(JavaResult, NothingListedIsNullNeverAnEmptyArray) {
    FakeDeviceSource none({});
    EXPECT_EQ(list(none), nullptr);
    FakeInterface unreadable{"x"};
    unreadable.detailFails = true;
    FakeDeviceSource allUnreadable({unreadable});
    EXPECT_EQ(list(allUnreadable), nullptr);
    EXPECT_EQ(FakeVm::arraysMade, 0);
    EXPECT_EQ(FakeVm::lastLength, -1);
}

TEST_F(JavaResult, ArrayTheVmCannotMakeIsNull) {
    FakeVm::refuseArrays = true;
    FakeDeviceSource source({{"/dev/hidraw0"}});
    EXPECT_EQ(list(source), nullptr);
    EXPECT_TRUE(FakeVm::copied.empty());
}

TEST_F(JavaResult, FailureInsideTheListingIsNullNotAnExceptionThroughTheVm) {
    FakeInterface throws{"x"};
    throws.throwsOnRead = true;
    FakeDeviceSource source({{"/dev/hidraw0"}, throws});
    EXPECT_EQ(list(source), nullptr);
    EXPECT_EQ(FakeVm::arraysMade, 0);
    EXPECT_EQ(source.closes, 1);
}

}  // namespace
}  // namespace hidlist
