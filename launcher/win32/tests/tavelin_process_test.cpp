// The built Tavelin.exe as a 32-bit Windows program: copied into install
// directories beside a stand-in jvm.dll and run as its own process, the way
// a workstation runs it (headless here, so its notices return at once).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/win32/tests/windows_install.h"
#include "platform/platform.h"

namespace {

using windows_test::InstallDir;
using windows_test::readBytes;
using windows_test::readLines;

const wchar_t RUNTIME[] = L"jre7\\bin\\client\\jvm.dll";
const wchar_t RUNTIME_LOG[] = L"jre7\\bin\\client\\runtime.log";
const wchar_t HEAP_SETTING[] = L"jre7\\bin\\jvm.set";

// Started from elsewhere: the launcher must find everything beside itself.
std::filesystem::path elsewhere() {
    wchar_t temp[MAX_PATH] = {0};
    GetTempPathW(MAX_PATH, temp);
    return std::filesystem::path(temp);
}

std::vector<std::string> linesStartingWith(const std::vector<std::string>& lines, const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& line : lines) {
        if (line.compare(0, prefix.size(), prefix) == 0) found.push_back(line);
    }
    return found;
}

TEST(TavelinProcess, FailedCreationRestartsWithHalfTheHeapDownToTheFloor) {
    InstallDir dir;
    ASSERT_TRUE(dir.add(TAVELIN_PATH, L"Tavelin.exe"));
    ASSERT_TRUE(dir.add(FAILING_RUNTIME_PATH, RUNTIME));

    EXPECT_EQ(windows_test::run(dir / L"Tavelin.exe", L"", elsewhere()), 0u);
    // The first process ends after starting the next; the last one ends
    // after its notice, which a headless Wine dismisses at once.
    windows_test::waitForProcessesIn(dir.path(), L"Tavelin.exe");

    const std::vector<std::string> log = readLines(dir / RUNTIME_LOG);
    EXPECT_EQ(linesStartingWith(log, "option -Xmx"),
              (std::vector<std::string>{"option -Xmx900m", "option -Xmx450m", "option -Xmx225m", "option -Xmx112m"}));
    // One creation per process, each started without arguments (the
    // install path has a blank and then a number) and standing in the
    // launcher's directory.
    EXPECT_EQ(linesStartingWith(log, "create "),
              std::vector<std::string>(4, "create version=65542 options=5 ignoreUnrecognized=1 arguments=0"));
    EXPECT_EQ(linesStartingWith(log, "directory "),
              std::vector<std::string>(4, "directory " + windows_test::narrow(dir.path())));
    EXPECT_EQ(linesStartingWith(log, "loaded in "),
              std::vector<std::string>(4, "loaded in " + windows_test::narrow(dir / L"jre7\\bin")));
    EXPECT_TRUE(linesStartingWith(log, "unexpected").empty());
    EXPECT_EQ(readBytes(dir / HEAP_SETTING), (std::vector<unsigned char>{0x00, 0x38}));  // 56: the chain stopped
}

