// Files, paths, libraries, the environment and the standard streams on
// Windows, all by UTF-16 path (UTF-8 across the seam).
#include <windows.h>
// windows.h first: shlobj.h needs its types.
#include <aclapi.h>
#include <fcntl.h>
#include <initguid.h>
#include <io.h>
#include <knownfolders.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/wide_path.h"

namespace platform {

bool isPathSeparator(char c) {
    return c == '\\' || c == '/';
}

// The running program's own location.
bool System::ownModulePath(char* buffer, size_t size) {
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

bool System::setCurrentDirectory(const char* path) {
    std::wstring wide;
    return win32::widePath(path, wide) && !wide.empty() && SetCurrentDirectoryW(wide.c_str()) != FALSE;
}

// File names as the Windows file system sees them: compared without regard
// to letter case, opened through the wide functions, and the system's own
// folders.
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

// A folder the system names through a function of the GetWindowsDirectory
// kind.
void addSystemFolder(std::vector<std::string>& folders, UINT(WINAPI* folderOf)(LPWSTR, UINT)) {
    wchar_t folder[MAX_PATH + 1] = {0};
    UINT n = folderOf(folder, MAX_PATH);
    if (n > 0 && n < MAX_PATH) addFolder(folders, folder);
}

void addShellFolder(std::vector<std::string>& folders, int id) {
    wchar_t folder[MAX_PATH] = {0};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, folder))) addFolder(folders, folder);
}

}  // namespace

// Exported by shell32 since Vista, not declared by every SDK's headers.
// Unlike SHGetKnownFolderPath it writes into the caller's buffer, so the
// launcher needs no COM allocator (and no ole32.dll) to free the result.
extern "C" DECLSPEC_IMPORT HRESULT WINAPI SHGetFolderPathEx(REFKNOWNFOLDERID id, DWORD flags, HANDLE token,
                                                            LPWSTR path, UINT size);

namespace {

// Folders that have no CSIDL (Downloads, Public, the folder of all
// profiles).
void addKnownFolder(std::vector<std::string>& folders, const KNOWNFOLDERID& id) {
    wchar_t folder[MAX_PATH + 1] = {0};
    if (SUCCEEDED(SHGetFolderPathEx(id, 0, nullptr, folder, MAX_PATH))) addFolder(folders, folder);
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

bool System::samePathText(const char* a, size_t aLength, const char* b, size_t bLength) {
    if (a == nullptr || b == nullptr) return false;
    std::wstring wideA, wideB;
    if (!wideText(a, aLength, wideA) || !wideText(b, bLength, wideB)) {
        return aLength == bLength && std::char_traits<char>::compare(a, b, aLength) == 0;
    }
    if (wideA.empty() || wideB.empty()) return wideA.empty() && wideB.empty();
    return CompareStringOrdinal(wideA.c_str(), static_cast<int>(wideA.size()), wideB.c_str(),
                                static_cast<int>(wideB.size()), TRUE) == CSTR_EQUAL;
}

std::vector<std::string> System::systemLibraryFolders() {
    std::vector<std::string> folders;
    addSystemFolder(folders, GetSystemDirectoryW);
    // The shared Windows folder: where a terminal server gives a program
    // that does not declare itself aware of it a folder of the user's own,
    // GetWindowsDirectory would name that one.
    addSystemFolder(folders, GetSystemWindowsDirectoryW);
    return folders;
}

namespace {

// Rights that change what a file holds or what a folder lists, or who may.
constexpr ACCESS_MASK WRITE_RIGHTS = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                                     WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

bool isAdministrative(PSID sid) {
    if (IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || IsWellKnownSid(sid, WinLocalSystemSid)) return true;
    // TrustedInstaller, the servicing account that owns the system's files.
    PSID installer = nullptr;
    if (!ConvertStringSidToSidW(L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", &installer)) {
        return false;
    }
    bool same = EqualSid(sid, installer) != FALSE;
    LocalFree(installer);
    return same;
}

}  // namespace

bool System::writableByOthers(const char* path) {
    std::wstring wide;
    if (!win32::widePath(path, wide) || wide.empty()) return false;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(&wide[0], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                              &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    bool writable = dacl == nullptr;  // no list: every right for everyone
    for (DWORD i = 0; !writable && dacl != nullptr && i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&header))) continue;
        // Entries only passed on to what the folder will hold do not apply
        // to the folder itself.
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE) != 0) continue;
        auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        writable = (ace->Mask & WRITE_RIGHTS) != 0 && !isAdministrative(&ace->SidStart);
    }
    LocalFree(descriptor);
    return writable;
}

