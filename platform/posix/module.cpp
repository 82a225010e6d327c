// The launcher's own location and the layout beside it.
#include <unistd.h>

#include "platform/platform.h"

namespace platform {

const char RUNTIME_LIBRARY_PATH[] = "jre7/lib/server/libjvm.so";

bool isPathSeparator(char c) {
    return c == '/';
}

bool ownModulePath(char* buffer, size_t size) {
    if (buffer == nullptr || size == 0) return false;
    buffer[0] = '\0';
    ssize_t n = readlink("/proc/self/exe", buffer, size);
    if (n <= 0 || static_cast<size_t>(n) >= size) {
        buffer[0] = '\0';
        return false;
    }
    buffer[n] = '\0';
    return true;
}

bool setCurrentDirectory(const char* path) {
    return path != nullptr && chdir(path) == 0;
}

}  // namespace platform
