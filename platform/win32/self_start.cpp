// A fresh copy of the running program, started detached from this one.
#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "platform/win32/wide_path.h"

namespace platform {

bool startCopyOfSelf(const char* modulePath) {
    std::wstring application;
    if (!win32::widePath(modulePath, application) || application.empty()) return false;
    // The quoted path as the whole command line: without it Windows takes
    // the unquoted application name, and a path with a blank would hand
    // the copy whatever follows the blank as its arguments.
    std::wstring commandLine = L"\"" + application + L"\"";
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    ZeroMemory(&info, sizeof info);
    // CreateProcessW may write into its command line.
    BOOL ok = CreateProcessW(application.c_str(), &commandLine[0], nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                             nullptr, nullptr, &startup, &info);
    if (!ok) return false;
    // Not waited for; the handles are not needed.
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return true;
}

}  // namespace platform
