// The built Tavelin.exe as a 32-bit Windows program: copied into install
// directories beside a stand-in jvm.dll and run as its own process, the way
// a workstation runs it (headless here, so its notices return at once, and
// only the exit code and the files tell what happened).
#include <gtest/gtest.h>
// windows.h (through windows_install.h) first: sddl.h and aclapi.h need its types.
#include "launcher/win32/tests/windows_install.h"

#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "launcher/launcher.h"
#include "launcher/messages.h"
#include "platform/platform.h"
#include "tavelin/launch_strings.h"

namespace {

using windows_test::InstallDir;
using windows_test::readBytes;
using windows_test::readLines;
using windows_test::readText;

const wchar_t RUNTIME[] = L"jre7\\bin\\client\\jvm.dll";
const wchar_t RUNTIME_LOG[] = L"jre7\\bin\\client\\runtime.log";
const wchar_t HEAP_SETTING[] = L"jre7\\bin\\jvm.set";
const wchar_t STAND_IN_MODE[] = L"jre7\\bin\\client\\stand-in.mode";

// Tavelin's exit codes, as a process's exit code reads.
constexpr DWORD EXIT_NO_VM = launcher::exitCode(launcher::Outcome::VM_NOT_STARTED);
constexpr DWORD EXIT_NO_BOOTSTRAP = launcher::exitCode(launcher::Outcome::NO_BOOTSTRAP_CLASS);
constexpr DWORD EXIT_NO_CLIENT = launcher::exitCode(launcher::Outcome::NO_CLIENT);
constexpr DWORD EXIT_MAIN_THREW = launcher::exitCode(launcher::Outcome::MAIN_THREW);
constexpr DWORD EXIT_START_FAILED = launcher::exitCode(launcher::Outcome::START_FAILED);

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

// A runtime whose VM creation always fails, in dir: the launcher restarts
// itself with half the heap each time, down to the floor.
void expectRestartChainDownToTheFloor(const InstallDir& dir) {
    ASSERT_FALSE(dir.path().empty());
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
              std::vector<std::string>(4, "create version=65542 options=11 ignoreUnrecognized=1 arguments=0"));
    EXPECT_EQ(linesStartingWith(log, "directory "),
              std::vector<std::string>(4, "directory " + windows_test::narrow(dir.path())));
    EXPECT_EQ(linesStartingWith(log, "loaded in "),
              std::vector<std::string>(4, "loaded in " + windows_test::narrow(dir / L"jre7\\bin")));
    EXPECT_TRUE(linesStartingWith(log, "unexpected").empty());
    EXPECT_EQ(readBytes(dir / HEAP_SETTING), (std::vector<unsigned char>{0x00, 0x38}));  // 56: the chain stopped
}

TEST(TavelinProcess, FailedCreationRestartsWithHalfTheHeapDownToTheFloor) {
    InstallDir dir;
    expectRestartChainDownToTheFloor(dir);
}

// Greek, CJK and an emoji (a surrogate pair): no ANSI code page has all.
const wchar_t UNSPELLABLE[] = L" \x0391\x03B8\x03AE\x03BD\x03B1 \x5317\x4EAC \xD83D\xDE00";

TEST(TavelinProcess, AnInstallFolderTheCodePageCannotSpellWorksThroughout) {
    BOOL lost = FALSE;
    char ansi[64] = {0};
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, UNSPELLABLE, -1, ansi, sizeof ansi, nullptr, &lost);
    ASSERT_TRUE(lost) << "the system code page can spell the folder name; the test proves nothing here";

    // The start, the runtime loaded from the folder, jvm.set read and
    // written there, and every restarted copy started from it.
    InstallDir dir(UNSPELLABLE);
    expectRestartChainDownToTheFloor(dir);
}

