// The start-up sequence: the delay argument and the restart decision.
#include <gtest/gtest.h>

#include <climits>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "launcher/install.h"
#include "launcher/launcher.h"
#include "launcher/layout.h"
#include "launcher/messages.h"
#include "launcher/output_log.h"
#include "launcher/startup_internal.h"
#include "launcher/tests/fake_system.h"
#include "launcher/tests/temp_dir.h"
#include "launcher/vm_host.h"

namespace {

using launcher_test::FakeSystem;

TEST(Startup, DelayIsReadLikeWtol) {
    EXPECT_EQ(launcher::parseDelay(u"2500"), 2500);
    EXPECT_EQ(launcher::parseDelay(u" \t+2500abc"), 2500);
    EXPECT_EQ(launcher::parseDelay(u"-200"), -200);
    EXPECT_EQ(launcher::parseDelay(u"letters"), 0);
    EXPECT_EQ(launcher::parseDelay(u""), 0);
    EXPECT_EQ(launcher::parseDelay(u"-"), 0);
    EXPECT_EQ(launcher::parseDelay(u"99999999999999999999"), INT32_MAX);
    EXPECT_EQ(launcher::parseDelay(u"-99999999999999999999"), INT32_MIN);
    EXPECT_EQ(launcher::parseDelay(u"2147483647"), INT32_MAX);
    EXPECT_EQ(launcher::parseDelay(u"-2147483648"), INT32_MIN);
}

TEST(Startup, OnlyAPositiveFirstArgumentWaitsAndEndsStaleProcesses) {
    using Args = std::vector<std::u16string>;
    for (const Args& arguments : {Args{}, Args{u"0"}, Args{u"-200"}, Args{u"abc"}, Args{u"0", u"5000"}}) {
        FakeSystem system;
        EXPECT_EQ(launcher::startupDelay(system, arguments), 0);
        launcher::launcherMain(system, arguments);
        EXPECT_TRUE(system.sleeps.empty());
        EXPECT_EQ(system.listCalls, 0) << "no stale-instance termination without a delay";
    }
    struct Case {
        std::u16string argument;
        uint32_t wait;
    };
    for (const Case& c : {Case{u"2500", 2500}, Case{u"15000", 10000}, Case{u"2500abc", 2500}}) {
        FakeSystem system;
        system.processes = {{2, "/opt/shop/old"}};
        // No runtime beside /opt/shop/Tavelin: the start ends after them.
        launcher::launcherMain(system, {c.argument, u"ignored"});
        EXPECT_EQ(system.sleeps, std::vector<uint32_t>{c.wait});
        EXPECT_EQ(system.terminated, std::vector<uint32_t>{2});
    }
}

jint JNICALL failingCreate(JavaVM**, void**, void*) { return -1; }

// A launcher in dir beside a runtime whose VM creation fails.
void installWithFailingRuntime(const launcher_test::TempDir& dir, FakeSystem& system) {
    system.modulePath = dir / "Tavelin";
    system.entryPoint = reinterpret_cast<void*>(&failingCreate);
    launcher_test::writeBytes(dir / launcher::RUNTIME_LIBRARY_PATH, {1, 2, 3});
    std::filesystem::create_directories(dir / "jre7/bin");
}

TEST(Startup, RestartsItselfOnlyWhenTheVmCouldNotBeCreated) {
    launcher_test::TempDir dir;
    FakeSystem system;
    installWithFailingRuntime(dir, system);
    system.variablesSet = {"_JAVA_OPTIONS"};

    EXPECT_EQ(launcher::launcherMain(system, {}), launcher::exitCode(launcher::Outcome::COPY_TOOK_OVER));
    EXPECT_EQ(system.copiesStarted, std::vector<std::string>{system.modulePath});
    EXPECT_TRUE(system.notices.empty());
    // The runtime is loaded standing in its own folder; then the
    // launcher's directory is the working directory.
    EXPECT_EQ(system.directories, (std::vector<std::string>{dir / "jre7/bin", dir.path()}));
    // The VM of every copy is created without the options of the
    // environment; one that was set is named in the output.
    EXPECT_EQ(system.variablesRemoved, (std::vector<std::string>{"JAVA_TOOL_OPTIONS", "_JAVA_OPTIONS"}));
    char removed[128];
    std::snprintf(removed, sizeof removed, launcher::OPTION_VARIABLE_REMOVED_LINE, "_JAVA_OPTIONS");
    EXPECT_EQ(system.output, removed);

    // A copy that cannot be started is the end of the chain.
    system.copiesStart = false;
    system.copiesStarted.clear();
    EXPECT_EQ(launcher::launcherMain(system, {}), launcher::exitCode(launcher::Outcome::VM_NOT_STARTED));
    EXPECT_EQ(system.copiesStarted.size(), 1u);
    EXPECT_EQ(system.notices, (std::vector<std::u16string>{std::u16string(launcher::NOTICE_VM_NOT_STARTED) + u"-1"}));

    // Below the floor: a notice, no restart.
    launcher_test::writeBytes(dir / "jre7/bin/jvm.set", {0x00, 0x40});
    system.copiesStarted.clear();
    system.notices.clear();
    EXPECT_EQ(launcher::launcherMain(system, {}), launcher::exitCode(launcher::Outcome::VM_NOT_STARTED));
    EXPECT_TRUE(system.copiesStarted.empty());
    EXPECT_EQ(system.notices.size(), 1u);

    // No runtime at all: a notice, no restart.
    std::filesystem::remove(dir / launcher::RUNTIME_LIBRARY_PATH);
    EXPECT_EQ(launcher::launcherMain(system, {}), launcher::exitCode(launcher::Outcome::RUNTIME_MISSING));
    EXPECT_TRUE(system.copiesStarted.empty());
    EXPECT_TRUE(system.redirections.empty()) << "standard streams that work are kept";
}

// The output log of the install that system's own path gives.
bool openLog(FakeSystem& system, char (&path)[launcher::FORMATTED_PATH_SIZE]) {
    launcher::Install install;
    launcher::findInstall(system, install);
    return launcher::openOutputLog(system, install, path);
}

TEST(Startup, StandardStreamsThatLeadNowhereGoToTheLogBesideTheLauncher) {
    launcher_test::TempDir dir;
    FakeSystem system;
    system.modulePath = dir / "Tavelin";
    system.unusableStreams = platform::STANDARD_OUTPUT | platform::STANDARD_ERROR;
    const std::string log = dir / launcher::OUTPUT_LOG_NAME;
    char path[launcher::FORMATTED_PATH_SIZE];

    // Up to the limit the log is appended to.
    launcher_test::writeBytes(log, std::vector<unsigned char>(launcher::OUTPUT_LOG_LIMIT, 'a'));
    EXPECT_TRUE(openLog(system, path));
    EXPECT_EQ(std::string(path), log);
    EXPECT_FALSE(std::filesystem::exists(log + ".1"));
    launcher::closeOutputLog(system);
    // Beyond it, it becomes the one earlier generation.
    launcher_test::writeBytes(log, std::vector<unsigned char>(launcher::OUTPUT_LOG_LIMIT + 1, 'b'));
    launcher_test::writeBytes(log + ".1", {'o', 'l', 'd'});
    EXPECT_TRUE(openLog(system, path));
    EXPECT_EQ(std::filesystem::file_size(log + ".1"), static_cast<uintmax_t>(launcher::OUTPUT_LOG_LIMIT + 1));
    EXPECT_EQ(std::filesystem::file_size(log), 0u);
    // Through the log writer's pipe.
    EXPECT_EQ(system.pipeRedirections, (std::vector<unsigned>(2, 3u)));
    EXPECT_EQ(system.threadsStarted, 2);
    launcher::closeOutputLog(system);
    // At the end the streams leave the pipe for the null device.
    using Redirection = std::pair<unsigned, std::string>;
    EXPECT_EQ(system.redirections, (std::vector<Redirection>(2, Redirection{3u, platform::NULL_DEVICE})));

    // Only what leads nowhere is redirected; without its own path the
    // launcher has no place for a log.
    system.pipeRedirections.clear();
    system.unusableStreams = platform::STANDARD_ERROR;
    EXPECT_TRUE(openLog(system, path));
    EXPECT_EQ(system.pipeRedirections, (std::vector<unsigned>{2u}));
    launcher::closeOutputLog(system);
    system.moduleReadable = false;
    EXPECT_FALSE(openLog(system, path));
    EXPECT_STREQ(path, "");
}

// A System whose log writer runs for real (the machine's pipe, thread and
// file), while the streams it would send into the pipe stay the test's: the
// test writes into the pipe itself.
class LogWriterSystem : public FakeSystem {
public:
    void* writeEnd = nullptr;
    bool createPipe(void*& readEnd, void*& write) override { return platform::System::createPipe(readEnd, write); }
    void* startThread(void (*run)(void*), void* argument) override {
        return platform::System::startThread(run, argument);
    }
    bool waitForThread(void* thread, uint32_t milliseconds) override {
        return platform::System::waitForThread(thread, milliseconds);
    }
    bool redirectStandardStreamsToPipe(unsigned, void* write) override {
        writeEnd = write;
        return true;
    }
    void writePipe(const std::string& text) {
#ifdef _WIN32
        DWORD written = 0;
        WriteFile(static_cast<HANDLE>(writeEnd), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
#else
        EXPECT_EQ(write(static_cast<int>(reinterpret_cast<intptr_t>(writeEnd)), text.data(), text.size()),
                  static_cast<ssize_t>(text.size()));
#endif
    }
    void closePipe() {
#ifdef _WIN32
        CloseHandle(static_cast<HANDLE>(writeEnd));
#else
        close(static_cast<int>(reinterpret_cast<intptr_t>(writeEnd)));
#endif
    }
};

TEST(Startup, TwoProcessesWritingOneLogNeverCutEachOthersLines) {
    launcher_test::TempDir dir;
    LogWriterSystem system;
    system.modulePath = dir / "Tavelin";
    system.unusableStreams = platform::STANDARD_OUTPUT | platform::STANDARD_ERROR;
    char path[launcher::FORMATTED_PATH_SIZE];
    ASSERT_TRUE(openLog(system, path));
    ASSERT_NE(system.writeEnd, nullptr);

    // Half a line reaches the writer; meanwhile another process appends a
    // whole line of its own.
    system.writePipe("the first half of a line, ");
    system.platform::System::sleepMilliseconds(200);
    platform::System other;
    void* file = other.openLogFile(path);
    ASSERT_NE(file, nullptr);
    other.appendLogFile(file, "a line of another process\n", 26);
    other.closeLogFile(file);
    system.writePipe("its second half\nand a last line without its end");
    system.closePipe();
    launcher::closeOutputLog(system);
    EXPECT_EQ(launcher_test::readText(path),
              "a line of another process\nthe first half of a line, its second half\nand a last line without its end");
}

TEST(Startup, AnInstallOthersCanChangeIsNamedAndStillStarts) {
    launcher_test::TempDir dir;
    FakeSystem system;
    installWithFailingRuntime(dir, system);
    system.writableByOthersPaths = {dir.path(), dir / launcher::PACKAGE_FOLDER};

    EXPECT_EQ(launcher::launcherMain(system, {}), launcher::exitCode(launcher::Outcome::COPY_TOOK_OVER));
    char line[4096];
    std::snprintf(line, sizeof line, launcher::INSTALL_WRITABLE_LINE,
                  (dir.path() + ", " + (dir / launcher::PACKAGE_FOLDER)).c_str());
    EXPECT_EQ(system.output, line);

    // The heap setting is looked at too.
    launcher_test::writeBytes(dir / "jre7/bin/jvm.set", {0x03, 0x84});
    system.writableByOthersPaths = {dir / "jre7/bin/jvm.set"};
    system.output.clear();
    launcher::launcherMain(system, {});
    std::snprintf(line, sizeof line, launcher::INSTALL_WRITABLE_LINE, (dir / "jre7/bin/jvm.set").c_str());
    EXPECT_EQ(system.output, line);
}

}  // namespace
