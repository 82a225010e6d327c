// The built Tavelin hosting the real Java VM, installed in temporary
// directories: the whole chain to the demo client and back, the options as
// the VM really received them, and the ways a start ends without a client.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "launcher/launcher.h"
#include "launcher/layout.h"
#include "launcher/messages.h"
#include "launcher/output_log.h"
#include "launcher/tests/install_layout.h"
#include "launcher/tests/process_runner.h"

namespace {

using launcher_test::InstallLayout;
using launcher_test::outputOf;
using launcher_test::readText;
using launcher_test::runProgram;
using launcher_test::writeBytes;
using Bytes = std::vector<unsigned char>;

// The lines of text that contain needle, in order.
std::vector<std::string> linesWith(const std::string& text, const std::string& needle) {
    std::vector<std::string> found;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.find(needle) != std::string::npos) found.push_back(line);
    }
    return found;
}

// Position of needle in text at or after from; npos when absent.
size_t after(const std::string& text, const std::string& needle, size_t from) {
    return from == std::string::npos ? std::string::npos : text.find(needle, from);
}

// java.library.path as the launcher sets it: the installation's folders,
// then the machine's own ones a plain "java" of the JDK lists.
std::string libraryPath(const std::string& root) {
    static const std::string system = launcher_test::defaultSystemLibraryPath(JDK_HOME);
    return root + ":" + root + "/jre7/bin:" + system;
}

// The options after the fixed list, as the probe prints them: those that
// keep the VM's library search, temporary files, heap dumps and crash
// reports inside the installation (or the machine's own library folders),
// and the VM's exit and abort hooks.
std::string addedOptions(const InstallLayout& install) {
    // As the launcher finds itself: links resolved.
    const std::string root = std::filesystem::canonical(install.root());
    return "|-Djava.library.path=" + libraryPath(root) + "|-Djava.io.tmpdir=" + root + "/temp" +
           "|-XX:HeapDumpPath=" + root + "/dumps|-XX:ErrorFile=" + root + "/dumps/hs_err_pid%p.log|exit|abort";
}

TEST(LauncherEndToEnd, DemoClientWithOneInPlaceRestart) {
    InstallLayout install;
    install.linkRuntime(JDK_HOME "/lib/server/libjvm.so");
    install.addPackage(DEMO_PACKAGE, "client.app");
    // Started from elsewhere: the launcher makes its own directory current.
    auto result = runProgram(install.launcher(), {}, install.temp().path());
    EXPECT_TRUE(result.exitedWith(0)) << result.status << "\n" << result.out << result.err;
    const std::string& out = result.out;

    // The bootstrap's log and the client's lines, in the order of the cycle.
    size_t at = out.find(" Main start runServer");
    at = after(out, " Main find app ", at);
    at = after(out, "[client] run 1: started by com.mirl.runbed.Main", at);
    at = after(out, "[client] endServer: stopping", at);
    at = after(out, "[client] run 1: asking for one in-place restart", at);
    at = after(out, " Main close classLoader ", at);
    at = after(out, " Main find app ", at);
    at = after(out, "[client] run 2: started by com.mirl.runbed.Main", at);
    at = after(out, "[client] run 2: done, no restart", at);
    at = after(out, "[client] run 2: startServer returns", at);
    EXPECT_NE(at, std::string::npos) << out;
    EXPECT_EQ(linesWith(out, " Main find app ").size(), 2u) << out;
    for (const auto& line : linesWith(out, " Main find app ")) {
        EXPECT_NE(line.find("cjars/client.app"), std::string::npos) << line;
    }
    EXPECT_TRUE(linesWith(out, " err ").empty()) << out;
    EXPECT_TRUE(linesWith(result.err, "提示").empty()) << result.err;
    // A VM that came up leaves the heap setting as it was.
    EXPECT_FALSE(std::filesystem::exists(install.settingFile()));
}

