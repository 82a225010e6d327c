// Processes on POSIX: the process table, opening, reading and ending a
// process, a fresh copy of the running program, and waiting.
#include <dirent.h>
#include <pthread.h>
#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/syscall.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/platform.h"

extern char** environ;

namespace platform {

// The process table through /proc; termination by SIGKILL, through a pidfd
// where the kernel has them, so that a process id reused after the process
// ended is never signalled.
namespace {

struct OpenedProcess {
    pid_t pid;
    int pidfd;  // -1 where the kernel has none
};

#if defined(__linux__) && defined(SYS_pidfd_open) && defined(SYS_pidfd_send_signal)
// Raw calls: older C libraries have no wrappers for them.
int openPidfd(pid_t pid) {
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}
int signalPidfd(int pidfd, int signal) {
    return static_cast<int>(syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0));
}
#else
int openPidfd(pid_t) {
    errno = ENOSYS;
    return -1;
}
int signalPidfd(int, int) {
    errno = ENOSYS;
    return -1;
}
#endif

// Signal 0 checks that the process still exists and may be signalled.
int signalProcess(const OpenedProcess& process, int signal) {
    return process.pidfd >= 0 ? signalPidfd(process.pidfd, signal) : kill(process.pid, signal);
}

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

uint32_t System::currentProcessId() {
    return static_cast<uint32_t>(getpid());
}

bool System::listProcesses(std::vector<uint32_t>& ids) {
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return false;
    while (dirent* entry = readdir(proc)) {
        uint32_t id = 0;
        if (parsePid(entry->d_name, id)) ids.push_back(id);
    }
    closedir(proc);
    return true;
}

ProcessHandle System::openProcess(uint32_t id) {
    pid_t pid = static_cast<pid_t>(id);
    if (pid <= 0) return nullptr;
    // A pidfd (close-on-exec by itself) names this very process from now
    // on. Kernels before 5.3 have none: then the id has to do.
    int pidfd = openPidfd(pid);
    if (pidfd < 0 && errno != ENOSYS && errno != EPERM) return nullptr;  // gone
    OpenedProcess opened{pid, pidfd};
    // Signalling rights stand for the access the launcher asks for.
    if (signalProcess(opened, 0) != 0) {
        if (pidfd >= 0) close(pidfd);
        return nullptr;
    }
    return new OpenedProcess(opened);
}

bool System::processExecutablePath(ProcessHandle process, char* buffer, size_t size) {
    if (buffer == nullptr || size == 0) return false;
    buffer[0] = '\0';
    if (process == nullptr) return false;
    const auto& opened = *static_cast<OpenedProcess*>(process);
    char link[64];
    std::snprintf(link, sizeof link, "/proc/%d/exe", static_cast<int>(opened.pid));
    ssize_t n = readlink(link, buffer, size);
    // A full buffer means the path was cut: better no path than a wrong one.
    if (n <= 0 || static_cast<size_t>(n) >= size) {
        buffer[0] = '\0';
        return false;
    }
    buffer[n] = '\0';
    // Read by id: if the process ended before, the path may be another's.
    if (opened.pidfd >= 0 && signalPidfd(opened.pidfd, 0) != 0) {
        buffer[0] = '\0';
        return false;
    }
    return true;
}

bool System::terminateProcess(ProcessHandle process) {
    return process != nullptr && signalProcess(*static_cast<OpenedProcess*>(process), SIGKILL) == 0;
}

bool System::inOwnSession(ProcessHandle process) {
    if (process == nullptr) return false;
    const auto& opened = *static_cast<OpenedProcess*>(process);
    bool same = false;
    pid_t theirs = getsid(opened.pid);
    if (theirs >= 0) {
        same = theirs == getsid(0);
    } else {
        // Where the system keeps another session's id to itself: the same
        // user at least (the owner of its /proc entry).
        char entry[64];
        std::snprintf(entry, sizeof entry, "/proc/%d", static_cast<int>(opened.pid));
        struct stat info;
        same = stat(entry, &info) == 0 && info.st_uid == getuid();
    }
    // Read by id: if the process ended before, the answer may be another's.
    return same && (opened.pidfd < 0 || signalPidfd(opened.pidfd, 0) == 0);
}

void System::closeProcess(ProcessHandle process) {
    auto* opened = static_cast<OpenedProcess*>(process);
    if (opened != nullptr && opened->pidfd >= 0) close(opened->pidfd);
    delete opened;
}

// A fresh copy of the running program, started detached from this one.
bool System::startCopyOfSelf(const char* modulePath) {
    if (modulePath == nullptr || modulePath[0] == '\0') return false;
    char* argv[] = {const_cast<char*>(modulePath), nullptr};
    pid_t child = 0;
    // Not waited for: the caller ends right after, and the child is then
    // adopted by the system.
    return posix_spawn(&child, modulePath, nullptr, nullptr, argv, environ) == 0;
}

namespace {

struct ThreadStart {
    void (*run)(void*);
    void* argument;
};

void* threadMain(void* start) {
    ThreadStart call = *static_cast<ThreadStart*>(start);
    delete static_cast<ThreadStart*>(start);
    call.run(call.argument);
    return nullptr;
}

}  // namespace

void* System::startThread(void (*run)(void*), void* argument) {
    auto* start = new ThreadStart{run, argument};
    auto* thread = new pthread_t;
    if (pthread_create(thread, nullptr, threadMain, start) != 0) {
        delete start;
        delete thread;
        return nullptr;
    }
    return thread;
}

bool System::waitForThread(void* thread, uint32_t milliseconds) {
    if (thread == nullptr) return false;
    auto* handle = static_cast<pthread_t*>(thread);
    timespec until{};
    clock_gettime(CLOCK_REALTIME, &until);
    until.tv_sec += static_cast<time_t>(milliseconds / 1000);
    until.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
    if (until.tv_nsec >= 1000000000L) {
        until.tv_sec += 1;
        until.tv_nsec -= 1000000000L;
    }
    bool ended = pthread_timedjoin_np(*handle, nullptr, &until) == 0;
    if (!ended) pthread_detach(*handle);
    delete handle;
    return ended;
}

void System::sleepMilliseconds(uint32_t milliseconds) {
    timespec left{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

}  // namespace platform