TEST(TavelinProcess, HandsTheBootstrapClassTheLaunchStrings) {
    InstallDir dir;
    ASSERT_TRUE(dir.add(TAVELIN_PATH, L"Tavelin.exe"));
    ASSERT_TRUE(dir.add(RECORDING_RUNTIME_PATH, RUNTIME));
    const std::vector<unsigned char> bootstrapClass = readBytes(windows_test::hostPath(BOOTSTRAP_CLASS_FILE));
    ASSERT_GT(bootstrapClass.size(), 4u);

    EXPECT_EQ(windows_test::run(dir / L"Tavelin.exe", L"", elsewhere()), 0u);
    windows_test::waitForProcessesIn(dir.path(), L"Tavelin.exe");

    std::vector<std::string> expected = {
        "loaded in " + windows_test::narrow(dir / L"jre7\\bin"),
        "create version=65542 options=5 ignoreUnrecognized=1 arguments=0",
        "directory " + windows_test::narrow(dir.path()),
        "option -Xmx900m",
        "option -Xms32m",
        "option -XX:+CreateMinidumpOnCrash",
        "option -XX:+HeapDumpOnOutOfMemoryError",
        "option -Dhttps.protocols=TLSv1",
        "DefineClass com/mirl/runbed/Main loader=null length=" + std::to_string(bootstrapClass.size()) +
            " head=cafebabe",
        "GetStaticMethodID Main main ([Ljava/lang/String;)V",
        "FindClass java/lang/String",
        "NewObjectArray 6 of String initial=null",
    };
    const char* launchStrings[] = {"./cjars",      ".app",       "7305518826140943", "com.qv.java.client.QvClientMain",
                                   "startServer", "endServer"};
    for (int i = 0; i < 6; ++i) {
        const std::string text = launchStrings[i];
        expected.push_back("NewStringUTF " + text);
        expected.push_back("SetObjectArrayElement String[][" + std::to_string(i) + "] = " + text);
        expected.push_back("DeleteLocalRef " + text);
    }
    // main returned: the process ends at once, the VM is not destroyed.
    expected.push_back("CallStaticVoidMethod Main main String[]");
    EXPECT_EQ(readLines(dir / RUNTIME_LOG), expected);

    // The class defined is the embedded one, byte for byte.
    EXPECT_EQ(readBytes(dir / L"jre7\\bin\\client\\defined.class"), bootstrapClass);
    // A VM that started leaves the heap setting alone.
    EXPECT_FALSE(std::filesystem::exists(dir / HEAP_SETTING));
}

TEST(TavelinProcess, WithoutARuntimeItShowsItsNoticeAndEnds) {
    // Headless, a notice returns at once instead of waiting for a click.
    platform::messageBox(u"加载虚拟机失败", u"提示");

    InstallDir dir;
    ASSERT_TRUE(dir.add(TAVELIN_PATH, L"Tavelin.exe"));
    EXPECT_EQ(windows_test::run(dir / L"Tavelin.exe", L"", elsewhere()), 0u);

    // A one-byte jvm.dll counts as missing: nothing is loaded or written.
    std::ofstream(dir / RUNTIME, std::ios::binary) << 'M';
    EXPECT_EQ(windows_test::run(dir / L"Tavelin.exe", L"", elsewhere()), 0u);
    windows_test::waitForProcessesIn(dir.path(), L"Tavelin.exe");
    EXPECT_FALSE(std::filesystem::exists(dir / HEAP_SETTING));
}

TEST(TavelinProcess, AfterADelayItEndsItsTreeAndTheSiblingPrograms) {
    InstallDir dir;
    InstallDir other;
    ASSERT_TRUE(dir.add(TAVELIN_PATH, L"Tavelin.exe"));  // no runtime: it ends right after the termination
    ASSERT_TRUE(dir.add(SLEEPER_PATH, L"jre7\\bin\\javaw.exe"));
    ASSERT_TRUE(other.add(SLEEPER_PATH, L"Orvanta.exe"));
    ASSERT_TRUE(other.add(SLEEPER_PATH, L"OrvantaServer.exe"));
    ASSERT_TRUE(other.add(SLEEPER_PATH, L"Bystander.exe"));
    HANDLE inTree = windows_test::startSleeper(dir / L"jre7\\bin\\javaw.exe", other.path());
    HANDLE sibling = windows_test::startSleeper(other / L"Orvanta.exe", other.path());
    HANDLE siblingServer = windows_test::startSleeper(other / L"OrvantaServer.exe", other.path());
    HANDLE bystander = windows_test::startSleeper(other / L"Bystander.exe", other.path());
    ASSERT_NE(inTree, nullptr);
    ASSERT_NE(sibling, nullptr);
    ASSERT_NE(siblingServer, nullptr);
    ASSERT_NE(bystander, nullptr);

    EXPECT_EQ(windows_test::run(dir / L"Tavelin.exe", L"1", elsewhere()), 0u);

    // Terminated with exit code 0; left alone, a sleeper would end with 7
    // only much later.
    EXPECT_EQ(windows_test::waitForExit(inTree), 0u);
    EXPECT_EQ(windows_test::waitForExit(sibling), 0u);
    EXPECT_EQ(windows_test::waitForExit(siblingServer), 0u);
    EXPECT_EQ(WaitForSingleObject(bystander, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "an unrelated program was ended";
    TerminateProcess(bystander, 1);
    windows_test::waitForExit(bystander);
}

}  // namespace
