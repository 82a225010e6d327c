// The VM host against a runtime whose JNI_CreateJavaVM is a function of the
// test: the failure and restart arithmetic, what is released, and the
// working directory on every path. The heap setting as the real VM gets it,
// and the runtime-library checks, are in the process and end-to-end tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "launcher/install.h"
#include "launcher/layout.h"
#include "launcher/messages.h"
#include "launcher/outcome.h"
#include "launcher/tests/fake_system.h"
#include "launcher/tests/temp_dir.h"
#include "launcher/vm_folders.h"
#include "launcher/vm_host.h"
#include "launcher/vm_host_internal.h"

namespace {

using launcher_test::FakeSystem;
using launcher_test::readBytes;
using launcher_test::TempDir;
using launcher_test::writeBytes;

// What the stand-in runtime was asked, and what it answers.
std::vector<std::vector<std::string>> creations;
jint creationResult = -1;

jint JNICALL fakeCreate(JavaVM** vm, void** env, void* arguments) {
    auto* init = static_cast<JavaVMInitArgs*>(arguments);
    EXPECT_EQ(init->version, JNI_VERSION_1_6);
    EXPECT_EQ(init->ignoreUnrecognized, JNI_TRUE);
    std::vector<std::string> options;
    for (jint i = 0; i < init->nOptions; ++i) options.emplace_back(init->options[i].optionString);
    creations.push_back(options);
    *vm = nullptr;
    *env = nullptr;
    return creationResult;
}

class VmHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        creations.clear();
        creationResult = -1;
        system.modulePath = dir / "Tavelin";
        system.entryPoint = reinterpret_cast<void*>(&fakeCreate);
        writeBytes(dir / launcher::RUNTIME_LIBRARY_PATH, {0x7F, 'E', 'L', 'F'});
        std::filesystem::create_directories(dir / "jre7/bin");
    }

    std::string settingFile() const { return dir / "jre7/bin/jvm.set"; }

    // Takes the VM's steps as a start of the launcher does (launcherMain),
    // and ends as that does when one fails (the outcome's notice shown).
    launcher::Outcome run() {
        launcher::Install install;
        launcher::findInstall(system, install);
        std::optional<launcher::Outcome> outcome = launcher::findRuntime(install);
        if (!outcome) {
            launcher::loadRuntime(system, install, &host);
            system.setCurrentDirectory(install.directory);
            outcome = launcher::findVmEntry(system, &host);
        }
        if (!outcome) outcome = launcher::runJava(system, install, launcher::prepareVmFolders(system, install), &host);
        if (!outcome) return launcher::Outcome::CLIENT_ENDED;
        launcher::finishLaunch(system, *outcome, host.creationResult, nullptr);
        return *outcome;
    }

    TempDir dir;
    FakeSystem system;
    launcher::VmHost host{};
};

TEST_F(VmHostTest, FailedCreationHalvesTheSettingAndAsksForARestart) {
    EXPECT_EQ(run(), launcher::Outcome::COPY_TOOK_OVER);
    EXPECT_EQ(readBytes(settingFile()), (std::vector<unsigned char>{0x01, 0xC2}));  // 450
    EXPECT_EQ(system.copiesStarted, std::vector<std::string>{system.modulePath});
    EXPECT_TRUE(system.notices.empty());
    EXPECT_EQ(system.librariesFreed, 1);
    EXPECT_EQ(host.library, nullptr);
    EXPECT_EQ(system.directories, (std::vector<std::string>{dir / "jre7/bin", dir.path()}));
}

TEST_F(VmHostTest, BelowTheFloorTheLauncherGivesUpWithANotice) {
    writeBytes(settingFile(), {0x00, 0x70});  // 112
    creationResult = -4;
    EXPECT_EQ(run(), launcher::Outcome::VM_NOT_STARTED);
    EXPECT_EQ(readBytes(settingFile()), (std::vector<unsigned char>{0x00, 0x38}));  // 56
    EXPECT_EQ(system.notices, (std::vector<std::u16string>{std::u16string(launcher::NOTICE_VM_NOT_STARTED) + u"-4"}));

    // A stored 56 reads as 64 and fails down to 32.
    system.notices.clear();
    host = launcher::VmHost{};
    creationResult = -1;
    EXPECT_EQ(run(), launcher::Outcome::VM_NOT_STARTED);
    EXPECT_EQ(creations.back()[0], "-Xmx64m");
    EXPECT_EQ(readBytes(settingFile()), (std::vector<unsigned char>{0x00, 0x20}));
    EXPECT_EQ(system.notices, (std::vector<std::u16string>{std::u16string(launcher::NOTICE_VM_NOT_STARTED) + u"-1"}));
}

