// A fresh copy of the running program, started detached from this one.
#include <spawn.h>

#include "platform/platform.h"

extern char** environ;

namespace platform {

bool startCopyOfSelf(const char* modulePath) {
    if (modulePath == nullptr || modulePath[0] == '\0') return false;
    char* argv[] = {const_cast<char*>(modulePath), nullptr};
    pid_t child = 0;
    // Not waited for: the caller ends right after, and the child is then
    // adopted by the system.
    return posix_spawn(&child, modulePath, nullptr, nullptr, argv, environ) == 0;
}

}  // namespace platform
