// Which processes the launcher ends before it starts the VM.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

#include "launcher/install.h"
#include "launcher/layout.h"
#include "launcher/messages.h"
#include "launcher/stale_instances.h"
#include "launcher/stale_instances_internal.h"
#include "launcher/tests/fake_system.h"

namespace {

using launcher_test::FakeSystem;

// Ends the stale instances around the launcher at system's own path.
int32_t killStale(FakeSystem& system) {
    launcher::Install install;
    launcher::findInstall(system, install);
    return launcher::killStaleInstances(system, install.directory);
}

bool contains(const std::vector<uint32_t>& ids, uint32_t id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

TEST(StaleInstances, EndsTheLauncherTreeAndTheSiblingsOnly) {
    FakeSystem system;  // launcher at /opt/shop/Tavelin, own id 1
    system.processes = {
        {1, "/opt/shop/Tavelin"},          // the launcher itself
        {2, "/opt/shop/Tavelin"},          // an older instance
        {3, "/opt/shop/jre7/bin/java"},    // below the launcher's directory
        {4, "/opt/shop2/x.exe"},           // sibling directory, same prefix
        {5, "/opt/shopx"},                 // same prefix, no separator
        {6, "/srv/Orvanta.exe"},           // sibling program anywhere
        {7, "/srv/OrvantaServer.exe"},     // the other sibling program
        {8, "/srv/XOrvanta.exe"},          // a name that merely ends like it
        {9, "/srv/orvanta.exe"},           // other letter case
        {10, "Orvanta.exe"},               // the bare name, no directory
        {11, ""},                          // path unreadable
        {12, "/opt/shop/locked"},          // cannot be opened
        {13, "/opt/shop"},                 // the directory text itself
        {14, "/opt/shop/Tavelin"},         // another user's session: an instance
        {15, "/srv/Orvanta.exe"},          // and a sibling program there
    };
    system.refused = {12};
    system.otherSession = {14, 15};
    EXPECT_EQ(killStale(system), 4);
    EXPECT_EQ(system.terminated, (std::vector<uint32_t>{2, 3, 6, 7}));
    EXPECT_FALSE(contains(system.opened, 1)) << "the own process is never examined";
    EXPECT_EQ(system.openHandles, 0) << "every opened process is closed again";
    EXPECT_EQ(system.output, "");
}

TEST(StaleInstances, FailedTerminationCountsAndIsReported) {
    FakeSystem system;
    system.processes = {{1, "/opt/shop/Tavelin"}, {2, "/opt/shop/stuck"}, {3, "/opt/shop/gone"}};
    system.unkillable = {2};
    EXPECT_EQ(killStale(system), 2);
    char line[64];
    std::snprintf(line, sizeof line, launcher::KILL_FAILED_LINE, "/opt/shop/stuck");
    EXPECT_EQ(system.output, line);
    EXPECT_EQ(system.terminated, (std::vector<uint32_t>{3}));
}

TEST(StaleInstances, CountingWithoutTerminating) {
    FakeSystem system;
    system.processes = {{2, "/opt/shop/a"}, {3, "/elsewhere/b"}};
    EXPECT_EQ(launcher::findProcesses(system, "/opt/shop", "Orvanta.exe", "OrvantaServer.exe", false), 1);
    EXPECT_TRUE(system.terminated.empty());
}

TEST(StaleInstances, NoProcessTableOrNoOwnPath) {
    FakeSystem system;
    system.processes = {{2, "/opt/shop/a"}};
    system.tableReadable = false;
    EXPECT_EQ(killStale(system), 0);

    // Without its own path the launcher knows no directory tree, and must
    // not take the empty text for one that holds everything.
    FakeSystem lost;
    lost.moduleReadable = false;
    lost.processes = {{2, "/opt/shop/a"}, {3, "/srv/Orvanta.exe"}};
    EXPECT_EQ(killStale(lost), 1);
    EXPECT_EQ(lost.terminated, (std::vector<uint32_t>{3}));

    FakeSystem atRoot;
    atRoot.modulePath = std::string(1, platform::PATH_SEPARATOR) + "Tavelin";
    atRoot.processes = {{2, "/opt/shop/a"}};
    EXPECT_EQ(killStale(atRoot), 0);
}

// Installed at a root or straight into a system folder, the launcher's
// directory holds other people's programs: only the sibling names count.
// (Separators are '/' here, as the POSIX build knows no other.)
TEST(StaleInstances, AtARootOrInASystemFolderOnlyTheSiblingNamesCount) {
    for (const char* launcherPath :
         {"/Tavelin", "C:/Tavelin.exe", "c:/Tavelin.exe", "//server/share/Tavelin.exe", "//?/C:/Tavelin.exe",
          "//?/UNC/server/share/Tavelin.exe", "/sys/Windows/Tavelin.exe", "/sys/Program Files/Tavelin.exe",
          "/sys/PROGRAM FILES (X86)/Tavelin.exe"}) {
        FakeSystem system;
        system.ignoreCase = true;
        system.systemFolders = {"/sys/Windows", "/sys/Program Files", "/sys/Program Files (x86)"};
        system.modulePath = launcherPath;
        system.processes = {
            {2, std::string(launcherPath) + ".old"},  // beside the launcher
            {3, "C:/Other/x.exe"},
            {4, "//server/share/Other/x.exe"},
            {5, "/sys/Program Files/Other/x.exe"},
            {6, "/srv/Orvanta.exe"},
            {7, "/srv/OrvantaServer.exe"},
        };
        EXPECT_EQ(killStale(system), 2) << launcherPath;
        EXPECT_EQ(system.terminated, (std::vector<uint32_t>{6, 7})) << launcherPath;
    }

    // One level down, the folder is the installation's own again.
    for (const char* launcherPath : {"C:/Shop/Tavelin.exe", "//server/share/Shop/Tavelin.exe",
                                     "//?/UNC/server/share/Shop/Tavelin.exe", "/sys/Program Files/Shop/Tavelin.exe"}) {
        FakeSystem system;
        system.systemFolders = {"/sys/Windows", "/sys/Program Files"};
        system.modulePath = launcherPath;
        system.processes = {{2, std::string(launcherPath) + ".old"}, {3, "/srv/Bystander"}};
        EXPECT_EQ(killStale(system), 1) << launcherPath;
        EXPECT_EQ(system.terminated, (std::vector<uint32_t>{2})) << launcherPath;
    }
}

TEST(StaleInstances, LetterCaseFollowsTheSystemsRuleForNames) {
    const std::map<uint32_t, std::string> table = {
        {2, "/OPT/shop/Tavelin"},      // the launcher's tree in other letters
        {3, "/srv/orvanta.exe"},       // the sibling names in other letters
        {4, "/srv/ORVANTASERVER.EXE"},
        {5, "/OPT/SHOP2/x"},           // still only a look-alike directory
        {6, "/srv/xORVANTA.exe"},      // still only a look-alike name
    };
    FakeSystem windowsRule;
    windowsRule.ignoreCase = true;
    windowsRule.processes = table;
    EXPECT_EQ(killStale(windowsRule), 3);
    EXPECT_EQ(windowsRule.terminated, (std::vector<uint32_t>{2, 3, 4}));

    FakeSystem posixRule;
    posixRule.processes = table;
    EXPECT_EQ(killStale(posixRule), 0);
}

TEST(StaleInstances, LauncherDirectoryDropsTheFileName) {
    FakeSystem system;
    launcher::Install install;
    ASSERT_TRUE(launcher::findInstall(system, install));
    EXPECT_STREQ(install.directory, "/opt/shop");
    EXPECT_STREQ(install.modulePath, "/opt/shop/Tavelin");
    system.modulePath = "Tavelin";
    EXPECT_FALSE(launcher::findInstall(system, install));
    EXPECT_STREQ(install.directory, "");
}

TEST(StaleInstances, EndsWithNeedsAStrictlyLongerText) {
    EXPECT_TRUE(launcher::endsWith("a/Orvanta.exe", "Orvanta.exe"));
    EXPECT_FALSE(launcher::endsWith("Orvanta.exe", "Orvanta.exe"));
    EXPECT_FALSE(launcher::endsWith("a/orvanta.exe", "Orvanta.exe"));
    EXPECT_FALSE(launcher::endsWith(nullptr, "x"));
    EXPECT_FALSE(launcher::endsWith("x", nullptr));
}

}  // namespace