TEST(TavelinProcess, HandsTheBootstrapClassTheLaunchStrings) {
    InstallDir dir;
    ASSERT_TRUE(dir.add(TAVELIN_PATH, L"Tavelin.exe"));
    ASSERT_TRUE(dir.add(RECORDING_RUNTIME_PATH, RUNTIME));
    const std::vector<unsigned char> bootstrapClass = readBytes(windows_test::hostPath(BOOTSTRAP_CLASS_FILE));
    ASSERT_GT(bootstrapClass.size(), 4u);
    // A crash report and a minidump an earlier VM left in its working
    // directory, beside the launcher.
    std::ofstream(dir / L"hs_err_pid7.log") << "report";
    std::ofstream(dir / L"hs_err_pid7.mdmp") << "memory";

    EXPECT_EQ(windows_test::run(dir / L"Tavelin.exe", L"", elsewhere()), 0u);
    windows_test::waitForProcessesIn(dir.path(), L"Tavelin.exe");

    // The machine's own library folders, after the installation's.
    wchar_t system[MAX_PATH] = {0};
    wchar_t windows[MAX_PATH] = {0};
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    ASSERT_GT(GetSystemWindowsDirectoryW(windows, MAX_PATH), 0u);

    std::vector<std::string> expected = {
        "loaded in " + windows_test::narrow(dir / L"jre7\\bin"),
        "create version=65542 options=11 ignoreUnrecognized=1 arguments=0",
        "directory " + windows_test::narrow(dir.path()),
        "option -Xmx900m",
        "option -Xms32m",
        "option -XX:+CreateMinidumpOnCrash",
        "option -XX:+HeapDumpOnOutOfMemoryError",
        "option -Dhttps.protocols=TLSv1,TLSv1.1,TLSv1.2",
        // Added: the VM's folders inside the installation, and its hooks.
        "option -Djava.library.path=" + windows_test::narrow(dir.path()) + ";" +
            windows_test::narrow(dir / L"jre7\\bin") + ";" + windows_test::narrow(system) + ";" +
            windows_test::narrow(windows),
        "option -Djava.io.tmpdir=" + windows_test::narrow(dir / L"temp"),
        "option -XX:HeapDumpPath=" + windows_test::narrow(dir / L"dumps"),
        "option -XX:ErrorFile=" + windows_test::narrow(dir / L"dumps\\hs_err_pid%p.log"),
        "option exit",
        "option abort",
        "DefineClass com/mirl/runbed/Main loader=null length=" + std::to_string(bootstrapClass.size()) +
            " head=cafebabe",
        // The launcher's hashing for the class's package signature checks.
        "RegisterNatives Main nativeSha256 ([BII[B)Z",
        "nativeSha256 of no array = false",
        "GetStaticMethodID Main main ([Ljava/lang/String;)V",
        "FindClass java/lang/String",
        "NewObjectArray 6 of String initial=null",
    };
    for (int i = 0; i < tavelin::LAUNCH_STRING_COUNT; ++i) {
        const std::string text = tavelin::LAUNCH_STRINGS[i];
        expected.push_back("NewStringUTF " + text);
        expected.push_back("SetObjectArrayElement String[][" + std::to_string(i) + "] = " + text);
        expected.push_back("DeleteLocalRef " + text);
    }
    // main returned: how did its last load cycle end? Then the VM ends
    // the process, with the client's exit code (its shutdown hooks run);
    // it is not destroyed first.
    expected.push_back("CallStaticVoidMethod Main main String[]");
    expected.push_back("ExceptionCheck false");
    expected.push_back("GetStaticFieldID Main cycleOutcome I");
    expected.push_back("GetStaticIntField Main cycleOutcome");
    expected.push_back("ExceptionCheck false");
    expected.push_back("FindClass java/lang/System");
    expected.push_back("GetStaticMethodID System exit (I)V");
    expected.push_back("CallStaticVoidMethod System exit 0");
    EXPECT_EQ(readLines(dir / RUNTIME_LOG), expected);

    // The class defined is the embedded one, byte for byte.
    EXPECT_EQ(readBytes(dir / L"jre7\\bin\\client\\defined.class"), bootstrapClass);
    // A VM that started leaves the heap setting alone.
    EXPECT_FALSE(std::filesystem::exists(dir / HEAP_SETTING));
    // What the crash left beside the launcher is in the private folder.
    EXPECT_EQ(readText(dir / L"dumps\\hs_err_pid7.log"), "report");
    EXPECT_EQ(readText(dir / L"dumps\\hs_err_pid7.mdmp"), "memory");
    EXPECT_FALSE(std::filesystem::exists(dir / L"hs_err_pid7.log"));
    EXPECT_FALSE(std::filesystem::exists(dir / L"hs_err_pid7.mdmp"));
}