TEST(LauncherEndToEnd, HeapSettingAsTheVmReceivedIt) {
    struct Case {
        const char* what;
        Bytes setting;  // empty: no jvm.set
        const char* maxHeap;
    };
    const Case cases[] = {
        {"absent", {}, "-Xmx900m"},
        {"900", {0x03, 0x84}, "-Xmx900m"},
        {"16, raised", {0x00, 0x10}, "-Xmx64m"},
        {"4096, lowered", {0x10, 0x00}, "-Xmx2048m"},
        {"one byte", {0x05}, "-Xmx900m"},
        {"three bytes", {0x00, 0x80, 0x7F}, "-Xmx128m"},
    };
    for (const Case& c : cases) {
        InstallLayout install;
        install.linkRuntime(JDK_HOME "/lib/server/libjvm.so");
        install.addPackage(PROBE_PACKAGE, "probe.app");
        if (!c.setting.empty()) writeBytes(install.settingFile(), c.setting);
        auto result = runProgram(install.launcher(), {}, install.temp().path());
        EXPECT_TRUE(result.exitedWith(0)) << c.what << "\n" << result.out << result.err;
        auto options = linesWith(result.out, "probe-vm-options:");
        ASSERT_EQ(options.size(), 1u) << c.what << "\n" << result.out << result.err;
        EXPECT_EQ(options[0], std::string("probe-vm-options:|") + c.maxHeap +
                                  "|-Xms32m|-XX:+HeapDumpOnOutOfMemoryError"
                                  "|-Dhttps.protocols=TLSv1,TLSv1.1,TLSv1.2,TLSv1.3" +
                                  addedOptions(install))
            << c.what;
        if (!c.setting.empty()) {
            EXPECT_EQ(launcher_test::readBytes(install.settingFile()), c.setting) << c.what;
        }
    }
}

TEST(LauncherEndToEnd, OptionsFromTheEnvironmentNeverReachTheVm) {
    InstallLayout install;
    install.linkRuntime(JDK_HOME "/lib/server/libjvm.so");
    install.addPackage(PROBE_PACKAGE, "probe.app");
    // Anyone can set these for an elevated launcher: a class path of their
    // own, an agent.
    setenv("JAVA_TOOL_OPTIONS", "-Dprobe.from=JAVA_TOOL_OPTIONS", 1);
    setenv("_JAVA_OPTIONS", "-Dprobe.from=_JAVA_OPTIONS", 1);
    auto result = runProgram(install.launcher(), {}, install.temp().path());
    unsetenv("JAVA_TOOL_OPTIONS");
    unsetenv("_JAVA_OPTIONS");
    EXPECT_TRUE(result.exitedWith(0)) << result.out << result.err;
    EXPECT_EQ(linesWith(result.out, "probe-vm-options:"),
              std::vector<std::string>{"probe-vm-options:|-Xmx900m|-Xms32m"
                                       "|-XX:+HeapDumpOnOutOfMemoryError|-Dhttps.protocols=TLSv1,TLSv1.1,TLSv1.2,TLSv1.3" +
                                       addedOptions(install)})
        << result.out;
    EXPECT_EQ(result.err.find("Picked up"), std::string::npos) << result.err;
}

TEST(LauncherEndToEnd, AVmThatEndsTheProcessWhileCreatedStillHalvesTheHeap) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizer's shadow memory does not fit an address-space limit";
#endif
    InstallLayout install;
    install.linkRuntime(JDK_HOME "/lib/server/libjvm.so");
    install.addPackage(PROBE_PACKAGE, "probe.app");
    writeBytes(install.settingFile(), {0x08, 0x00});  // 2048
    // An address space too small for a 2048 MB heap: the VM ends the
    // process from inside its creation (a heap it cannot reserve), and each
    // copy goes on with half until the VM starts.
    // One malloc arena: the C library's per-thread arenas would take a
    // varying share of that space, and the launcher's own few allocations
    // after a failed creation could fail with it.
    const std::string out =
        outputOf("ulimit -v 3000000 && MALLOC_ARENA_MAX=1 exec '" + install.launcher() + "' 2>&1");
    auto options = linesWith(out, "probe-vm-options:");
    ASSERT_EQ(options.size(), 1u) << out;
    const Bytes stored = launcher_test::readBytes(install.settingFile());
    ASSERT_EQ(stored.size(), 2u);
    const int heap = stored[0] * 256 + stored[1];
    EXPECT_TRUE(heap >= 64 && heap < 2048 && (2048 % heap) == 0) << heap;
    EXPECT_EQ(options[0].rfind("probe-vm-options:|-Xmx" + std::to_string(heap) + "m|", 0), 0u) << options[0];
}

