// The launcher's own location and the layout beside it.
#include <windows.h>

#include "platform/platform.h"

namespace platform {

const char RUNTIME_LIBRARY_PATH[] = "jre7\\bin\\client\\jvm.dll";

bool isPathSeparator(char c) {
    return c == '\\' || c == '/';
}

bool ownModulePath(char* buffer, size_t size) {
    if (buffer == nullptr || size == 0) return false;
    buffer[0] = '\0';
    DWORD n = GetModuleFileNameA(nullptr, buffer, static_cast<DWORD>(size));
    // A full buffer means the path was cut: better no path than a wrong one.
    if (n == 0 || n >= size) {
        buffer[0] = '\0';
        return false;
    }
    return true;
}

bool setCurrentDirectory(const char* path) {
    return path != nullptr && SetCurrentDirectoryA(path) != FALSE;
}

}  // namespace platform