TEST(TavelinProcess, ASettingThatCannotBeStoredEndsTheChainAtOnce) {
    for (const bool readOnly : {false, true}) {
        const char* what = readOnly ? "a read-only jvm.set" : "a folder named jvm.set";
        InstallDir dir;
        ASSERT_TRUE(dir.add(TAVELIN_PATH, L"Tavelin.exe"));
        ASSERT_TRUE(dir.add(FAILING_RUNTIME_PATH, RUNTIME));
        const std::filesystem::path setting = dir / HEAP_SETTING;
        if (readOnly) {
            std::ofstream(setting, std::ios::binary) << '\x03' << '\x84';
            ASSERT_TRUE(SetFileAttributesW(setting.c_str(), FILE_ATTRIBUTE_READONLY));
            // Wine keeps the attribute in the file's mode bits, which a
            // root user may ignore: the case means something only where it
            // holds.
            HANDLE writer = CreateFileW(setting.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            if (writer != INVALID_HANDLE_VALUE) {
                CloseHandle(writer);
                SetFileAttributesW(setting.c_str(), FILE_ATTRIBUTE_NORMAL);
                GTEST_SKIP() << "the read-only attribute is not honoured here";
            }
        } else {
            std::filesystem::create_directories(setting);
        }

        EXPECT_EQ(windows_test::run(dir / L"Tavelin.exe", L"", elsewhere()), EXIT_NO_VM) << what;
        windows_test::waitForProcessesIn(dir.path(), L"Tavelin.exe");
        // One process, one creation: no copy was started.
        EXPECT_EQ(linesStartingWith(readLines(dir / RUNTIME_LOG), "option -Xmx"),
                  std::vector<std::string>{"option -Xmx900m"})
            << what;
        if (readOnly) {
            EXPECT_EQ(readBytes(setting), (std::vector<unsigned char>{0x03, 0x84}));
            SetFileAttributesW(setting.c_str(), FILE_ATTRIBUTE_NORMAL);
        }
    }
}

TEST(TavelinProcess, WithoutStandardHandlesTheLogBesideTheLauncherTakesThem) {
    InstallDir dir;
    ASSERT_TRUE(dir.add(TAVELIN_PATH, L"Tavelin.exe"));
    ASSERT_TRUE(dir.add(RECORDING_RUNTIME_PATH, RUNTIME));
    const std::filesystem::path log = dir / L"Tavelin.log";

    // Started as from the desktop: the VM's streams and the C runtime's
    // (shared with Quenvil) reach the log.
    EXPECT_EQ(windows_test::runWithStandardHandles(dir / L"Tavelin.exe", elsewhere(), nullptr, nullptr), 0u);
    const std::string first = readText(log);
    EXPECT_NE(first.find("stand-in main: System.out"), std::string::npos) << first;
    EXPECT_NE(first.find("stand-in main: System.err"), std::string::npos) << first;
    EXPECT_NE(first.find("stand-in main: printf"), std::string::npos) << first;

    // main leaves an exception: described into the log, after what was there.
    std::ofstream(dir / STAND_IN_MODE) << "main-throws";
    EXPECT_EQ(windows_test::runWithStandardHandles(dir / L"Tavelin.exe", elsewhere(), nullptr, nullptr),
              EXIT_MAIN_THREW);
    const std::string second = readText(log);
    EXPECT_EQ(second.compare(0, first.size(), first), 0);
    EXPECT_NE(second.find("Exception in thread \"main\" stand-in.Error", first.size()), std::string::npos) << second;
    EXPECT_EQ(linesStartingWith(readLines(dir / RUNTIME_LOG), "ExceptionDescribe").size(), 1u);

    // No client, or a client that did not start: the notice (headless:
    // returns at once) and the exit code, through the VM.
    std::ofstream(dir / STAND_IN_MODE) << "no-client";
    EXPECT_EQ(windows_test::runWithStandardHandles(dir / L"Tavelin.exe", elsewhere(), nullptr, nullptr),
              EXIT_NO_CLIENT);
    std::ofstream(dir / STAND_IN_MODE) << "start-failed";
    EXPECT_EQ(windows_test::runWithStandardHandles(dir / L"Tavelin.exe", elsewhere(), nullptr, nullptr),
              EXIT_START_FAILED);
    EXPECT_EQ(linesStartingWith(readLines(dir / RUNTIME_LOG), "CallStaticVoidMethod System exit ").back(),
              "CallStaticVoidMethod System exit " + std::to_string(EXIT_START_FAILED));

    // Started with redirection: its own handles are kept.
    std::ofstream(dir / STAND_IN_MODE) << "";
    const auto logSize = std::filesystem::file_size(log);
    HANDLE out = windows_test::inheritableFile(dir / L"out.txt");
    HANDLE err = windows_test::inheritableFile(dir / L"err.txt");
    EXPECT_EQ(windows_test::runWithStandardHandles(dir / L"Tavelin.exe", elsewhere(), out, err), 0u);
    CloseHandle(out);
    CloseHandle(err);
    EXPECT_EQ(std::filesystem::file_size(log), logSize);
    const std::string outText = readText(dir / L"out.txt");
    EXPECT_NE(outText.find("stand-in main: System.out"), std::string::npos) << outText;
    EXPECT_NE(outText.find("stand-in main: printf"), std::string::npos) << outText;
    EXPECT_NE(readText(dir / L"err.txt").find("stand-in main: System.err"), std::string::npos);
}

// Tavelin beside the recording runtime set to play mode; the exit code.
DWORD runWithPlay(InstallDir& dir, const char* mode) {
    EXPECT_TRUE(dir.add(TAVELIN_PATH, L"Tavelin.exe"));
    EXPECT_TRUE(dir.add(RECORDING_RUNTIME_PATH, RUNTIME));
    std::ofstream(dir / STAND_IN_MODE) << mode;
    return windows_test::run(dir / L"Tavelin.exe", L"", elsewhere());
}

TEST(TavelinProcess, ARefusedBootstrapClassClosesTheVmWithoutRestart) {
    InstallDir dir;
    EXPECT_EQ(runWithPlay(dir, "refuse-define"), EXIT_NO_BOOTSTRAP);
    windows_test::waitForProcessesIn(dir.path(), L"Tavelin.exe");
    const std::vector<std::string> log = readLines(dir / RUNTIME_LOG);
    EXPECT_EQ(linesStartingWith(log, "create ").size(), 1u);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "DestroyJavaVM");
    EXPECT_TRUE(linesStartingWith(log, "GetStaticMethodID").empty());
    EXPECT_FALSE(std::filesystem::exists(dir / HEAP_SETTING));
}

