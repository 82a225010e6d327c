// Standard output and error of a program started without them (a GUI
// program started from the desktop has none) sent to a file instead: for
// the OS's standard handles, which a Java VM takes for System.out and
// System.err when it is created, and for the C runtime's descriptors 1 and
// 2, which msvcrt.dll shares with every DLL of the process (Quenvil's
// printf included).
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "platform/win32/wide_path.h"

namespace platform {
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
// resort for the stream.
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
    // does not write it to descriptor fd: it gets a stream of its own on
    // the file, appending as well.
    if (_fileno(stream) != fd) _wfreopen(path, L"a", stream);
    // Unbuffered, so lines of the C runtime and of the VM keep their order.
    std::setvbuf(stream, nullptr, _IONBF, 0);
    HANDLE standard = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    // Should the descriptor not take it, the duplicate stays open for the
    // VM's sake.
    SetStdHandle(which, standard != INVALID_HANDLE_VALUE ? standard : own);
}

}  // namespace

unsigned unusableStandardStreams() {
    unsigned streams = 0;
    if (!usable(STD_OUTPUT_HANDLE)) streams |= STANDARD_OUTPUT;
    if (!usable(STD_ERROR_HANDLE)) streams |= STANDARD_ERROR;
    return streams;
}

bool redirectStandardStreams(unsigned streams, const char* path) {
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

}  // namespace platform
