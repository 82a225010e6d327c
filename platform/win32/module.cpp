// The launcher's own location and the layout beside it.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/wide_path.h"

namespace platform {

const char RUNTIME_LIBRARY_PATH[] = "jre7\\bin\\client\\jvm.dll";

bool isPathSeparator(char c) {
    return c == '\\' || c == '/';
}

bool ownModulePath(char* buffer, size_t size) {
    if (buffer == nullptr || size == 0) return false;
    buffer[0] = '\0';
    // Every UTF-16 unit takes at least one UTF-8 byte, so a path that fits
    // the buffer has fewer units than it has bytes.
    std::vector<wchar_t> wide(size < 0x8000 ? size : 0x8000);
    DWORD n = GetModuleFileNameW(nullptr, wide.data(), static_cast<DWORD>(wide.size()));
    // A full buffer means the path was cut: better no path than a wrong one.
    if (n == 0 || n >= wide.size()) return false;
    return win32::utf8Path(wide.data(), n, buffer, size);
}

bool setCurrentDirectory(const char* path) {
    std::wstring wide;
    return win32::widePath(path, wide) && !wide.empty() && SetCurrentDirectoryW(wide.c_str()) != FALSE;
}

}  // namespace platform