TEST(TavelinProcess, WithoutItsArgumentArrayMainIsNotCalled) {
    InstallDir dir;
    EXPECT_EQ(runWithPlay(dir, "no-array"), EXIT_NO_BOOTSTRAP);
    const std::vector<std::string> log = readLines(dir / RUNTIME_LOG);
    EXPECT_EQ(linesStartingWith(log, "NewObjectArray ").size(), 1u);
    EXPECT_EQ(linesStartingWith(log, "ExceptionDescribe").size(), 1u);
    EXPECT_TRUE(linesStartingWith(log, "CallStaticVoidMethod Main").empty());
}

TEST(TavelinProcess, WithoutARuntimeItShowsItsNoticeAndEnds) {
    // Headless, a notice returns at once instead of waiting for a click.
    platform::System().messageBox(u"加载虚拟机失败", u"提示");

    InstallDir dir;
    ASSERT_TRUE(dir.add(TAVELIN_PATH, L"Tavelin.exe"));
    EXPECT_EQ(windows_test::run(dir / L"Tavelin.exe", L"", elsewhere()), EXIT_NO_VM);

    // A one-byte jvm.dll counts as missing: nothing is loaded or written.
    std::ofstream(dir / RUNTIME, std::ios::binary) << 'M';
    EXPECT_EQ(windows_test::run(dir / L"Tavelin.exe", L"", elsewhere()), EXIT_NO_VM);
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

    EXPECT_EQ(windows_test::run(dir / L"Tavelin.exe", L"1", elsewhere()), EXIT_NO_VM);

    // Terminated with exit code 0; left alone, a sleeper would end with 7
    // only much later.
    EXPECT_EQ(windows_test::waitForExit(inTree), 0u);
    EXPECT_EQ(windows_test::waitForExit(sibling), 0u);
    EXPECT_EQ(windows_test::waitForExit(siblingServer), 0u);
    EXPECT_EQ(WaitForSingleObject(bystander, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "an unrelated program was ended";
    TerminateProcess(bystander, 1);
    windows_test::waitForExit(bystander);
}

std::wstring upperCase(std::wstring text) {
    if (!text.empty()) CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

TEST(TavelinProcess, TheTreeAndTheSiblingNamesMatchInAnyLetterCase) {
    InstallDir dir;
    InstallDir other;
    ASSERT_TRUE(dir.add(TAVELIN_PATH, L"Tavelin.exe"));
    ASSERT_TRUE(dir.add(SLEEPER_PATH, L"jre7\\bin\\javaw.exe"));
    ASSERT_TRUE(other.add(SLEEPER_PATH, L"orvanta.exe"));
    ASSERT_TRUE(other.add(SLEEPER_PATH, L"ORVANTASERVER.EXE"));
    // Started by its path in capitals, the process in the tree carries
    // that spelling, the launcher's directory the one on disk.
    const std::filesystem::path shouted = upperCase((dir / L"jre7\\bin\\javaw.exe").wstring());
    HANDLE inTree = windows_test::startSleeper(shouted, other.path());
    HANDLE sibling = windows_test::startSleeper(other / L"orvanta.exe", other.path());
    HANDLE siblingServer = windows_test::startSleeper(other / L"ORVANTASERVER.EXE", other.path());
    ASSERT_NE(inTree, nullptr);
    ASSERT_NE(sibling, nullptr);
    ASSERT_NE(siblingServer, nullptr);
    const std::wstring seen = windows_test::imagePath(inTree);
    EXPECT_TRUE(seen.compare(0, dir.path().wstring().size(), dir.path().wstring()) != 0 &&
                windows_test::startsWithIgnoringCase(seen, dir.path().wstring()))
        << "the system reports the tree's process as spelt on disk, so the letter case goes untested";

    EXPECT_EQ(windows_test::run(dir / L"Tavelin.exe", L"1", elsewhere()), EXIT_NO_VM);

    EXPECT_EQ(windows_test::waitForExit(inTree), 0u);
    EXPECT_EQ(windows_test::waitForExit(sibling), 0u);
    EXPECT_EQ(windows_test::waitForExit(siblingServer), 0u);
}

// A drive letter of its own for the test (mapped around the test program to
// a fresh, empty folder), so that a launcher that took the root for its
// tree could end nothing but the test's own programs.
TEST(TavelinProcess, AtADriveRootItEndsOnlyTheSiblingPrograms) {
    const std::string drive = TEST_DRIVE;  // "T:"
    const std::filesystem::path root = std::wstring(drive.begin(), drive.end()) + L"\\";
    ASSERT_TRUE(std::filesystem::is_directory(root)) << "the test drive " << drive << " is not mapped";
    auto place = [&](const char* source, const wchar_t* relative) {
        std::filesystem::path target = root / relative;
        std::error_code ignored;
        std::filesystem::create_directories(target.parent_path(), ignored);
        return CopyFileW(windows_test::hostPath(source).c_str(), target.c_str(), FALSE) != FALSE;
    };
    ASSERT_TRUE(place(TAVELIN_PATH, L"Tavelin.exe"));  // no runtime: it ends right after the termination
    ASSERT_TRUE(place(SLEEPER_PATH, L"Neighbour.exe"));
    ASSERT_TRUE(place(SLEEPER_PATH, L"other\\Bystander.exe"));
    ASSERT_TRUE(place(SLEEPER_PATH, L"other\\Orvanta.exe"));
    ASSERT_TRUE(place(SLEEPER_PATH, L"other\\OrvantaServer.exe"));
    HANDLE neighbour = windows_test::startSleeper(root / L"Neighbour.exe", elsewhere());
    HANDLE bystander = windows_test::startSleeper(root / L"other\\Bystander.exe", elsewhere());
    HANDLE sibling = windows_test::startSleeper(root / L"other\\Orvanta.exe", elsewhere());
    HANDLE siblingServer = windows_test::startSleeper(root / L"other\\OrvantaServer.exe", elsewhere());
    ASSERT_TRUE(neighbour != nullptr && bystander != nullptr && sibling != nullptr && siblingServer != nullptr);
    EXPECT_TRUE(windows_test::startsWithIgnoringCase(windows_test::imagePath(bystander), root.wstring()))
        << "the system does not report the programs on the test drive by its letter";

    EXPECT_EQ(windows_test::run(root / L"Tavelin.exe", L"1", elsewhere()), EXIT_NO_VM);

    EXPECT_EQ(windows_test::waitForExit(sibling), 0u);
    EXPECT_EQ(windows_test::waitForExit(siblingServer), 0u);
    EXPECT_TRUE(windows_test::stillRunning(neighbour)) << "a program beside the launcher at the root was ended";
    EXPECT_TRUE(windows_test::stillRunning(bystander)) << "a program elsewhere on the drive was ended";
    windows_test::endProcess(neighbour);
    windows_test::endProcess(bystander);
}

TEST(TavelinProcess, ALogWithAnotherNameElsewhereTakesNothing) {
    InstallDir dir;
    InstallDir other;
    ASSERT_TRUE(dir.add(TAVELIN_PATH, L"Tavelin.exe"));
    ASSERT_TRUE(dir.add(RECORDING_RUNTIME_PATH, RUNTIME));
    // Tavelin.log as a second name of a file elsewhere (a hard link).
    const std::filesystem::path target = other / L"kept.log";
    std::ofstream(target, std::ios::binary) << "kept\n";
    ASSERT_TRUE(CreateHardLinkW((dir / L"Tavelin.log").c_str(), target.c_str(), nullptr));

    HANDLE err = windows_test::inheritableFile(dir / L"err.txt");
    EXPECT_EQ(windows_test::runWithStandardHandles(dir / L"Tavelin.exe", elsewhere(), nullptr, err), 0u);
    CloseHandle(err);
    EXPECT_EQ(readText(target), "kept\n");
    char line[4096];
    std::snprintf(line, sizeof line, launcher::OUTPUT_LOG_UNUSABLE_LINE,
                  windows_test::narrow(dir / L"Tavelin.log").c_str());
    std::string expected = line;
    expected.pop_back();  // the line's end, which the C runtime may spell \r\n
    EXPECT_NE(readText(dir / L"err.txt").find(expected), std::string::npos) << readText(dir / L"err.txt");
}

// Gives path a protected access list in SDDL, as the installer gives its
// folder.
bool setRights(const std::filesystem::path& path, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr)) return false;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    std::wstring wide = path.wstring();
    bool ok = GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) &&
              SetNamedSecurityInfoW(&wide[0], SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                    dacl, nullptr) == ERROR_SUCCESS;
    LocalFree(descriptor);
    return ok;
}

