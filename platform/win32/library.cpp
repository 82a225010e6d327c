// Libraries loaded by full path, with their dependencies taken only from
// folders the installation controls and from the system.
#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "platform/win32/wide_path.h"

namespace platform {
namespace {

// Not in every kernel32 the launcher may meet (Windows 7 without its
// update KB2533623 lacks them), so looked up rather than imported.
template <typename Function>
Function kernelFunction(const char* name) {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel, name)));
}

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
using AddDllDirectoryFunction = void*(WINAPI*)(PCWSTR);

// The flags the system understands only with those functions.
constexpr DWORD SEARCH_DLL_LOAD_DIR = 0x00000100;   // LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
constexpr DWORD SEARCH_DEFAULT_DIRS = 0x00001000;   // LOAD_LIBRARY_SEARCH_DEFAULT_DIRS

}  // namespace

void restrictLibrarySearch() {
    auto setDefault = kernelFunction<SetDefaultDllDirectoriesFunction>("SetDefaultDllDirectories");
    if (setDefault != nullptr && setDefault(SEARCH_DEFAULT_DIRS)) return;
    // The older systems' remedy: the working directory leaves the search.
    SetDllDirectoryW(L"");
}

bool addLibraryDirectory(const char* directory) {
    std::wstring wide;
    if (!win32::widePath(directory, wide) || wide.empty()) return false;
    if (auto add = kernelFunction<AddDllDirectoryFunction>("AddDllDirectory")) return add(wide.c_str()) != nullptr;
    // Without it, the one folder the older systems let a program add takes
    // the place the working directory had.
    return SetDllDirectoryW(wide.c_str()) != FALSE;
}

void* loadLibrary(const char* path) {
    std::wstring wide;
    if (!win32::widePath(path, wide) || wide.empty()) return nullptr;
    HMODULE library = LoadLibraryExW(wide.c_str(), nullptr, SEARCH_DLL_LOAD_DIR | SEARCH_DEFAULT_DIRS);
    // Refused as unknown flags on systems without the new search: the
    // library's own folder first, then the usual order.
    if (library == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
        library = LoadLibraryExW(wide.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    return reinterpret_cast<void*>(library);
}

void* findSymbol(void* library, const char* name) {
    if (library == nullptr || name == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void freeLibrary(void* library) {
    if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
}

}  // namespace platform