TEST(LauncherEndToEnd, LibrariesTemporaryFilesAndDumpsStayInTheInstallation) {
    InstallLayout install;
    install.linkRuntime(JDK_HOME "/lib/server/libjvm.so");
    install.addPackage(PROBE_PACKAGE, "probe.app");
    // Four dumps of earlier runs and a file that is none.
    const std::string dumps = install.root() + "/" + launcher::HEAP_DUMP_FOLDER_NAME;
    std::filesystem::create_directories(dumps);
    const auto now = std::filesystem::file_time_type::clock::now();
    for (int i = 0; i < 4; ++i) {
        const std::string dump = dumps + "/java_pid" + std::to_string(100 + i) + launcher::HEAP_DUMP_SUFFIX;
        writeBytes(dump, {'d'});
        std::filesystem::last_write_time(dump, now - std::chrono::hours(10 - i));  // 103 the newest
    }
    writeBytes(dumps + "/notes.txt", {'n'});
    // Crash reports of earlier runs: three in the dump folder, and one the
    // VM wrote beside the launcher (where a runtime that cannot be told
    // writes its minidumps, too); a link of that name stays where it is.
    for (int i = 0; i < 3; ++i) {
        const std::string report = dumps + "/hs_err_pid" + std::to_string(200 + i) + ".log";
        writeBytes(report, {'r'});
        std::filesystem::last_write_time(report, now - std::chrono::hours(10 - i));  // 202 the newest
    }
    writeBytes(install.root() + "/hs_err_pid300.log", {'r'});
    writeBytes(install.root() + "/hs_err_pid300.mdmp", {'m'});
    const std::string elsewhere = install.temp() / "elsewhere";
    writeBytes(elsewhere + "/report", {'e'});
    std::filesystem::create_symlink(elsewhere + "/report", install.root() + "/hs_err_pid301.log");
    // The temporary folder as a link to a folder elsewhere.
    std::filesystem::create_symlink(elsewhere, install.root() + "/" + launcher::TEMP_FOLDER_NAME);
    // A folder of the caller's would reach java.library.path through this.
    setenv("LD_LIBRARY_PATH", install.temp().path().c_str(), 1);
    auto result = runProgram(install.launcher(), {}, install.temp().path());
    unsetenv("LD_LIBRARY_PATH");
    EXPECT_TRUE(result.exitedWith(launcher::exitCode(launcher::Outcome::CLIENT_ENDED))) << result.status << result.out << result.err;
    const std::string root = std::filesystem::canonical(install.root());
    EXPECT_EQ(linesWith(result.out, "probe-library-path:"),
              std::vector<std::string>{"probe-library-path:" + libraryPath(root)});
    EXPECT_EQ(linesWith(result.out, "probe-tmpdir:"), std::vector<std::string>{"probe-tmpdir:" + root + "/temp"});
    // The VM itself took the crash report's place.
    EXPECT_EQ(linesWith(result.out, "probe-error-file:"),
              std::vector<std::string>{"probe-error-file:" + root + "/dumps/hs_err_pid%p.log"});
    for (const char* name : {launcher::TEMP_FOLDER_NAME, launcher::HEAP_DUMP_FOLDER_NAME}) {
        auto status = std::filesystem::symlink_status(root + "/" + name);
        EXPECT_TRUE(std::filesystem::is_directory(status)) << name;
        EXPECT_EQ(status.permissions() & std::filesystem::perms::all, std::filesystem::perms::owner_all) << name;
    }
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dumps)) left.push_back(entry.path().filename());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"hs_err_pid202.log", "hs_err_pid300.log", "hs_err_pid300.mdmp",
                                              "java_pid102.hprof", "java_pid103.hprof", "notes.txt"}));
    EXPECT_TRUE(std::filesystem::is_symlink(root + "/hs_err_pid301.log"));
    EXPECT_EQ(readText(elsewhere + "/report"), "e");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(elsewhere), std::filesystem::directory_iterator()), 1)
        << "the link's folder took the VM's temporary files";
}

