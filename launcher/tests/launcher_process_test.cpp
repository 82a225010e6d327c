// The built Tavelin as a process, without a working VM: the restart chain
// of a runtime that cannot create its VM, the runtime-library checks, and
// the stale-instance termination among real processes.
#include <gtest/gtest.h>
#include <grp.h>
#include <signal.h>
#include <sys/prctl.h>

#include <cstdlib>
#include <functional>
#include <sstream>

#include "launcher/install.h"
#include "launcher/launcher.h"
#include "launcher/stale_instances.h"
#include "launcher/tests/install_layout.h"
#include "launcher/tests/process_runner.h"

namespace {

using launcher_test::InstallLayout;
using launcher_test::readBytes;
using launcher_test::runProgram;
using launcher_test::startProgram;
using launcher_test::writeBytes;
using Bytes = std::vector<unsigned char>;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

// Runs a launcher started by start() and every copy it starts in turn to
// their ends; the wait status of each, in the order they ended.
std::vector<int> runRestartChain(const std::function<pid_t()>& start) {
    // Every restarted copy is orphaned when its parent ends; as subreaper
    // this test adopts them and sees each one's exit.
    EXPECT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    std::vector<int> statuses;
    if (start() > 0) {
        for (;;) {
            int status = 0;
            pid_t pid = waitpid(-1, &status, 0);
            if (pid < 0) {
                if (errno == EINTR) continue;
                break;  // no children left
            }
            statuses.push_back(status);
        }
    }
    prctl(PR_SET_CHILD_SUBREAPER, 0);
    return statuses;
}

bool exitedWith(int status, int code) {
    return WIFEXITED(status) && WEXITSTATUS(status) == code;
}

// The options after the maximum heap, for a launcher in install. Where it
// could not make its temporary and dump folders, the options name folders
// below its own file, where nothing can be made.
std::string otherOptions(const InstallLayout& install, bool foldersMade = true) {
    const std::string root = std::filesystem::canonical(install.root());
    const std::string folders = foldersMade ? root : root + "/Tavelin";
    static const std::string system = launcher_test::defaultSystemLibraryPath(JDK_HOME);
    return " -Xms32m -XX:+HeapDumpOnOutOfMemoryError -Dhttps.protocols=TLSv1,TLSv1.1,TLSv1.2,TLSv1.3"
           " -Djava.library.path=" + root + ":" + root + "/jre7/bin:" + system + " -Djava.io.tmpdir=" + folders + "/temp" +
           " -XX:HeapDumpPath=" + folders + "/dumps -XX:ErrorFile=" + folders + "/dumps/hs_err_pid%p.log exit abort";
}

TEST(LauncherProcess, VmFailureRestartChainEndsAtTheFloor) {
    InstallLayout install;
    install.copyRuntime(FAILING_RUNTIME_PATH);
    std::string log = install.temp() / "creations.log";
    std::string err = install.temp() / "chain.err";
    setenv("TAVELIN_STUB_LOG", log.c_str(), 1);
    std::vector<int> statuses = runRestartChain([&] { return startProgram(install.launcher(), {}, "/dev/null", err); });
    unsetenv("TAVELIN_STUB_LOG");

    // One process per attempt, each started with no arguments.
    const std::string OTHER_OPTIONS = otherOptions(install);
    EXPECT_EQ(lines(launcher_test::readText(log)),
              (std::vector<std::string>{"1 -Xmx900m" + OTHER_OPTIONS, "1 -Xmx450m" + OTHER_OPTIONS,
                                        "1 -Xmx225m" + OTHER_OPTIONS, "1 -Xmx112m" + OTHER_OPTIONS}));
    ASSERT_EQ(statuses.size(), 4u);
    // Those that handed over to a copy end with 0, the last one with
    // VM_NOT_STARTED's exit code. A copy may end before its parent has finished ending, so
    // the order they are reaped in says nothing.
    size_t handedOver = 0;
    size_t gaveUp = 0;
    for (int status : statuses) {
        handedOver += exitedWith(status, 0) ? 1 : 0;
        gaveUp += exitedWith(status, launcher::exitCode(launcher::Outcome::VM_NOT_STARTED)) ? 1 : 0;
    }
    EXPECT_EQ(handedOver, 3u);
    EXPECT_EQ(gaveUp, 1u);
    EXPECT_EQ(readBytes(install.settingFile()), (Bytes{0x00, 0x38}));
    EXPECT_EQ(launcher_test::readText(err), "提示: 启动虚拟机失败-1\n");
}

// Starts the launcher as a user whom file permissions bind (root writes a
// read-only file all the same), or as the test's own user when that is not
// root. Its standard error goes to errFile.
pid_t startBoundByPermissions(const std::string& path, const std::string& errFile) {
    pid_t pid = fork();
    if (pid != 0) return pid;
    int out = open("/dev/null", O_WRONLY);
    int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(126);
    const gid_t nobody = 65534;
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0)) _exit(126);
    execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
    _exit(127);
}

