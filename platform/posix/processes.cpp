// The process table through /proc; termination by SIGKILL.
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

namespace platform {
namespace {

struct OpenedProcess {
    pid_t pid;
};

bool parsePid(const char* name, uint32_t& id) {
    if (name[0] == '\0') return false;
    uint64_t value = 0;
    for (const char* p = name; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return false;
        value = value * 10 + static_cast<uint64_t>(*p - '0');
        if (value > 0x7FFFFFFF) return false;
    }
    id = static_cast<uint32_t>(value);
    return true;
}

}  // namespace

uint32_t currentProcessId() {
    return static_cast<uint32_t>(getpid());
}

bool listProcesses(std::vector<uint32_t>& ids) {
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return false;
    while (dirent* entry = readdir(proc)) {
        uint32_t id = 0;
        if (parsePid(entry->d_name, id)) ids.push_back(id);
    }
    closedir(proc);
    return true;
}

ProcessHandle openProcess(uint32_t id) {
    pid_t pid = static_cast<pid_t>(id);
    // Signalling rights stand for the full access the launcher asks for.
    if (pid <= 0 || kill(pid, 0) != 0) return nullptr;
    return new OpenedProcess{pid};
}

bool processExecutablePath(ProcessHandle process, char* buffer, size_t size) {
    if (buffer == nullptr || size == 0) return false;
    buffer[0] = '\0';
    if (process == nullptr) return false;
    char link[64];
    std::snprintf(link, sizeof link, "/proc/%d/exe", static_cast<int>(static_cast<OpenedProcess*>(process)->pid));
    ssize_t n = readlink(link, buffer, size - 1);
    if (n <= 0) {
        buffer[0] = '\0';
        return false;
    }
    buffer[n] = '\0';
    return true;
}

bool terminateProcess(ProcessHandle process) {
    return process != nullptr && kill(static_cast<OpenedProcess*>(process)->pid, SIGKILL) == 0;
}

void closeProcess(ProcessHandle process) {
    delete static_cast<OpenedProcess*>(process);
}

}  // namespace platform
