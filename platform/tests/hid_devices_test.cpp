// The machine's HID device list. POSIX: against sysfs-style trees made
// here (containers have no hidraw devices of their own). Windows: against
// the interfaces Wine presents, whose number is Wine's business.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#endif

namespace platform {
namespace {

// Every path of a list, checked for its shape on the way.
std::vector<std::string> pathsOf(const HidDeviceList& list) {
    std::vector<std::string> paths;
    for (size_t i = 0; i < list.paths.size(); ++i) {
        const HidDevicePath& path = list.paths[i];
        if (i > 0) {
            EXPECT_GT(path.index, list.paths[i - 1].index) << "enumeration order";
        }
        paths.push_back(path.path);
    }
    return paths;
}

#ifdef _WIN32

TEST(HidDevices, EveryPresentInterfaceIsReadWithTheCbSizesTheApiChecks) {
    const HidDeviceList list = listHidDevices();
    EXPECT_TRUE(list.opened);
    // A wrong cbSize on either record fails every detail read.
    EXPECT_TRUE(list.failedIndices.empty());
    for (const std::string& path : pathsOf(list)) {
        EXPECT_EQ(path.compare(0, 4, "\\\\?\\"), 0) << path;
        EXPECT_EQ(path.find('\0'), std::string::npos) << "a terminator inside a path";
    }
}

#else

namespace fs = std::filesystem;

class HidrawDeviceSet : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("quenvil-sysfs-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root);
        ::setenv("QUENVIL_SYSFS_ROOT", root.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("QUENVIL_SYSFS_ROOT");
        fs::remove_all(root);
    }
    fs::path classDir() const { return root / "class" / "hidraw"; }
    void addDevice(const std::string& entry, const std::string& uevent) {
        fs::create_directories(classDir() / entry);
        std::ofstream(classDir() / entry / "uevent") << uevent;
    }

    // Every path listed; no interface of a sysfs tree fails its read.
    std::vector<std::string> listAll(bool* opened = nullptr) {
        const HidDeviceList list = listHidDevices();
        if (opened != nullptr) *opened = list.opened;
        EXPECT_TRUE(list.failedIndices.empty());
        return pathsOf(list);
    }

    fs::path root;
};

TEST_F(HidrawDeviceSet, NodeNameComesFromUeventAndFallsBackToTheEntryName) {
    addDevice("hidraw0", "MAJOR=240\nDEVNAME=input/custom-node\n");
    addDevice("hidraw1", "MAJOR=240\n");
    fs::create_directories(classDir() / "hidraw2");  // no uevent at all
    EXPECT_EQ(listAll(), (std::vector<std::string>{"/dev/input/custom-node", "/dev/hidraw1", "/dev/hidraw2"}));
}

TEST_F(HidrawDeviceSet, EmptyOrMissingClassIsAnEmptySet) {
    bool opened = false;
    EXPECT_TRUE(listAll(&opened).empty());  // no class directory: no hidraw driver
    EXPECT_TRUE(opened);
    fs::create_directories(classDir());
    EXPECT_TRUE(listAll(&opened).empty());
    EXPECT_TRUE(opened);
}

TEST_F(HidrawDeviceSet, UnreadableClassCannotBeOpened) {
    fs::create_directories(root / "class");
    std::ofstream(classDir()) << "not a directory";
    bool opened = true;
    EXPECT_TRUE(listAll(&opened).empty());
    EXPECT_FALSE(opened);
}

#endif

}  // namespace
}  // namespace platform
