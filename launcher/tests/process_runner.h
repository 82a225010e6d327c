// Running programs of the tests as child processes, with their standard
// output and error captured in files.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "launcher/tests/temp_dir.h"

extern char** environ;

namespace launcher_test {

// Starts path with the arguments (the program name is added); the child's
// standard output and error go to the two files (an empty name: the
// stream is closed), and with newSession it runs in a session of its own.
// Returns the pid, or -1.
inline pid_t startProgram(const std::string& path, const std::vector<std::string>& arguments,
                          const std::string& outFile = "/dev/null", const std::string& errFile = "/dev/null",
                          bool newSession = false) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string* files[] = {&outFile, &errFile};
    for (int fd = 1; fd <= 2; ++fd) {
        const std::string& file = *files[fd - 1];
        if (file.empty()) {
            posix_spawn_file_actions_addclose(&actions, fd);
        } else {
            posix_spawn_file_actions_addopen(&actions, fd, file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        }
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    if (newSession) posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid = -1;
    if (posix_spawn(&pid, path.c_str(), &actions, &attributes, argv.data(), environ) != 0) pid = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Raw wait status of a child, or -1.
inline int waitFor(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return status;
}

struct RunResult {
    int status = -1;  // raw wait status
    std::string out;
    std::string err;
    bool exitedWith(int code) const { return WIFEXITED(status) && WEXITSTATUS(status) == code; }
};

// Which standard streams runProgram captures; the others it closes.
enum Capture { CAPTURE_BOTH, CAPTURE_ERROR, CAPTURE_NONE };

// Runs the program to its end; files for the captured streams go to dir.
inline RunResult runProgram(const std::string& path, const std::vector<std::string>& arguments,
                            const std::string& dir, Capture capture = CAPTURE_BOTH) {
    RunResult result;
    std::string out = capture == CAPTURE_BOTH ? dir + "/run.out" : "";
    std::string err = capture != CAPTURE_NONE ? dir + "/run.err" : "";
    pid_t pid = startProgram(path, arguments, out, err);
    if (pid < 0) return result;
    result.status = waitFor(pid);
    if (!out.empty()) result.out = readText(out);
    if (!err.empty()) result.err = readText(err);
    return result;
}

// Reads the output of a shell command, and of every process that inherits
// its standard output, to the end.
inline std::string outputOf(const std::string& command) {
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
        pclose(pipe);
    }
    return text;
}

// The folders a plain "java" of the JDK at jdkHome lists in its
// java.library.path by default, separated by ':', without those
// LD_LIBRARY_PATH would add.
inline std::string defaultSystemLibraryPath(const std::string& jdkHome) {
    const std::string text =
        outputOf("env -u LD_LIBRARY_PATH '" + jdkHome + "/bin/java' -XshowSettings:properties -version 2>&1");
    const std::string key = "java.library.path = ";
    size_t at = text.find(key);
    if (at == std::string::npos) return std::string();
    std::string path;
    // The first folder follows the key, each further one has a line of its
    // own, indented deeper.
    for (size_t from = at + key.size();;) {
        size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        if (!path.empty()) path += ':';
        path += text.substr(from, end - from);
        from = end + 1;
        if (from >= text.size() || text.compare(from, 8, "        ") != 0) break;
        from = text.find_first_not_of(' ', from);
        if (from == std::string::npos || text.find(" = ", from) < text.find('\n', from)) break;
    }
    return path;
}

}  // namespace launcher_test