std::vector<std::string> System::protectedFolders() {
    std::vector<std::string> folders;
    addSystemFolder(folders, GetWindowsDirectoryW);
    // The shared one, where a terminal server gives each user a private one
    // above.
    addSystemFolder(folders, GetSystemWindowsDirectoryW);
    addShellFolder(folders, CSIDL_PROGRAM_FILES);
    addShellFolder(folders, CSIDL_PROGRAM_FILESX86);
    addNativeProgramFiles(folders);
    // Where users keep or receive files of every kind: a launcher placed
    // there would take everything started from there for its own.
    for (int id : {CSIDL_PROFILE, CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL, CSIDL_COMMON_DESKTOPDIRECTORY,
                   CSIDL_COMMON_DOCUMENTS, CSIDL_COMMON_APPDATA}) {
        addShellFolder(folders, id);
    }
    for (const KNOWNFOLDERID* id : {&FOLDERID_Downloads, &FOLDERID_Public, &FOLDERID_UserProfiles}) {
        addKnownFolder(folders, *id);
    }
    return folders;
}

FILE* openFile(const char* path, const char* mode) {
    std::wstring widePath;
    if (!win32::widePath(path, widePath) || widePath.empty() || mode == nullptr) return nullptr;
    std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));  // ASCII
    return _wfopen(widePath.c_str(), wideMode.c_str());
}

namespace {

// True for an open file that is a plain file on a disk: no folder, device,
// pipe, link, junction or other reparse point (the handle was opened with
// FILE_FLAG_OPEN_REPARSE_POINT, so it is the reparse point itself).
bool isPlainFile(HANDLE file, BY_HANDLE_FILE_INFORMATION& info) {
    return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
           (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT |
                                     FILE_ATTRIBUTE_DEVICE)) == 0;
}

}  // namespace

FILE* openRegularFile(const char* path) {
    std::wstring wide;
    if (!win32::widePath(path, wide) || wide.empty()) return nullptr;
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    BY_HANDLE_FILE_INFORMATION info;
    int fd = isPlainFile(file, info) ? _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | _O_BINARY) : -1;
    if (fd < 0) {
        CloseHandle(file);
        return nullptr;
    }
    FILE* stream = _fdopen(fd, "rb");
    if (stream == nullptr) _close(fd);
    return stream;
}

bool replaceWithNewFile(const char* path, const char* bytes, size_t size) {
    std::wstring wide;
    if (!win32::widePath(path, wide) || wide.empty()) return false;
    DWORD found = GetFileAttributesW(wide.c_str());
    if (found != INVALID_FILE_ATTRIBUTES) {
        // A link is replaced; a folder, a device or a file its owner made
        // read-only is not.
        if ((found & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
            (found & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_READONLY)) != 0) {
            return false;
        }
    } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
        return false;
    }
    const std::wstring fresh = wide + L".new";
    DeleteFileW(fresh.c_str());  // what an interrupted replacement left, or a link put there
    HANDLE file = CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    size_t done = 0;
    while (done < size) {
        DWORD ask = size - done > 0x10000 ? 0x10000 : static_cast<DWORD>(size - done);
        DWORD written = 0;
        if (!WriteFile(file, bytes + done, ask, &written, nullptr) || written == 0) break;
        done += written;
    }
    bool ok = done == size && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    if (!ok || !MoveFileExW(fresh.c_str(), wide.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(fresh.c_str());
        return false;
    }
    return true;
}

