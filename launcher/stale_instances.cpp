// Ending the processes left over from an earlier run: everything started
// from the launcher's directory tree, and the two sibling programs.
#include <cstdio>
#include <cstring>

#include "launcher/launcher.h"

namespace launcher {

const char SIBLING_NAME[] = "Orvanta.exe";
const char SIBLING_SERVER_NAME[] = "OrvantaServer.exe";

bool launcherDirectory(LauncherSystem& system, char (&directory)[MODULE_PATH_SIZE]) {
    std::memset(directory, 0, sizeof directory);
    if (!system.ownModulePath(directory, sizeof directory)) {
        directory[0] = '\0';
        return false;
    }
    directory[sizeof directory - 1] = '\0';
    char* cut = nullptr;
    for (char* p = directory; *p != '\0'; ++p) {
        if (platform::isPathSeparator(*p)) cut = p;
    }
    if (cut == nullptr) {
        directory[0] = '\0';
        return false;
    }
    *cut = '\0';
    return true;
}

int32_t killStaleInstances(LauncherSystem& system) {
    char directory[MODULE_PATH_SIZE];
    // Without its own path the launcher cannot tell its tree; the sibling
    // names still apply.
    launcherDirectory(system, directory);
    return findProcesses(system, directory, SIBLING_NAME, SIBLING_SERVER_NAME, true);
}

int32_t findProcesses(LauncherSystem& system, const char* directory, const char* firstName,
                      const char* secondName, bool terminate) {
    std::vector<uint32_t> ids;
    if (!system.listProcesses(ids) || ids.empty()) return 0;
    int32_t count = 0;
    char path[PROCESS_PATH_SIZE] = {0};
    uint32_t self = system.currentProcessId();
    for (uint32_t id : ids) {
        if (id == self) continue;
        matchProcess(system, id, path, directory, firstName, secondName, terminate, count);
    }
    return count;
}

char* matchProcess(LauncherSystem& system, uint32_t id, char* pathBuffer, const char* directory,
                   const char* firstName, const char* secondName, bool terminate, int32_t& count) {
    pathBuffer[0] = '\0';
    platform::ProcessHandle process = system.openProcess(id);
    if (process == nullptr) return pathBuffer;
    if (!system.processExecutablePath(process, pathBuffer, PROCESS_PATH_REQUEST)) pathBuffer[0] = '\0';
    pathBuffer[PROCESS_PATH_REQUEST - 1] = '\0';
    bool matched = pathBuffer[0] != '\0' &&
                   (isInsideDirectory(pathBuffer, directory) || hasFileName(pathBuffer, firstName) ||
                    hasFileName(pathBuffer, secondName));
    if (matched) {
        ++count;
        if (terminate && !system.terminateProcess(process)) {
            char line[PROCESS_PATH_SIZE + 32];
            std::snprintf(line, sizeof line, "kill fail process=%s\n", pathBuffer);
            system.writeOutput(line);
        }
    }
    system.closeProcess(process);
    return pathBuffer;
}

bool isInsideDirectory(const char* path, const char* directory) {
    if (path == nullptr || directory == nullptr || directory[0] == '\0') return false;
    size_t length = std::strlen(directory);
    return std::strncmp(path, directory, length) == 0 && platform::isPathSeparator(path[length]);
}

bool hasFileName(const char* path, const char* name) {
    if (!endsWith(path, name)) return false;
    size_t before = std::strlen(path) - std::strlen(name) - 1;
    return platform::isPathSeparator(path[before]);
}

bool endsWith(const char* text, const char* suffix) {
    if (text == nullptr || suffix == nullptr) return false;
    size_t textLength = std::strlen(text);
    size_t suffixLength = std::strlen(suffix);
    if (textLength <= suffixLength) return false;
    return std::memcmp(text + textLength - suffixLength, suffix, suffixLength) == 0;
}

}  // namespace launcher
