// The machine's device source on Linux, against sysfs-style trees made here
// (containers have no hidraw devices of their own).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "hidlist/device_source.h"

namespace hidlist {
namespace {

namespace fs = std::filesystem;

class HidrawDeviceSet : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("quenvil-sysfs-" + std::to_string(::getpid()) + "-" +
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

    // Every path the source lists, read the way the listing reads them.
    std::vector<std::string> listAll(bool* opened = nullptr) {
        PlatformHidDeviceSource source;
        const bool ok = source.open();
        if (opened != nullptr) *opened = ok;
        std::vector<std::string> paths;
        for (uint32_t i = 0; source.selectInterface(i); ++i) {
            const uint32_t size = source.detailSize();
            std::vector<char> record(size);
            const char* path = nullptr;
            size_t length = 0;
            EXPECT_FALSE(size > 0 && source.readDetail(record.data(), size - 1, &path, &length))
                << "a record one byte short must be refused";
            EXPECT_TRUE(source.readDetail(record.data(), size, &path, &length));
            paths.emplace_back(path, length);
        }
        return paths;
    }

    fs::path root;
};

TEST_F(HidrawDeviceSet, NodeNameComesFromUeventAndFallsBackToTheEntryName) {
    addDevice("hidraw0", "MAJOR=240\nDEVNAME=input/custom-node\n");
    addDevice("hidraw1", "MAJOR=240\n");
    fs::create_directories(classDir() / "hidraw2");  // no uevent at all
    EXPECT_EQ(listAll(), (std::vector<std::string>{"/dev/input/custom-node", "/dev/hidraw1",
                                                   "/dev/hidraw2"}));
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

}  // namespace
}  // namespace hidlist