TEST(LauncherEndToEnd, APackageNamedBeyondAsciiRunsWithoutAUtf8Locale) {
    InstallLayout install;
    install.linkRuntime(JDK_HOME "/lib/server/libjvm.so");
    install.addPackage(PROBE_PACKAGE, "客户端.app");
    // The VM's file-name encoding is then ASCII: the name's bytes must be
    // used as the OS gave them, not spelt out again.
    setenv("LC_ALL", "C", 1);
    auto result = runProgram(install.launcher(), {}, install.temp().path());
    unsetenv("LC_ALL");
    EXPECT_TRUE(result.exitedWith(launcher::exitCode(launcher::Outcome::CLIENT_ENDED))) << result.status << result.out << result.err;
    EXPECT_EQ(linesWith(result.out, "probe-vm-options:").size(), 1u) << result.out << result.err;
}

// The launcher hashes signed packages natively: what it computes must be
// what apppack signed (in Java), or no signed package would run.
TEST(LauncherEndToEnd, WithTrustedKeysOnlyAPackageSignedByOneOfThemRuns) {
    InstallLayout install;
    install.linkRuntime(JDK_HOME "/lib/server/libjvm.so");
    install.addPackage(PROBE_PACKAGE, "probe.app");
    const std::string keys = install.temp().path() + "/keys";
    const std::string package = install.root() + "/cjars/probe.app";
    for (const char* name : {"vendor", "other"}) {
        auto made = runProgram(APPPACK_PATH, {"keygen", "-o", keys + name}, install.temp().path());
        ASSERT_TRUE(made.exitedWith(0)) << made.out << made.err;
    }
    auto signedIt = runProgram(APPPACK_PATH, {"sign", "--key", keys + "vendor.key", package}, install.temp().path());
    ASSERT_TRUE(signedIt.exitedWith(0)) << signedIt.out << signedIt.err;
    const std::string trust = install.root() + "/trusted-keys.pem";
    const int ended = launcher::exitCode(launcher::Outcome::CLIENT_ENDED);

    std::filesystem::copy_file(keys + "vendor.pub", trust);
    auto result = runProgram(install.launcher(), {}, install.temp().path());
    EXPECT_TRUE(result.exitedWith(ended)) << result.status << result.out << result.err;
    EXPECT_EQ(linesWith(result.out, "probe-vm-options:").size(), 1u) << result.out << result.err;

    // The signature's last byte changed.
    Bytes bytes = launcher_test::readBytes(package);
    Bytes changed = bytes;
    changed.back() ^= 0x10;
    writeBytes(package, changed);
    result = runProgram(install.launcher(), {}, install.temp().path());
    EXPECT_FALSE(result.exitedWith(ended)) << result.out << result.err;
    EXPECT_TRUE(linesWith(result.out, "probe-vm-options:").empty()) << result.out << result.err;
    EXPECT_EQ(linesWith(result.out, "has a signature that does not hold").size(), 1u) << result.out;

    writeBytes(package, bytes);
    std::filesystem::copy_file(keys + "other.pub", trust, std::filesystem::copy_options::overwrite_existing);
    result = runProgram(install.launcher(), {}, install.temp().path());
    EXPECT_TRUE(linesWith(result.out, "probe-vm-options:").empty()) << result.out << result.err;
    EXPECT_EQ(linesWith(result.out, "which trusted-keys.pem does not list").size(), 1u) << result.out;
}

