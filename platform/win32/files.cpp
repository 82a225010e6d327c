// File size and replacing rename, by UTF-16 path.
#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "platform/win32/wide_path.h"

namespace platform {

int64_t fileSize(const char* path) {
    std::wstring wide;
    if (!win32::widePath(path, wide) || wide.empty()) return -1;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return -1;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return -1;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool replaceFile(const char* from, const char* to) {
    std::wstring wideFrom;
    std::wstring wideTo;
    if (!win32::widePath(from, wideFrom) || !win32::widePath(to, wideTo) || wideFrom.empty() || wideTo.empty()) {
        return false;
    }
    return MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

}  // namespace platform
