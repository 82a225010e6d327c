#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first: aclapi.h needs its types.
#include <aclapi.h>
#else
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>

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

// The VM's temporary folder and the heap dumps: nobody but administrators
// (on POSIX the owner) may reach them, also when the folder was there.
TEST(PrivateDirectory, OnlyAdministratorsHaveAccess) {
    const std::filesystem::path base = std::filesystem::temp_directory_path() / "tavelin-private-test";
    std::filesystem::remove_all(base);
    std::filesystem::create_directories(base / "old");
    platform::System system;
    for (const char* name : {"new", "old"}) {
        const std::string path = (base / name).string();
        ASSERT_TRUE(system.createPrivateDirectory(path.c_str())) << name;
        EXPECT_TRUE(std::filesystem::is_directory(base / name)) << name;
#ifdef _WIN32
        // Wine keeps no access lists of its own for files (it derives one from
        // the POSIX mode): what the folder was given shows only on Windows.
        if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr) continue;
        std::wstring wide = (base / name).wstring();
        PACL dacl = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_EQ(GetNamedSecurityInfoW(&wide[0], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                        nullptr, &descriptor),
                  static_cast<DWORD>(ERROR_SUCCESS));
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
        EXPECT_NE(control & SE_DACL_PROTECTED, 0) << name << ": inherits from the folder above";
        ASSERT_NE(dacl, nullptr);
        std::vector<WELL_KNOWN_SID_TYPE> allowed;
        for (DWORD i = 0; i < dacl->AceCount; ++i) {
            ACCESS_ALLOWED_ACE* ace = nullptr;
            ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
            ASSERT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
            PSID sid = &ace->SidStart;
            if (IsWellKnownSid(sid, WinBuiltinAdministratorsSid)) {
                allowed.push_back(WinBuiltinAdministratorsSid);
            } else if (IsWellKnownSid(sid, WinLocalSystemSid)) {
                allowed.push_back(WinLocalSystemSid);
            } else {
                ADD_FAILURE() << name << ": access for another account";
            }
        }
        EXPECT_EQ(allowed.size(), 2u) << name;
        LocalFree(descriptor);
#else
        struct stat info;
        ASSERT_EQ(stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u) << name;
#endif
    }
    // A file of that name is no folder.
    const std::string file = (base / "file").string();
    std::FILE* f = platform::openFile(file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_FALSE(system.createPrivateDirectory(file.c_str()));
    std::filesystem::remove_all(base);
}

// What the output log's rotation relies on: appending gives the size, the
// open file is told from one made at its path after it was moved aside, and
// only a regular file is taken.
TEST(LogFile, RotatesUnderItsLockAndTakesOnlyARegularFile) {
    const std::filesystem::path base = std::filesystem::temp_directory_path() / "tavelin-log-test";
    std::filesystem::remove_all(base);
    std::filesystem::create_directories(base / "folder");
    platform::System system;
    const std::string log = (base / "out.log").string();
    const std::string previous = log + ".1";
    void* file = system.openLogFile(log.c_str());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(system.appendLogFile(file, "abc", 3), 3);
    EXPECT_TRUE(system.isOpenFileAt(file, log.c_str()));
    system.lockLogFile(file);
    EXPECT_EQ(system.appendLogFile(file, "de", 2), 5);  // writes go on under the lock
    ASSERT_TRUE(system.replaceFile(log.c_str(), previous.c_str()));
    void* next = system.openLogFile(log.c_str());
    system.unlockLogFile(file);
    ASSERT_NE(next, nullptr);
    EXPECT_FALSE(system.isOpenFileAt(file, log.c_str()));
    EXPECT_TRUE(system.isOpenFileAt(next, log.c_str()));
    system.closeLogFile(file);
    system.closeLogFile(next);
    EXPECT_EQ(std::filesystem::file_size(previous), 5u);

    EXPECT_EQ(system.openLogFile((base / "folder").string().c_str()), nullptr);
    EXPECT_TRUE(system.isSpecialFile((base / "folder").string().c_str()));
    EXPECT_FALSE(system.isSpecialFile(previous.c_str()));
    EXPECT_FALSE(system.isSpecialFile((base / "absent").string().c_str()));
    std::filesystem::remove_all(base);
}

}  // namespace
