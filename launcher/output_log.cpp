// Tavelin.log: where the standard streams go when the launcher was started
// without them (a GUI start on Windows), so that the bootstrap class's log,
// the VM's messages and an exception left by main can be read afterwards.
// A thread of the launcher writes it from a pipe, so that it can be kept
// within its bound for the whole run, however long the client runs.
#include "launcher/output_log.h"

#include <cstdio>
#include <string>

#include "launcher/messages.h"
#include "launcher/install.h"

namespace launcher {
namespace {

struct OutputLog {
    platform::System* system = nullptr;
    unsigned streams = 0;
    std::string path;
    std::string previous;  // path ".1"
    void* file = nullptr;  // null: the output is dropped
    void* pipe = nullptr;  // read end
    void* thread = nullptr;
};

// The one log of the process; lives until the process ends.
OutputLog* activeLog = nullptr;

std::string unusableLine(const std::string& path) {
    char line[FORMATTED_PATH_SIZE + sizeof OUTPUT_LOG_UNUSABLE_LINE];
    std::snprintf(line, sizeof line, OUTPUT_LOG_UNUSABLE_LINE, path.c_str());
    return line;
}

// Moves the log aside and opens a new one. Processes writing the same log
// (a copy that took over while this one ends) take turns under the lock on
// the old file: the first moves it, the others find another file at the
// path and only open that, so the previous generation is never replaced by
// a nearly empty one.
void rotate(OutputLog& log) {
    platform::System& system = *log.system;
    system.lockLogFile(log.file);
    bool moved = !system.isOpenFileAt(log.file, log.path.c_str()) ||
                 system.replaceFile(log.path.c_str(), log.previous.c_str());
    void* next = moved ? system.openLogFile(log.path.c_str()) : nullptr;
    system.unlockLogFile(log.file);
    if (!moved) {
        // Rather nothing than a log beyond its bound.
        const std::string line = unusableLine(log.path);
        system.appendLogFile(log.file, line.data(), line.size());
    }
    system.closeLogFile(log.file);
    log.file = next;
}

void append(OutputLog& log, const char* data, size_t size) {
    if (log.file == nullptr || size == 0) return;  // drained all the same, so writers never wait
    int64_t length = log.system->appendLogFile(log.file, data, size);
    if (length > OUTPUT_LOG_LIMIT) rotate(log);
}

// A pipe read ends wherever the writer's last write did, often within a
// line. Another process may append to the same log (a restarted copy and
// the one ending, two starts), so the writer appends whole lines only, each
// batch in one write, which other appenders never cut into. A line longer
// than the buffer goes out in pieces all the same.
constexpr size_t LOG_READ_SIZE = 8192;
constexpr size_t LOG_LINE_LIMIT = 4 * LOG_READ_SIZE;

void writeLog(void* argument) {
    OutputLog& log = *static_cast<OutputLog*>(argument);
    std::string pending;
    char buffer[LOG_READ_SIZE];
    for (;;) {
        int64_t n = log.system->readPipe(log.pipe, buffer, sizeof buffer);
        if (n <= 0) break;
        pending.append(buffer, static_cast<size_t>(n));
        size_t end = pending.rfind('\n');
        size_t whole = end == std::string::npos ? 0 : end + 1;
        if (pending.size() - whole > LOG_LINE_LIMIT) whole = pending.size();
        append(log, pending.data(), whole);
        pending.erase(0, whole);
    }
    // The last line, ended or not.
    append(log, pending.data(), pending.size());
}

// The output goes nowhere: the streams are pointed at the null device (a
// closed descriptor would be taken by the next file opened) and one line
// says so on a stream that still leads somewhere.
void dropOutput(platform::System& system, unsigned streams, const std::string& path) {
    system.redirectStandardStreams(streams, platform::NULL_DEVICE);
    const std::string line = unusableLine(path);
    if ((streams & platform::STANDARD_ERROR) == 0) {
        std::fputs(line.c_str(), stderr);
        std::fflush(stderr);
    } else if ((streams & platform::STANDARD_OUTPUT) == 0) {
        system.writeOutput(line.c_str());
    }
}

}  // namespace

bool openOutputLog(platform::System& system, const Install& install, char (&logPath)[FORMATTED_PATH_SIZE]) {
    logPath[0] = '\0';
    unsigned streams = system.unusableStandardStreams();
    if (streams == 0) return false;
    const char* path = install.outputLog;
    if (path[0] == '\0') return false;  // no folder known, or no room for ".1"

    auto* log = new OutputLog;
    log->system = &system;
    log->streams = streams;
    log->path = path;
    log->previous = log->path + ".1";
    // The previous generation must be able to take the log, or it would
    // grow without bound.
    if (!system.isSpecialFile(log->previous.c_str())) log->file = system.openLogFile(path);
    if (log->file == nullptr) {
        dropOutput(system, streams, log->path);
        delete log;
        return false;
    }
    if (system.fileSize(path) > OUTPUT_LOG_LIMIT) rotate(*log);
    void* writeEnd = nullptr;
    if (log->file == nullptr || !system.createPipe(log->pipe, writeEnd)) {
        if (log->file != nullptr) system.closeLogFile(log->file);
        dropOutput(system, streams, log->path);
        delete log;
        return false;
    }
    log->thread = system.startThread(writeLog, log);
    // Without its reader the pipe would fill and stop every writer.
    if (log->thread == nullptr) {
        system.closeLogFile(log->file);
        delete log;
        dropOutput(system, streams, path);
        return false;
    }
    if (!system.redirectStandardStreamsToPipe(streams, writeEnd)) {
        dropOutput(system, streams, log->path);
        return false;  // the record stays with its writer, which reads the pipe to its end
    }
    activeLog = log;
    std::snprintf(logPath, sizeof logPath, "%s", path);
    return true;
}

void closeOutputLog(platform::System& system) {
    OutputLog* log = activeLog;
    if (log == nullptr) return;
    activeLog = nullptr;
    // The pipe's last write ends go: the writer reads to its end and stops.
    system.redirectStandardStreams(log->streams, platform::NULL_DEVICE);
    if (!system.waitForThread(log->thread, OUTPUT_LOG_DRAIN_MS)) return;  // still writing: left to the process's end
    if (log->file != nullptr) system.closeLogFile(log->file);
    delete log;
}

}  // namespace launcher