TEST(LauncherEndToEnd, WithoutStandardOutputTheLogBesideTheLauncherTakesIt) {
    // The client runs: its output goes to the log, after what was there.
    {
        InstallLayout install;
        install.linkRuntime(JDK_HOME "/lib/server/libjvm.so");
        install.addPackage(PROBE_PACKAGE, "probe.app");
        const std::string log = install.root() + "/" + launcher::OUTPUT_LOG_NAME;
        launcher_test::writeBytes(log, {'e', 'a', 'r', 'l', 'i', 'e', 'r', '\n'});
        auto result = runProgram(install.launcher(), {}, install.temp().path(), launcher_test::CAPTURE_ERROR);
        EXPECT_TRUE(result.exitedWith(launcher::exitCode(launcher::Outcome::CLIENT_ENDED))) << result.status << result.err;
        const std::string text = readText(log);
        EXPECT_EQ(text.rfind("earlier\n", 0), 0u) << text;
        EXPECT_NE(text.find(" Main start runServer"), std::string::npos) << text;
        EXPECT_EQ(linesWith(text, "probe-vm-options:").size(), 1u) << text;
        EXPECT_EQ(result.err, "") << "standard error still leads somewhere and is kept";
    }
    // No client: one notice, on the standard error that is still there,
    // with the log where the bootstrap class said why; an old log beyond
    // the limit has moved aside first.
    {
        InstallLayout install;
        install.linkRuntime(JDK_HOME "/lib/server/libjvm.so");
        const std::string log = install.root() + "/" + launcher::OUTPUT_LOG_NAME;
        launcher_test::writeBytes(log, std::vector<unsigned char>(launcher::OUTPUT_LOG_LIMIT + 1, 'x'));
        auto result = runProgram(install.launcher(), {}, install.temp().path(), launcher_test::CAPTURE_ERROR);
        EXPECT_TRUE(result.exitedWith(launcher::exitCode(launcher::Outcome::NO_CLIENT))) << result.status << result.err;
        EXPECT_EQ(result.err, "提示: 找不到启动类\n" + log + "\n");
        EXPECT_EQ(std::filesystem::file_size(log + ".1"), static_cast<uintmax_t>(launcher::OUTPUT_LOG_LIMIT + 1));
        EXPECT_EQ(linesWith(readText(log), " err 找不到启动类").size(), 1u) << readText(log);
    }
    // main leaves an exception: printed, to the log when standard error
    // leads nowhere either.
    {
        InstallLayout install;
        install.linkRuntime(JDK_HOME "/lib/server/libjvm.so");
        install.addPackage(PROBE_PACKAGE, "probe.app");
        setenv("TAVELIN_PROBE", "sink-error", 1);
        auto result = runProgram(install.launcher(), {}, install.temp().path(), launcher_test::CAPTURE_NONE);
        unsetenv("TAVELIN_PROBE");
        EXPECT_TRUE(result.exitedWith(launcher::exitCode(launcher::Outcome::MAIN_THREW))) << result.status;
        const std::string text = readText(install.root() + "/" + launcher::OUTPUT_LOG_NAME);
        EXPECT_EQ(linesWith(text, "probe-vm-options:").size(), 1u) << text;
        EXPECT_EQ(linesWith(text, "java.lang.Error: probe: the status sink fails").size(), 1u) << text;
        EXPECT_EQ(text.find("提示"), std::string::npos) << text;
    }
    // With both streams there, no log at all.
    {
        InstallLayout install;
        install.linkRuntime(JDK_HOME "/lib/server/libjvm.so");
        auto result = runProgram(install.launcher(), {}, install.temp().path());
        EXPECT_TRUE(result.exitedWith(launcher::exitCode(launcher::Outcome::NO_CLIENT))) << result.status << result.err;
        EXPECT_EQ(result.err, "提示: 找不到启动类\n");
        EXPECT_FALSE(std::filesystem::exists(install.root() + "/" + launcher::OUTPUT_LOG_NAME));
    }
}

