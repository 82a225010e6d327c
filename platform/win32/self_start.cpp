// A fresh copy of the running program, started detached from this one.
#include <windows.h>

#include <cstdio>

#include "platform/platform.h"

namespace platform {

bool startCopyOfSelf(const char* modulePath) {
    if (modulePath == nullptr || modulePath[0] == '\0') return false;
    // The quoted path as the whole command line: without it Windows takes
    // the unquoted application name, and a path with a blank would hand
    // the copy whatever follows the blank as its arguments.
    char commandLine[300] = {0};
    int n = std::snprintf(commandLine, sizeof commandLine, "\"%s\"", modulePath);
    if (n < 0 || static_cast<size_t>(n) >= sizeof commandLine) return false;
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    ZeroMemory(&info, sizeof info);
    BOOL ok = CreateProcessA(modulePath, commandLine, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                             nullptr, &startup, &info);
    if (!ok) return false;
    // Not waited for; the handles are not needed.
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return true;
}

}  // namespace platform