TEST(TavelinProcess, AnInstallOthersCanChangeIsNamedInOneLineAndStillStarts) {
    InstallDir dir;
    ASSERT_TRUE(dir.add(TAVELIN_PATH, L"Tavelin.exe"));
    ASSERT_TRUE(dir.add(RECORDING_RUNTIME_PATH, RUNTIME));
    std::filesystem::create_directories(dir / L"cjars");
    std::ofstream(dir / HEAP_SETTING, std::ios::binary) << '\x03' << '\x84';
    // The installer's rights (Administrators and SYSTEM full control, Users
    // read and execute), but Users may change the packages.
    const wchar_t* installed = L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)";
    ASSERT_TRUE(setRights(dir.path(), installed));
    ASSERT_TRUE(setRights(dir / HEAP_SETTING, installed));
    ASSERT_TRUE(setRights(dir / L"cjars", L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1301bf;;;BU)"));
    auto writableLines = [&] {
        HANDLE out = windows_test::inheritableFile(dir / L"out.txt");
        EXPECT_EQ(windows_test::runWithStandardHandles(dir / L"Tavelin.exe", elsewhere(), out, nullptr), 0u);
        CloseHandle(out);
        std::vector<std::string> lines = linesStartingWith(readLines(dir / L"out.txt"), windows_test::narrow(dir.path()));
        for (std::string& line : lines) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
        }
        return lines;
    };
    // One line names them, and the client runs all the same.
    const std::vector<std::string> lines = writableLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(windows_test::narrow(dir / L"cjars")), std::string::npos) << lines[0];

    // Wine derives every file's access list from its POSIX mode, with full
    // control for the user who runs it: the installer's rights go unseen.
    if (platform::System().writableByOthers(windows_test::narrow(dir.path()).c_str())) {
        GTEST_SKIP() << "the system keeps no access lists of its own here";
    }
    char line[4096];
    std::snprintf(line, sizeof line, launcher::INSTALL_WRITABLE_LINE, windows_test::narrow(dir / L"cjars").c_str());
    std::string expected = line;
    expected.pop_back();  // the line's end
    EXPECT_EQ(lines, std::vector<std::string>{expected});
    // With the installer's rights throughout, no line.
    ASSERT_TRUE(setRights(dir / L"cjars", installed));
    EXPECT_TRUE(writableLines().empty());
}

}  // namespace