TEST(LauncherEndToEnd, TheLogStaysWithinItsBoundWhileTheClientRuns) {
    InstallLayout install;
    install.linkRuntime(JDK_HOME "/lib/server/libjvm.so");
    install.addPackage(PROBE_PACKAGE, "probe.app");
    setenv("TAVELIN_PROBE", "flood", 1);  // 3 MB
    auto result = runProgram(install.launcher(), {}, install.temp().path(), launcher_test::CAPTURE_NONE);
    unsetenv("TAVELIN_PROBE");
    EXPECT_TRUE(result.exitedWith(launcher::exitCode(launcher::Outcome::CLIENT_ENDED))) << result.status;
    const std::string log = install.root() + "/" + launcher::OUTPUT_LOG_NAME;
    const uintmax_t slack = 64 * 1024;  // what one write may add beyond the limit
    EXPECT_LE(std::filesystem::file_size(log), launcher::OUTPUT_LOG_LIMIT + slack);
    EXPECT_GT(std::filesystem::file_size(log + ".1"), static_cast<uintmax_t>(launcher::OUTPUT_LOG_LIMIT));
    EXPECT_LE(std::filesystem::file_size(log + ".1"), launcher::OUTPUT_LOG_LIMIT + slack);
    // Everything up to the end of the process was written.
    EXPECT_EQ(linesWith(readText(log), "probe-flood-end").size(), 1u);
}

TEST(LauncherEndToEnd, ALogThatIsNoRegularFileTakesNothingAndTheStartGoesOn) {
    enum Kind { PIPE, FOLDER, LINK };
    struct Case {
        const char* what;
        const char* name;  // made beside the launcher
        Kind kind;
    };
    const Case cases[] = {
        {"a pipe named Tavelin.log", "Tavelin.log", PIPE},
        {"a folder named Tavelin.log", "Tavelin.log", FOLDER},
        {"a folder named Tavelin.log.1", "Tavelin.log.1", FOLDER},
        {"a link named Tavelin.log to a file elsewhere", "Tavelin.log", LINK},
    };
    for (const Case& c : cases) {
        InstallLayout install;
        install.linkRuntime(JDK_HOME "/lib/server/libjvm.so");
        install.addPackage(PROBE_PACKAGE, "probe.app");
        const std::string made = install.root() + "/" + c.name;
        const std::string elsewhere = install.temp() / "elsewhere.log";
        if (c.kind == PIPE) {
            ASSERT_EQ(mkfifo(made.c_str(), 0644), 0);
        } else if (c.kind == FOLDER) {
            std::filesystem::create_directories(made);
        } else {
            writeBytes(elsewhere, {'k', 'e', 'p', 't', '\n'});
            std::filesystem::create_symlink(elsewhere, made);
        }
        // Bounded: a start that waits for a reader of the pipe would never end.
        auto result = runProgram("/usr/bin/timeout", {"60", install.launcher()}, install.temp().path(),
                                 launcher_test::CAPTURE_ERROR);
        EXPECT_TRUE(result.exitedWith(launcher::exitCode(launcher::Outcome::CLIENT_ENDED))) << c.what << " " << result.status;
        const std::string log = std::string(std::filesystem::canonical(install.root())) + "/" + launcher::OUTPUT_LOG_NAME;
        char line[4096];
        std::snprintf(line, sizeof line, launcher::OUTPUT_LOG_UNUSABLE_LINE, log.c_str());
        EXPECT_EQ(result.err, line) << c.what;
        if (c.kind == LINK) {
            EXPECT_EQ(readText(elsewhere), "kept\n") << c.what;
        }
    }
}

// Runs the probe client with TAVELIN_PROBE=probe and TAVELIN_PROBE_FILE=file.
launcher_test::RunResult runProbe(const InstallLayout& install, const char* probe, const std::string& file,
                                  launcher_test::Capture capture = launcher_test::CAPTURE_BOTH) {
    setenv("TAVELIN_PROBE", probe, 1);
    setenv("TAVELIN_PROBE_FILE", file.c_str(), 1);
    auto result = runProgram(install.launcher(), {}, install.temp().path(), capture);
    unsetenv("TAVELIN_PROBE");
    unsetenv("TAVELIN_PROBE_FILE");
    return result;
}

