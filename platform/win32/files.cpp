// File size and replacing rename, by UTF-16 path.
#include <windows.h>

#include <vector>

#include "platform/platform.h"

namespace platform {
namespace {

std::vector<wchar_t> wide(const char* text) {
    int n = utf8ToUtf16(text, nullptr, 0);
    std::vector<wchar_t> result(n > 0 ? static_cast<size_t>(n) : 1, L'\0');
    if (n > 0) utf8ToUtf16(text, reinterpret_cast<char16_t*>(result.data()), n);
    return result;
}

}  // namespace

int64_t fileSize(const char* path) {
    if (path == nullptr) return -1;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(wide(path).data(), GetFileExInfoStandard, &data)) return -1;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return -1;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool replaceFile(const char* from, const char* to) {
    if (from == nullptr || to == nullptr) return false;
    return MoveFileExW(wide(from).data(), wide(to).data(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

}  // namespace platform
