// The process table through a Toolhelp snapshot; paths through psapi.
#include <windows.h>
// windows.h first: these two need its types.
#include <psapi.h>
#include <tlhelp32.h>

#include "platform/platform.h"

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
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, TRUE, id);
    return process;  // null when refused
}

bool processExecutablePath(ProcessHandle process, char* buffer, size_t size) {
    if (buffer == nullptr || size == 0) return false;
    buffer[0] = '\0';
    if (process == nullptr) return false;
    DWORD n = GetModuleFileNameExA(static_cast<HANDLE>(process), nullptr, buffer, static_cast<DWORD>(size - 1));
    if (n == 0) {
        buffer[0] = '\0';
        return false;
    }
    buffer[n < size ? n : size - 1] = '\0';
    return true;
}

bool terminateProcess(ProcessHandle process) {
    return process != nullptr && TerminateProcess(static_cast<HANDLE>(process), 0) != FALSE;
}

void closeProcess(ProcessHandle process) {
    if (process != nullptr) CloseHandle(static_cast<HANDLE>(process));
}

}  // namespace platform