TEST(LauncherProcess, ASettingThatCannotBeStoredGivesOneProcessAndOneNotice) {
    struct Case {
        const char* what;
        bool boundByPermissions;
        void (*prepare)(InstallLayout&);
    };
    const Case cases[] = {
        {"a folder named jvm.set", false,
         [](InstallLayout& i) { std::filesystem::create_directories(i.settingFile()); }},
        {"a read-only jvm.set", true,
         [](InstallLayout& i) {
             writeBytes(i.settingFile(), {0x03, 0x84});
             std::filesystem::permissions(i.settingFile(), std::filesystem::perms::owner_read |
                                                                std::filesystem::perms::group_read |
                                                                std::filesystem::perms::others_read);
         }},
    };
    for (const Case& c : cases) {
        InstallLayout install;
        install.copyRuntime(FAILING_RUNTIME_PATH);
        c.prepare(install);
        // The install as another user sees it: readable, not writable.
        std::filesystem::permissions(install.temp().path(), std::filesystem::perms::others_read |
                                                                std::filesystem::perms::others_exec,
                                     std::filesystem::perm_options::add);
        std::string log = install.temp() / "creations.log";
        writeBytes(log, {});
        std::filesystem::permissions(log, std::filesystem::perms::all, std::filesystem::perm_options::add);
        std::string err = install.temp() / "chain.err";
        setenv("TAVELIN_STUB_LOG", log.c_str(), 1);
        std::vector<int> statuses = runRestartChain([&] {
            return c.boundByPermissions ? startBoundByPermissions(install.launcher(), err)
                                        : startProgram(install.launcher(), {}, "/dev/null", err);
        });
        unsetenv("TAVELIN_STUB_LOG");

        // As another user, the launcher cannot make its folders there.
        const bool foldersMade = !c.boundByPermissions || geteuid() != 0;
        EXPECT_EQ(lines(launcher_test::readText(log)),
                  std::vector<std::string>{"1 -Xmx900m" + otherOptions(install, foldersMade)})
            << c.what;
        ASSERT_EQ(statuses.size(), 1u) << c.what;
        EXPECT_TRUE(exitedWith(statuses[0], launcher::exitCode(launcher::Outcome::VM_NOT_STARTED))) << c.what << " " << statuses[0];
        EXPECT_EQ(launcher_test::readText(err), "提示: 启动虚拟机失败-1\n") << c.what;
        if (c.boundByPermissions) {
            EXPECT_EQ(readBytes(install.settingFile()), (Bytes{0x03, 0x84})) << c.what;
        }
    }
}

TEST(LauncherProcess, RuntimeLibraryProblemsLeaveTheSettingAlone) {
    struct Case {
        const char* what;
        void (*prepare)(InstallLayout&);
        const char* notice;
    };
    const Case cases[] = {
        {"missing", [](InstallLayout&) {}, "提示: 加载虚拟机失败,jvm.dll丢失\n"},
        {"one byte", [](InstallLayout& i) { writeBytes(i.runtimeLibrary(), {0x7F}); }, "提示: 加载虚拟机失败,jvm.dll丢失\n"},
        {"not a library", [](InstallLayout& i) { writeBytes(i.runtimeLibrary(), Bytes(100, 'x')); },
         "提示: 加载虚拟机失败\n"},
        {"no entry point", [](InstallLayout& i) { i.copyRuntime(NO_ENTRY_RUNTIME_PATH); }, "提示: 查找虚拟机入口失败\n"},
    };
    for (const Case& c : cases) {
        InstallLayout install;
        writeBytes(install.settingFile(), {0x01, 0xC2});
        c.prepare(install);
        auto result = runProgram(install.launcher(), {}, install.temp().path());
        EXPECT_TRUE(result.exitedWith(launcher::exitCode(launcher::Outcome::VM_NOT_STARTED))) << c.what;
        EXPECT_EQ(result.err, c.notice) << c.what;
        EXPECT_EQ(readBytes(install.settingFile()), (Bytes{0x01, 0xC2})) << c.what;
    }
}