TEST(LauncherEndToEnd, TheClientsShutdownHooksRunAndItsThreadsAreNotWaitedFor) {
    InstallLayout install;
    install.linkRuntime(JDK_HOME "/lib/server/libjvm.so");
    install.addPackage(PROBE_PACKAGE, "probe.app");
    const std::string file = install.temp() / "shutdown";
    auto result = runProbe(install, "shutdown-hook", file);
    EXPECT_TRUE(result.exitedWith(launcher::exitCode(launcher::Outcome::CLIENT_ENDED))) << result.status << result.out << result.err;
    EXPECT_EQ(readText(file), "hook ran");
    EXPECT_FALSE(std::filesystem::exists(file + ".thread")) << "the launcher waited for the client's thread";
}

TEST(LauncherEndToEnd, AClientThatDidNotStartEndsWithItsOwnCodeAndNotice) {
    // Its start method throws: one notice naming the log, the cause there.
    {
        InstallLayout install;
        install.linkRuntime(JDK_HOME "/lib/server/libjvm.so");
        install.addPackage(PROBE_PACKAGE, "probe.app");
        const std::string log = install.root() + "/" + launcher::OUTPUT_LOG_NAME;
        auto result = runProbe(install, "throw", "", launcher_test::CAPTURE_ERROR);
        EXPECT_TRUE(result.exitedWith(launcher::exitCode(launcher::Outcome::START_FAILED))) << result.status << result.err;
        EXPECT_EQ(result.err, "提示: 启动程序失败\n" + log + "\n");
        EXPECT_EQ(linesWith(readText(log), " err java.lang.IllegalStateException: probe: the client refuses to start")
                      .size(),
                  1u)
            << readText(log);
    }
    // It started, and cleared the client class the bootstrap class names.
    {
        InstallLayout install;
        install.linkRuntime(JDK_HOME "/lib/server/libjvm.so");
        install.addPackage(PROBE_PACKAGE, "probe.app");
        auto result = runProbe(install, "app-null", "");
        EXPECT_TRUE(result.exitedWith(launcher::exitCode(launcher::Outcome::CLIENT_ENDED))) << result.status << result.out << result.err;
        EXPECT_EQ(result.err, "");
    }
}

TEST(LauncherEndToEnd, AClientsOwnExitCodeIsNoneOfTheLaunchers) {
    InstallLayout install;
    install.linkRuntime(JDK_HOME "/lib/server/libjvm.so");
    install.addPackage(PROBE_PACKAGE, "probe.app");
    auto result = runProbe(install, "exit-3", "");
    EXPECT_TRUE(result.exitedWith(3)) << result.status << result.out << result.err;
    for (const launcher::OutcomeRow& row : launcher::OUTCOMES) {
        EXPECT_NE(row.exitCode, 3) << "a client's System.exit(3) reads as one of the launcher's own codes";
    }
}

TEST(LauncherEndToEnd, TheClientReachesAServerOfTls12AndUpOverHttps) {
    InstallLayout install;
    install.linkRuntime(JDK_HOME "/lib/server/libjvm.so");
    install.addPackage(PROBE_PACKAGE, "probe.app");
    auto result = runProbe(install, "https", PROBE_KEYSTORE);
    EXPECT_TRUE(result.exitedWith(launcher::exitCode(launcher::Outcome::CLIENT_ENDED))) << result.status << result.out << result.err;
    EXPECT_EQ(linesWith(result.out, "probe-https"), std::vector<std::string>{"probe-https: the page"}) << result.out;
}

TEST(LauncherEndToEnd, ARefusedBootstrapClassClosesTheVmWithoutRestart) {
    InstallLayout install("app", REFUSED_CLASS_TAVELIN_PATH);
    install.linkRuntime(JDK_HOME "/lib/server/libjvm.so");
    install.addPackage(PROBE_PACKAGE, "probe.app");
    auto result = runProgram(install.launcher(), {}, install.temp().path());
    EXPECT_TRUE(result.exitedWith(launcher::exitCode(launcher::Outcome::NO_BOOTSTRAP_CLASS))) << result.status << result.out << result.err;
    EXPECT_EQ(result.err, "提示: 加载主类失败\n");
    EXPECT_EQ(result.out, "");
    // No restart: that would have stored a halved setting first.
    EXPECT_FALSE(std::filesystem::exists(install.settingFile()));
}

}  // namespace
