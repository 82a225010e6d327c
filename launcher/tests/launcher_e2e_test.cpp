// The built Tavelin hosting the real Java VM, installed in temporary
// directories: the whole chain to the demo client and back, and the heap
// setting as the VM really received it.
#include <gtest/gtest.h>

#include <sstream>

#include "launcher/tests/install_layout.h"
#include "launcher/tests/process_runner.h"

namespace {

using launcher_test::InstallLayout;
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
                                  "|-Xms32m|-XX:+CreateMinidumpOnCrash|-XX:+HeapDumpOnOutOfMemoryError"
                                  "|-Dhttps.protocols=TLSv1")
            << c.what;
        if (!c.setting.empty()) {
            EXPECT_EQ(launcher_test::readBytes(install.settingFile()), c.setting) << c.what;
        }
    }
}

}  // namespace
