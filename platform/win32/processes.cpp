// The process table through a Toolhelp snapshot; paths from the process
// object itself.
#include <windows.h>
// windows.h first: tlhelp32.h needs its types.
#include <tlhelp32.h>

#include <vector>

#include "platform/platform.h"
#include "platform/win32/wide_path.h"

namespace platform {

uint32_t currentProcessId() {
    return GetCurrentProcessId();
}

bool listProcesses(std::vector<uint32_t>& ids) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPALL, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32W entry;
    ZeroMemory(&entry, sizeof entry);
    entry.dwSize = sizeof entry;
    if (Process32FirstW(snapshot, &entry)) {
        do {
            ids.push_back(entry.th32ProcessID);
        } while (Process32NextW(snapshot, &entry));
    }
    CloseHandle(snapshot);
    return true;
}

ProcessHandle openProcess(uint32_t id) {
    // Only what is needed: the limited query right reads the path of any
    // process (64-bit ones too) without reading its memory, and a handle
    // that is not inherited never reaches the restarted launcher.
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, id);
    return process;  // null when refused
}

bool processExecutablePath(ProcessHandle process, char* buffer, size_t size) {
    if (buffer == nullptr || size == 0) return false;
    buffer[0] = '\0';
    if (process == nullptr) return false;
    // A path that fits the buffer has fewer UTF-16 units than bytes.
    std::vector<wchar_t> wide(size < 0x8000 ? size : 0x8000);
    DWORD n = static_cast<DWORD>(wide.size());
    if (!QueryFullProcessImageNameW(static_cast<HANDLE>(process), 0, wide.data(), &n) || n == 0) return false;
    return win32::utf8Path(wide.data(), n, buffer, size);
}

bool terminateProcess(ProcessHandle process) {
    return process != nullptr && TerminateProcess(static_cast<HANDLE>(process), 0) != FALSE;
}

void closeProcess(ProcessHandle process) {
    if (process != nullptr) CloseHandle(static_cast<HANDLE>(process));
}

}  // namespace platform