// Run by the copy of this test program that the next test places inside
// the launcher's directory tree: it ends the stale instances around it.
TEST(LauncherProcess, StaleInstanceProbe) {
    if (std::getenv("TAVELIN_STALE_PROBE") == nullptr) GTEST_SKIP() << "runs only as the copied test runner";
    platform::System system;
    launcher::Install install;
    launcher::findInstall(system, install);
    std::printf("matched %d\n", static_cast<int>(launcher::killStaleInstances(system, install.directory)));
}

bool stillRunning(pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == 0;
}

bool killedBySignal(pid_t pid) {
    int status = launcher_test::waitFor(pid);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

TEST(LauncherProcess, StaleInstancesAmongRealProcesses) {
    InstallLayout install("shop");
    const std::string root = install.temp().path();
    auto place = [&](const std::string& relative) {
        std::string path = root + "/" + relative;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::filesystem::copy_file(SLEEPER_PATH, path);
        return path;
    };
    pid_t inside = startProgram(place("shop/sleeper"), {});
    pid_t below = startProgram(place("shop/jre7/bin/sleeper"), {});
    pid_t sibling = startProgram(place("shop2/sleeper"), {});
    pid_t orvanta = startProgram(place("elsewhere/Orvanta.exe"), {});
    pid_t lookalike = startProgram(place("elsewhere/XOrvanta.exe"), {});
    // Another session's (another user's login): in the tree, and a sibling.
    pid_t otherSession = startProgram(place("shop/jre7/bin/other-session"), {}, "/dev/null", "/dev/null", true);
    pid_t otherSibling = startProgram(place("other/Orvanta.exe"), {}, "/dev/null", "/dev/null", true);
    ASSERT_TRUE(inside > 0 && below > 0 && sibling > 0 && orvanta > 0 && lookalike > 0 && otherSession > 0 &&
                otherSibling > 0);

    // The test runner itself, run from inside the launcher's tree, ends the
    // others and lives on.
    std::string runner = root + "/shop/runner";
    std::filesystem::copy_file("/proc/self/exe", runner);
    setenv("TAVELIN_STALE_PROBE", "1", 1);
    auto probe = runProgram(runner, {"--gtest_filter=LauncherProcess.StaleInstanceProbe"}, root);
    unsetenv("TAVELIN_STALE_PROBE");
    EXPECT_TRUE(probe.exitedWith(0)) << probe.out;
    // Three of ours; a sibling program of another run on this machine
    // would count as well.
    size_t counted = probe.out.find("matched ");
    ASSERT_NE(counted, std::string::npos) << probe.out;
    EXPECT_GE(std::atoi(probe.out.c_str() + counted + 8), 3) << probe.out;
    EXPECT_TRUE(killedBySignal(inside));
    EXPECT_TRUE(killedBySignal(below));
    EXPECT_TRUE(killedBySignal(orvanta));
    EXPECT_TRUE(stillRunning(sibling));
    EXPECT_TRUE(stillRunning(lookalike));
    EXPECT_TRUE(stillRunning(otherSession));
    EXPECT_TRUE(stillRunning(otherSibling));

    // Tavelin with a delay does the same before it looks for its runtime.
    pid_t again = startProgram(root + "/shop/jre7/bin/sleeper", {});
    auto launched = runProgram(install.launcher(), {"1"}, root);
    EXPECT_TRUE(launched.exitedWith(launcher::exitCode(launcher::Outcome::VM_NOT_STARTED)));
    EXPECT_EQ(launched.err, "提示: 加载虚拟机失败,jvm.dll丢失\n");
    EXPECT_TRUE(killedBySignal(again));
    // Without a delay nothing is ended.
    pid_t spared = startProgram(root + "/shop/jre7/bin/sleeper", {});
    EXPECT_TRUE(runProgram(install.launcher(), {}, root).exitedWith(launcher::exitCode(launcher::Outcome::VM_NOT_STARTED)));
    EXPECT_TRUE(stillRunning(spared));

    EXPECT_TRUE(stillRunning(sibling));
    EXPECT_TRUE(stillRunning(lookalike));
    EXPECT_TRUE(stillRunning(otherSession));
    for (pid_t pid : {sibling, lookalike, spared, otherSession, otherSibling}) {
        kill(pid, SIGKILL);
        launcher_test::waitFor(pid);
    }
}

}  // namespace
