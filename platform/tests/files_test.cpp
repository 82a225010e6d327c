#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

bool contains(const std::vector<std::string>& folders, const std::string& folder) {
    return std::find(folders.begin(), folders.end(), folder) != folders.end();
}

// A launcher placed in a user's own folders must not take everything
// started from there for its own.
TEST(ProtectedFolders, TakeInTheUsersOwnFolders) {
    platform::System system;
    const std::vector<std::string> folders = system.protectedFolders();
#ifdef _WIN32
    wchar_t profile[MAX_PATH] = {0};
    ASSERT_GT(GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH), 0u);
    char utf8[MAX_PATH * 3] = {0};
    ASSERT_GT(WideCharToMultiByte(CP_UTF8, 0, profile, -1, utf8, sizeof utf8, nullptr, nullptr), 0);
    const std::string home = utf8;
    const char separator = '\\';
#else
    const struct passwd* account = getpwuid(getuid());
    ASSERT_NE(account, nullptr);
    const std::string home = account->pw_dir;
    if (home == "/") GTEST_SKIP() << "the account's home is the root";
    const char separator = '/';
#endif
    EXPECT_TRUE(contains(folders, home)) << home;
    for (const char* name : {"Desktop", "Documents", "Downloads"}) {
        EXPECT_TRUE(contains(folders, home + separator + name)) << name;
    }
}

}  // namespace
