// File names as the Windows file system sees them: compared without regard
// to letter case, opened through the wide functions, and the system's own
// folders.
#include <windows.h>
// windows.h first: shlobj.h needs its types.
#include <shlobj.h>

#include <cwchar>
#include <string>

#include "platform/platform.h"
#include "platform/win32/wide_path.h"

namespace platform {
namespace {

bool wideText(const char* text, size_t length, std::wstring& out) {
    out.clear();
    if (length == 0) return true;
    if (length > 0x7FFFFFFF) return false;
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, static_cast<int>(length), nullptr, 0);
    if (n <= 0) return false;
    out.resize(static_cast<size_t>(n));
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, static_cast<int>(length), &out[0], n) == n;
}

// Adds a folder in UTF-8, without trailing separators (a root keeps none:
// "C:\" becomes "C:").
void addFolder(std::vector<std::string>& folders, const wchar_t* folder) {
    size_t length = std::wcslen(folder);
    while (length > 0 && (folder[length - 1] == L'\\' || folder[length - 1] == L'/')) --length;
    char utf8[MAX_PATH * 3 + 1];
    if (win32::utf8Path(folder, length, utf8, sizeof utf8)) folders.emplace_back(utf8);
}

void addShellFolder(std::vector<std::string>& folders, int id) {
    wchar_t folder[MAX_PATH] = {0};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, folder))) addFolder(folders, folder);
}

// The 64-bit Program Files folder, which a 32-bit program on 64-bit Windows
// is not shown as its own: from the machine's registry, which only
// administrators can change (unlike the environment the launcher inherits).
void addNativeProgramFiles(std::vector<std::string>& folders) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
        return;
    }
    wchar_t folder[MAX_PATH + 1] = {0};
    DWORD type = 0;
    DWORD bytes = sizeof folder - sizeof folder[0];  // room for a terminator the value may lack
    if (RegQueryValueExW(key, L"ProgramW6432Dir", nullptr, &type, reinterpret_cast<BYTE*>(folder), &bytes) ==
            ERROR_SUCCESS &&
        type == REG_SZ) {
        folder[bytes / sizeof folder[0]] = L'\0';
        addFolder(folders, folder);
    }
    RegCloseKey(key);
}

}  // namespace

bool samePathText(const char* a, size_t aLength, const char* b, size_t bLength) {
    if (a == nullptr || b == nullptr) return false;
    std::wstring wideA, wideB;
    if (!wideText(a, aLength, wideA) || !wideText(b, bLength, wideB)) {
        return aLength == bLength && std::char_traits<char>::compare(a, b, aLength) == 0;
    }
    if (wideA.empty() || wideB.empty()) return wideA.empty() && wideB.empty();
    return CompareStringOrdinal(wideA.c_str(), static_cast<int>(wideA.size()), wideB.c_str(),
                                static_cast<int>(wideB.size()), TRUE) == CSTR_EQUAL;
}

std::vector<std::string> protectedFolders() {
    std::vector<std::string> folders;
    wchar_t folder[MAX_PATH + 1] = {0};
    UINT n = GetWindowsDirectoryW(folder, MAX_PATH);
    if (n > 0 && n < MAX_PATH) addFolder(folders, folder);
    // The shared one, where a terminal server gives each user a private one
    // above.
    n = GetSystemWindowsDirectoryW(folder, MAX_PATH);
    if (n > 0 && n < MAX_PATH) addFolder(folders, folder);
    addShellFolder(folders, CSIDL_PROGRAM_FILES);
    addShellFolder(folders, CSIDL_PROGRAM_FILESX86);
    addNativeProgramFiles(folders);
    return folders;
}

FILE* openFile(const char* path, const char* mode) {
    std::wstring widePath;
    if (!win32::widePath(path, widePath) || widePath.empty() || mode == nullptr) return nullptr;
    std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));  // ASCII
    return _wfopen(widePath.c_str(), wideMode.c_str());
}

}  // namespace platform