// Folders of the process's own, their listing, and removing files.
bool System::createPrivateDirectory(const char* path) {
    std::wstring wide;
    if (!win32::widePath(path, wide) || wide.empty()) return false;
    // Administrators and SYSTEM, full control, passed on to what the folder
    // holds; "P": nothing inherited from the folder above.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)", SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        return false;
    }
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    bool ok = CreateDirectoryW(wide.c_str(), &attributes) != FALSE;
    DWORD found = ok || GetLastError() != ERROR_ALREADY_EXISTS ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
    if (found != INVALID_FILE_ATTRIBUTES && (found & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        // A link or junction in the folder's place goes (removing it leaves
        // what it leads to alone), and the folder is made there.
        bool removed = (found & FILE_ATTRIBUTE_DIRECTORY) != 0 ? RemoveDirectoryW(wide.c_str()) != FALSE
                                                                : DeleteFileW(wide.c_str()) != FALSE;
        ok = removed && CreateDirectoryW(wide.c_str(), &attributes) != FALSE;
    } else if (found != INVALID_FILE_ATTRIBUTES) {
        // One made before, by hand or by an older start, is given the same.
        BOOL present = FALSE;
        BOOL defaulted = FALSE;
        PACL dacl = nullptr;
        ok = (found & FILE_ATTRIBUTE_DIRECTORY) != 0 && GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && present &&
             SetNamedSecurityInfoW(&wide[0], SE_FILE_OBJECT,
                                   DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                   dacl, nullptr) == ERROR_SUCCESS;
    }
    LocalFree(descriptor);
    return ok;
}

bool System::vmOptionPath(const char* path, std::string& text) {
    text.clear();
    std::wstring wide;
    if (!win32::widePath(path, wide)) return false;
    if (wide.empty()) return true;
    BOOL lossy = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0,
                                nullptr, &lossy);
    if (n <= 0 || lossy) return false;
    text.resize(static_cast<size_t>(n));
    lossy = FALSE;
    if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), static_cast<int>(wide.size()), &text[0], n,
                            nullptr, &lossy) != n ||
        lossy) {
        text.clear();
        return false;
    }
    return true;
}

