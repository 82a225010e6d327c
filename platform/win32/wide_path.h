// UTF-8 paths of the seam to and from the UTF-16 the wide Windows functions
// take. A text that does not convert exactly is refused, never mended: a
// path with a replaced character would name another file.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace platform {
namespace win32 {

// The UTF-16 spelling of a NUL-terminated UTF-8 path; false for a null or
// ill-formed one.
inline bool widePath(const char* path, std::wstring& out) {
    out.clear();
    if (path == nullptr) return false;
    if (path[0] == '\0') return true;
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
    if (n <= 0) return false;
    out.resize(static_cast<size_t>(n));
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, &out[0], n) != n) {
        out.clear();
        return false;
    }
    out.resize(static_cast<size_t>(n) - 1);  // the terminator stays implicit
    return true;
}

// The UTF-8 spelling of length units of wide text into buffer (size bytes,
// NUL-terminated). False, with an empty buffer, when it does not fit or the
// text holds a lone surrogate.
inline bool utf8Path(const wchar_t* wide, size_t length, char* buffer, size_t size) {
    if (buffer == nullptr || size == 0) return false;
    buffer[0] = '\0';
    if (wide == nullptr || length == 0 || length > 0x7FFFFFFF) return false;
    int n = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, static_cast<int>(length), nullptr, 0,
                                nullptr, nullptr);
    if (n <= 0 || static_cast<size_t>(n) >= size) return false;
    if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, static_cast<int>(length), buffer, n, nullptr,
                            nullptr) != n) {
        buffer[0] = '\0';
        return false;
    }
    buffer[n] = '\0';
    return true;
}

}  // namespace win32
}  // namespace platform
