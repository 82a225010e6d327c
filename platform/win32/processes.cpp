// Processes on Windows: the process table, opening, reading and ending a
// process, a fresh copy of the running program, waiting, and the command
// line's arguments.
#include <windows.h>
// windows.h first: tlhelp32.h and shellapi.h need its types.
#include <shellapi.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "platform/callback_type.h"
#include "platform/platform.h"
#include "platform/win32/wide_path.h"

namespace platform {

// The process table through a Toolhelp snapshot; paths from the process
// object itself.
uint32_t System::currentProcessId() {
    return GetCurrentProcessId();
}

bool System::listProcesses(std::vector<uint32_t>& ids) {
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

ProcessHandle System::openProcess(uint32_t id) {
    // Only what is needed: the limited query right reads the path of any
    // process (64-bit ones too) without reading its memory, and a handle
    // that is not inherited never reaches the restarted launcher.
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, id);
    return process;  // null when refused
}

bool System::processExecutablePath(ProcessHandle process, char* buffer, size_t size) {
    if (buffer == nullptr || size == 0) return false;
    buffer[0] = '\0';
    if (process == nullptr) return false;
    // A path that fits the buffer has fewer UTF-16 units than bytes.
    std::vector<wchar_t> wide(size < 0x8000 ? size : 0x8000);
    DWORD n = static_cast<DWORD>(wide.size());
    if (!QueryFullProcessImageNameW(static_cast<HANDLE>(process), 0, wide.data(), &n) || n == 0) return false;
    return win32::utf8Path(wide.data(), n, buffer, size);
}

bool System::terminateProcess(ProcessHandle process) {
    return process != nullptr && TerminateProcess(static_cast<HANDLE>(process), 0) != FALSE;
}

bool System::inOwnSession(ProcessHandle process) {
    if (process == nullptr) return false;
    // The handle keeps the process's id from going to another meanwhile.
    DWORD id = GetProcessId(static_cast<HANDLE>(process));
    DWORD theirs = 0;
    DWORD ours = 0;
    return id != 0 && ProcessIdToSessionId(id, &theirs) && ProcessIdToSessionId(GetCurrentProcessId(), &ours) &&
           theirs == ours;
}

void System::closeProcess(ProcessHandle process) {
    if (process != nullptr) CloseHandle(static_cast<HANDLE>(process));
}

// A fresh copy of the running program, started detached from this one.
bool System::startCopyOfSelf(const char* modulePath) {
    std::wstring application;
    if (!win32::widePath(modulePath, application) || application.empty()) return false;
    // The quoted path as the whole command line: without it Windows takes
    // the unquoted application name, and a path with a blank would hand
    // the copy whatever follows the blank as its arguments.
    std::wstring commandLine = L"\"" + application + L"\"";
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    ZeroMemory(&info, sizeof info);
    // CreateProcessW may write into its command line.
    BOOL ok = CreateProcessW(application.c_str(), &commandLine[0], nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                             nullptr, nullptr, &startup, &info);
    if (!ok) return false;
    // Not waited for; the handles are not needed.
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return true;
}

namespace {

struct ThreadStart {
    void (*run)(void*);
    void* argument;
};

DWORD WINAPI threadMain(LPVOID start) {
    ThreadStart call = *static_cast<ThreadStart*>(start);
    delete static_cast<ThreadStart*>(start);
    call.run(call.argument);
    return 0;
}

TAVELIN_CHECK_CALLBACK(threadMain, DWORD(WINAPI*)(LPVOID));

}  // namespace

void* System::startThread(void (*run)(void*), void* argument) {
    auto* start = new ThreadStart{run, argument};
    HANDLE thread = CreateThread(nullptr, 0, threadMain, start, 0, nullptr);
    if (thread == nullptr) delete start;
    return thread;
}

bool System::waitForThread(void* thread, uint32_t milliseconds) {
    if (thread == nullptr) return false;
    bool ended = WaitForSingleObject(static_cast<HANDLE>(thread), milliseconds) == WAIT_OBJECT_0;
    CloseHandle(static_cast<HANDLE>(thread));
    return ended;
}

void System::sleepMilliseconds(uint32_t milliseconds) {
    Sleep(milliseconds);
}

std::vector<std::u16string> splitCommandLine(const char16_t* commandLine) {
    std::vector<std::u16string> arguments;
    if (commandLine == nullptr) return arguments;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(reinterpret_cast<LPCWSTR>(commandLine), &count);
    if (argv == nullptr) return arguments;
    for (int i = 0; i < count; ++i) arguments.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
    LocalFree(argv);
    return arguments;
}

}  // namespace platform