std::vector<DirectoryEntry> System::listDirectory(const char* path) {
    std::vector<DirectoryEntry> entries;
    std::wstring wide;
    if (!win32::widePath(path, wide) || wide.empty()) return entries;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((wide + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return entries;
    do {
        if (std::wcscmp(data.cFileName, L".") == 0 || std::wcscmp(data.cFileName, L"..") == 0) continue;
        char name[MAX_PATH * 3 + 1];
        if (!win32::utf8Path(data.cFileName, std::wcslen(data.cFileName), name, sizeof name)) continue;
        DirectoryEntry entry;
        entry.name = name;
        entry.regular = (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT |
                                                  FILE_ATTRIBUTE_DEVICE)) == 0;
        entry.modified = static_cast<int64_t>((static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                              data.ftLastWriteTime.dwLowDateTime);
        entries.push_back(entry);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return entries;
}

bool System::removeFile(const char* path) {
    std::wstring wide;
    return win32::widePath(path, wide) && !wide.empty() && DeleteFileW(wide.c_str()) != FALSE;
}

// File size and replacing rename, by UTF-16 path.
int64_t System::fileSize(const char* path) {
    std::wstring wide;
    if (!win32::widePath(path, wide) || wide.empty()) return -1;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return -1;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return -1;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool System::replaceFile(const char* from, const char* to) {
    std::wstring wideFrom;
    std::wstring wideTo;
    if (!win32::widePath(from, wideFrom) || !win32::widePath(to, wideTo) || wideFrom.empty() || wideTo.empty()) {
        return false;
    }
    return MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

// Libraries loaded by full path, with their dependencies taken only from
// folders the installation controls and from the system.
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

bool System::addLibraryDirectory(const char* directory) {
    std::wstring wide;
    if (!win32::widePath(directory, wide) || wide.empty()) return false;
    if (auto add = kernelFunction<AddDllDirectoryFunction>("AddDllDirectory")) return add(wide.c_str()) != nullptr;
    // Without it, the one folder the older systems let a program add takes
    // the place the working directory had.
    return SetDllDirectoryW(wide.c_str()) != FALSE;
}

void* System::loadLibrary(const char* path) {
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

void* System::findSymbol(void* library, const char* name) {
    if (library == nullptr || name == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void System::freeLibrary(void* library) {
    if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
}

bool System::removeEnvironmentVariable(const char* name) {
    if (name == nullptr) return false;
    // The names are ASCII. msvcrt.dll keeps a copy of the environment of
    // its own, which getenv reads; "NAME=" removes the variable there.
    std::wstring wideName;
    for (const char* p = name; *p != '\0'; ++p) wideName += static_cast<wchar_t>(static_cast<unsigned char>(*p));
    // Set even when empty: the size asked for then counts the terminator.
    bool wasSet = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0) != 0 || _wgetenv(wideName.c_str()) != nullptr;
    _wputenv((wideName + L"=").c_str());
    SetEnvironmentVariableW(wideName.c_str(), nullptr);
    return wasSet;
}

// Standard output and error of a program started without them (a GUI
// program started from the desktop has none) sent to a file instead: for
// the OS's standard handles, which a Java VM takes for System.out and
// System.err when it is created, and for the C runtime's descriptors 1 and
// 2, which msvcrt.dll shares with every DLL of the process (Quenvil's
// printf included).
namespace {

bool usable(DWORD which) {
    HANDLE handle = GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
    // A handle value copied from a parent without being inherited names
    // nothing (or something else) here.
    SetLastError(NO_ERROR);
    return GetFileType(handle) != FILE_TYPE_UNKNOWN || GetLastError() == NO_ERROR;
}

// Points C runtime descriptor fd, its stream and the standard handle which
// at handle (which stays the caller's); path is the file's, as a last
// resort for the stream (none for a pipe).
void attach(HANDLE handle, const wchar_t* path, int fd, FILE* stream, DWORD which) {
    HANDLE own = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &own, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        return;
    }
    int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(own), _O_TEXT);
    if (descriptor < 0) {
        CloseHandle(own);
        return;
    }
    std::fflush(stream);
    if (_dup2(descriptor, fd) == 0) _close(descriptor);
    // A C runtime that marked the stream as having no descriptor at start
    // (msvcrt.dll gives stdout and stderr descriptor -2 when the process
    // has no standard handles) does not write it to descriptor fd. Its
    // FILE is public: the stream takes descriptor fd itself. freopen is no
    // remedy there, as msvcrt implementations refuse to reopen a stream
    // without a descriptor (seen under Wine: printf then reached nothing).
#ifndef _UCRT
    if (_fileno(stream) < 0) {
        stream->_file = fd;
        std::clearerr(stream);
    }
#endif
    // Otherwise a stream of its own on the file, appending as well.
    if (_fileno(stream) != fd && path != nullptr) _wfreopen(path, L"a", stream);
    // Unbuffered, so lines of the C runtime and of the VM keep their order.
    std::setvbuf(stream, nullptr, _IONBF, 0);
    HANDLE standard = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    // Should the descriptor not take it, the duplicate stays open for the
    // VM's sake.
    SetStdHandle(which, standard != INVALID_HANDLE_VALUE ? standard : own);
}

}  // namespace

unsigned System::unusableStandardStreams() {
    unsigned streams = 0;
    if (!usable(STD_OUTPUT_HANDLE)) streams |= STANDARD_OUTPUT;
    if (!usable(STD_ERROR_HANDLE)) streams |= STANDARD_ERROR;
    return streams;
}

bool System::redirectStandardStreams(unsigned streams, const char* path) {
    std::wstring widePath;
    if (streams == 0 || !win32::widePath(path, widePath) || widePath.empty()) return false;
    // Append-only access appends every write at the end, whoever else
    // writes; a restarted copy may rename the file while this one ends.
    HANDLE file = CreateFileW(widePath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    if ((streams & STANDARD_OUTPUT) != 0) attach(file, widePath.c_str(), 1, stdout, STD_OUTPUT_HANDLE);
    if ((streams & STANDARD_ERROR) != 0) attach(file, widePath.c_str(), 2, stderr, STD_ERROR_HANDLE);
    CloseHandle(file);
    return true;
}

// The output log's pipe and file.
bool System::createPipe(void*& readEnd, void*& writeEnd) {
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    // Not inheritable: no program the process starts holds the pipe open.
    if (!CreatePipe(&read, &write, nullptr, 0)) return false;
    readEnd = read;
    writeEnd = write;
    return true;
}

int64_t System::readPipe(void* readEnd, char* buffer, size_t size) {
    DWORD read = 0;
    DWORD ask = size > 0x10000 ? 0x10000 : static_cast<DWORD>(size);
    if (ReadFile(static_cast<HANDLE>(readEnd), buffer, ask, &read, nullptr)) return read;
    return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
}

bool System::redirectStandardStreamsToPipe(unsigned streams, void* writeEnd) {
    HANDLE pipe = static_cast<HANDLE>(writeEnd);
    if ((streams & STANDARD_OUTPUT) != 0) attach(pipe, nullptr, 1, stdout, STD_OUTPUT_HANDLE);
    if ((streams & STANDARD_ERROR) != 0) attach(pipe, nullptr, 2, stderr, STD_ERROR_HANDLE);
    CloseHandle(pipe);
    return true;
}

void* System::openLogFile(const char* path) {
    std::wstring wide;
    if (!win32::widePath(path, wide) || wide.empty()) return nullptr;
    // Sharing delete as well: another process may move the log aside while
    // this one has it open. A link or junction is opened as itself, and
    // refused below, never followed.
    HANDLE file = CreateFileW(wide.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    BY_HANDLE_FILE_INFORMATION info;
    // A file with another name elsewhere (a hard link) would take the log there.
    if (!isPlainFile(file, info) || info.nNumberOfLinks != 1) {
        CloseHandle(file);
        return nullptr;
    }
    return file;
}

int64_t System::appendLogFile(void* file, const char* data, size_t size) {
    HANDLE handle = static_cast<HANDLE>(file);
    size_t done = 0;
    while (done < size) {
        DWORD ask = size - done > 0x10000 ? 0x10000 : static_cast<DWORD>(size - done);
        DWORD written = 0;
        if (!WriteFile(handle, data + done, ask, &written, nullptr) || written == 0) return -1;
        done += written;
    }
    LARGE_INTEGER length;
    return GetFileSizeEx(handle, &length) ? static_cast<int64_t>(length.QuadPart) : -1;
}

bool System::isOpenFileAt(void* file, const char* path) {
    std::wstring wide;
    if (!win32::widePath(path, wide) || wide.empty()) return false;
    HANDLE named = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (named == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION a;
    BY_HANDLE_FILE_INFORMATION b;
    bool same = GetFileInformationByHandle(static_cast<HANDLE>(file), &a) && GetFileInformationByHandle(named, &b) &&
                a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
                a.nFileIndexLow == b.nFileIndexLow;
    CloseHandle(named);
    return same;
}

namespace {

// A byte far beyond any log's end: the lock keeps no write out.
OVERLAPPED lockRegion() {
    OVERLAPPED region;
    ZeroMemory(&region, sizeof region);
    region.Offset = 0xFFFFFFFE;
    region.OffsetHigh = 0x7FFFFFFF;
    return region;
}

}  // namespace

void System::lockLogFile(void* file) {
    OVERLAPPED region = lockRegion();
    LockFileEx(static_cast<HANDLE>(file), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &region);
}

void System::unlockLogFile(void* file) {
    OVERLAPPED region = lockRegion();
    UnlockFileEx(static_cast<HANDLE>(file), 0, 1, 0, &region);
}

void System::closeLogFile(void* file) {
    if (file != nullptr) CloseHandle(static_cast<HANDLE>(file));
}

bool System::isSpecialFile(const char* path) {
    std::wstring wide;
    if (!win32::widePath(path, wide) || wide.empty()) return false;
    DWORD attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0;
}

}  // namespace platform