TEST_F(VmHostTest, LibraryThatDoesNotLoadOrHasNoEntry) {
    system.libraryLoads = false;
    EXPECT_EQ(run(), launcher::Outcome::RUNTIME_NOT_LOADED);
    EXPECT_EQ(system.notices, (std::vector<std::u16string>{launcher::NOTICE_RUNTIME_NOT_LOADED}));
    EXPECT_EQ(system.librariesLoaded, (std::vector<std::string>{dir / launcher::RUNTIME_LIBRARY_PATH}));
    EXPECT_EQ(system.libraryDirectories, (std::vector<std::string>{dir / "jre7/bin"}))
        << "the runtime's dependencies come from its own bin folder";
    EXPECT_EQ(system.directories.back(), dir.path()) << "the launcher's directory is current on every path";

    system.libraryLoads = true;
    system.entryPoint = nullptr;
    system.notices.clear();
    EXPECT_EQ(run(), launcher::Outcome::NO_VM_ENTRY);
    EXPECT_EQ(system.notices, (std::vector<std::u16string>{launcher::NOTICE_NO_VM_ENTRY}));
    EXPECT_EQ(system.librariesFreed, 1);
    EXPECT_FALSE(std::filesystem::exists(settingFile()));
    EXPECT_TRUE(creations.empty());
}

TEST_F(VmHostTest, ASettingThatCannotBeStoredEndsTheChain) {
    // A directory in its place: it cannot be opened for writing (nor read
    // as a setting), and the runtime beside it stays where it is. A copy
    // would read 900 again and fail again, without end.
    std::filesystem::create_directories(settingFile());
    EXPECT_EQ(run(), launcher::Outcome::VM_NOT_STARTED);
    EXPECT_EQ(system.notices, (std::vector<std::u16string>{std::u16string(launcher::NOTICE_VM_NOT_STARTED) + u"-1"}));
    EXPECT_EQ(system.librariesFreed, 1);
    EXPECT_EQ(host.creationResult, -1);

    // A file that takes the bytes and then fails them (a full disk).
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_FALSE(launcher::storeHeapSetting("/dev/full", 450));
    }
    EXPECT_TRUE(launcher::storeHeapSetting((dir / "stored").c_str(), 450));
    EXPECT_EQ(readBytes(dir / "stored"), (std::vector<unsigned char>{0x01, 0xC2}));
}

TEST_F(VmHostTest, WithoutItsOwnPathTheLauncherLooksNowhereElse) {
    system.moduleReadable = false;
    EXPECT_EQ(run(), launcher::Outcome::RUNTIME_MISSING);
    EXPECT_EQ(system.notices, (std::vector<std::u16string>{launcher::NOTICE_RUNTIME_MISSING}));
    EXPECT_TRUE(system.librariesLoaded.empty());
}

#ifndef _WIN32
TEST_F(VmHostTest, AHeapSettingThatIsNoRegularFileCountsAsMissingAndIsReplaced) {
    // A link to a file elsewhere: neither read nor written through.
    const std::string elsewhere = dir / "elsewhere";
    writeBytes(elsewhere, {0x00, 0x80});
    std::filesystem::create_symlink(elsewhere, settingFile());
    EXPECT_EQ(run(), launcher::Outcome::COPY_TOOK_OVER);
    EXPECT_EQ(creations.back()[0], "-Xmx900m");
    EXPECT_EQ(readBytes(elsewhere), (std::vector<unsigned char>{0x00, 0x80}));
    EXPECT_FALSE(std::filesystem::is_symlink(settingFile()));
    EXPECT_EQ(readBytes(settingFile()), (std::vector<unsigned char>{0x01, 0xC2}));

    // A pipe: the start does not wait for a writer, and the pipe is
    // replaced the same way.
    std::filesystem::remove(settingFile());
    ASSERT_EQ(mkfifo(settingFile().c_str(), 0644), 0);
    host = launcher::VmHost{};
    EXPECT_EQ(run(), launcher::Outcome::COPY_TOOK_OVER);
    EXPECT_EQ(creations.back()[0], "-Xmx900m");
    EXPECT_EQ(readBytes(settingFile()), (std::vector<unsigned char>{0x01, 0xC2}));
}
#endif

TEST_F(VmHostTest, APinnedFolderThatIsNoFolderPointsWhereNothingCanBeMade) {
    // A file where the dump folder belongs: the VM would write the heap
    // dump into it, or follow it wherever it leads.
    writeBytes(dir / "dumps", {'x'});
    run();
    ASSERT_FALSE(creations.empty());
    const std::vector<std::string>& options = creations.back();
    const std::string nowhere = system.modulePath + platform::PATH_SEPARATOR + "dumps";
    for (const std::string& option :
         {"-XX:HeapDumpPath=" + nowhere, "-XX:ErrorFile=" + nowhere + platform::PATH_SEPARATOR + "hs_err_pid%p.log",
          "-Djava.io.tmpdir=" + (dir / "temp")}) {
        EXPECT_NE(std::find(options.begin(), options.end(), option), options.end()) << option;
    }
    EXPECT_EQ(readBytes(dir / "dumps"), (std::vector<unsigned char>{'x'}));
}

TEST(WriteAll, WritesEverythingAndClosesTheFile) {
    TempDir dir;
    FILE* file = std::fopen((dir / "out").c_str(), "wb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(launcher::writeAll(3, "abc", file), 0);
    EXPECT_EQ(launcher_test::readText(dir / "out"), "abc");

    // A stream opened for reading takes no bytes: reported, still closed.
    FILE* readOnly = std::fopen((dir / "out").c_str(), "rb");
    ASSERT_NE(readOnly, nullptr);
    EXPECT_EQ(launcher::writeAll(3, "xyz", readOnly), 1);
    EXPECT_EQ(launcher_test::readText(dir / "out"), "abc");
}

}  // namespace
