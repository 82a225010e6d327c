// Helpers of the Windows process tests: an install directory beside which
// Tavelin.exe finds its runtime, processes started and waited for, and the
// build's files as Wine sees them.
#pragma once

#include <windows.h>
// windows.h first: tlhelp32.h needs its types.
#include <tlhelp32.h>

#include <cwchar>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace windows_test {

namespace fs = std::filesystem;

// A path of the build tree (CMake gives POSIX paths) as Wine sees it: the
// root of the host's file system is drive Z:.
inline fs::path hostPath(const char* posixPath) {
    std::wstring path = L"Z:";
    for (const char* p = posixPath; *p != '\0'; ++p) path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    return fs::path(path);
}

// A fresh directory under the user's temporary directory, removed with its
// content at the end. Its name has blanks, and a number after the first
// one, so a command line that leaves the program path unquoted would hand
// a restarted launcher a delay argument; nameEnd is appended to it.
class InstallDir {
public:
    explicit InstallDir(const std::wstring& nameEnd = std::wstring()) {
        wchar_t temp[MAX_PATH] = {0};
        GetTempPathW(MAX_PATH, temp);
        static int serial = 0;
        for (int attempt = 0; attempt < 1000 && path_.empty(); ++attempt) {
            fs::path candidate = fs::path(temp) / (L"tavelin 5 " + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                                   std::to_wstring(++serial) + nameEnd);
            std::error_code error;
            if (fs::create_directory(candidate, error)) path_ = candidate;
        }
    }
    InstallDir(const InstallDir&) = delete;
    InstallDir& operator=(const InstallDir&) = delete;
    ~InstallDir() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }

    const fs::path& path() const { return path_; }
    fs::path operator/(const wchar_t* relative) const { return path_ / relative; }

    // Copies a file of the build tree to relative, creating its folders.
    bool add(const char* posixSource, const wchar_t* relative) const {
        fs::path target = path_ / relative;
        std::error_code error;
        fs::create_directories(target.parent_path(), error);
        return CopyFileW(hostPath(posixSource).c_str(), target.c_str(), FALSE) != FALSE;
    }

private:
    fs::path path_;
};

// Starts program with the given arguments (none: the quoted path alone) in
// the given working directory. Null when it could not be started.
inline HANDLE start(const fs::path& program, const std::wstring& arguments, const fs::path& directory) {
    std::wstring commandLine = L"\"" + program.wstring() + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    ZeroMemory(&info, sizeof info);
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        directory.c_str(), &startup, &info)) {
        return nullptr;
    }
    CloseHandle(info.hThread);
    return info.hProcess;
}

// Starts program with no arguments and the given standard output and
// error (null: none at all, as a GUI program started from the desktop has),
// waits for it and returns its exit code (0xFFFFFFFF when it never started).
inline DWORD runWithStandardHandles(const fs::path& program, const fs::path& directory, HANDLE out, HANDLE err) {
    std::wstring commandLine = L"\"" + program.wstring() + L"\"";
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION info;
    ZeroMemory(&info, sizeof info);
    BOOL inherit = out != nullptr || err != nullptr;
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, inherit, CREATE_NO_WINDOW, nullptr,
                        directory.c_str(), &startup, &info)) {
        return 0xFFFFFFFF;
    }
    CloseHandle(info.hThread);
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    return code;
}

// A file that a child process inherits as a standard stream.
inline HANDLE inheritableFile(const fs::path& path) {
    SECURITY_ATTRIBUTES attributes;
    ZeroMemory(&attributes, sizeof attributes);
    attributes.nLength = sizeof attributes;
    attributes.bInheritHandle = TRUE;
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &attributes, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

inline std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Waits for the process to end and closes its handle; its exit code, or
// 0xFFFFFFFF when it never started.
inline DWORD waitForExit(HANDLE process) {
    if (process == nullptr) return 0xFFFFFFFF;
    WaitForSingleObject(process, INFINITE);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return code;
}

inline DWORD run(const fs::path& program, const std::wstring& arguments, const fs::path& directory) {
    return waitForExit(start(program, arguments, directory));
}

inline bool startsWithIgnoringCase(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() && _wcsnicmp(text.c_str(), prefix.c_str(), prefix.size()) == 0;
}

// Starts a sleeper and returns once it runs (its path can then be read by
// others); null when it could not be started.
inline HANDLE startSleeper(const fs::path& program, const fs::path& directory) {
    static int serial = 0;
    const std::wstring name =
        L"tavelin-sleeper-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++serial);
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
    if (ready == nullptr) return nullptr;
    HANDLE process = start(program, name, directory);
    if (process != nullptr) {
        HANDLE events[2] = {ready, process};
        WaitForMultipleObjects(2, events, FALSE, INFINITE);
    }
    CloseHandle(ready);
    return process;
}

// Waits until no process of the given file name runs from inside
// directory. A launcher starts its restarted copy before it ends, so a walk
// that finds none comes after the whole chain. A process of that name
// whose path cannot be read yet counts as running.
inline void waitForProcessesIn(const fs::path& directory, const wchar_t* fileName) {
    const std::wstring prefix = directory.wstring() + L"\\";
    for (;;) {
        std::vector<HANDLE> running;
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snapshot == INVALID_HANDLE_VALUE) return;
        PROCESSENTRY32W entry;
        ZeroMemory(&entry, sizeof entry);
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
            if (_wcsicmp(entry.szExeFile, fileName) != 0) continue;
            HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
            if (process == nullptr) continue;
            wchar_t image[MAX_PATH * 2] = {0};
            DWORD size = MAX_PATH * 2;
            if (!QueryFullProcessImageNameW(process, 0, image, &size) || startsWithIgnoringCase(image, prefix)) {
                running.push_back(process);
            } else {
                CloseHandle(process);
            }
        }
        CloseHandle(snapshot);
        if (running.empty()) return;
        for (HANDLE process : running) {
            WaitForSingleObject(process, INFINITE);
            CloseHandle(process);
        }
    }
}

inline std::vector<unsigned char> readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::vector<std::string> readLines(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The UTF-8 spelling of a path, as the launcher has it and the stand-in
// runtime logs it.
inline std::string narrow(const fs::path& path) {
    const std::wstring wide = path.wstring();
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string text(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &text[0], n, nullptr, nullptr);
    text.resize(static_cast<size_t>(n) - 1);
    return text;
}

// The executable path of a running process as the system reports it to
// others; empty when it cannot be read.
inline std::wstring imagePath(HANDLE process) {
    wchar_t image[MAX_PATH * 2] = {0};
    DWORD size = MAX_PATH * 2;
    if (!QueryFullProcessImageNameW(process, 0, image, &size)) return std::wstring();
    return std::wstring(image, size);
}

// True when the process is still running (not ended, not terminated).
inline bool stillRunning(HANDLE process) {
    return WaitForSingleObject(process, 0) == static_cast<DWORD>(WAIT_TIMEOUT);
}

// Ends a process a test left running and waits for it.
inline void endProcess(HANDLE process) {
    if (process == nullptr) return;
    TerminateProcess(process, 1);
    waitForExit(process);
}

}  // namespace windows_test
