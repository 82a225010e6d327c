#include "launcher/stale_instances.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "launcher/messages.h"
#include "launcher/stale_instances_internal.h"

namespace launcher {

const char SIBLING_NAME[] = "Orvanta.exe";
const char SIBLING_SERVER_NAME[] = "OrvantaServer.exe";

int32_t killStaleInstances(platform::System& system, const char* launcherDirectory) {
    // Without its own path the launcher cannot tell its tree; the sibling
    // names still apply.
    char directory[MODULE_PATH_SIZE] = {0};
    std::snprintf(directory, sizeof directory, "%s", launcherDirectory);
    // Installed at a root or straight into a system folder, the launcher's
    // "tree" is everybody's: only the sibling names are safe to go by.
    if (!ownsDirectoryTree(system, directory)) directory[0] = '\0';
    return findProcesses(system, directory, SIBLING_NAME, SIBLING_SERVER_NAME, true);
}

namespace {

// The text after a \\?\ or \\.\ prefix (and after \\?\UNC\, which
// stands for the two separators of a share), else the text itself.
const char* withoutDevicePrefix(const char* path, bool& share) {
    share = false;
    if (platform::isPathSeparator(path[0]) && platform::isPathSeparator(path[1]) &&
        (path[2] == '?' || path[2] == '.') && platform::isPathSeparator(path[3])) {
        const char* rest = path + 4;
        if ((rest[0] == 'U' || rest[0] == 'u') && (rest[1] == 'N' || rest[1] == 'n') &&
            (rest[2] == 'C' || rest[2] == 'c') && platform::isPathSeparator(rest[3])) {
            share = true;
            return rest + 4;
        }
        return rest;
    }
    return path;
}

// The number of non-empty names between the separators of path.
size_t nameCount(const char* path) {
    size_t count = 0;
    bool inName = false;
    for (const char* p = path; *p != '\0'; ++p) {
        if (platform::isPathSeparator(*p)) {
            inName = false;
        } else if (!inName) {
            inName = true;
            ++count;
        }
    }
    return count;
}

// "C:", also with separators after it.
bool isDriveName(const char* name) {
    char c = name[0];
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) || name[1] != ':') return false;
    for (const char* p = name + 2; *p != '\0'; ++p) {
        if (!platform::isPathSeparator(*p)) return false;
    }
    return true;
}

}  // namespace

bool isRootDirectory(const char* directory) {
    if (directory == nullptr || directory[0] == '\0') return true;
    bool share = false;
    const char* rest = withoutDevicePrefix(directory, share);
    if (rest[0] == '\0') return true;
    if (!share && rest == directory && platform::isPathSeparator(directory[0]) &&
        platform::isPathSeparator(directory[1])) {
        share = true;  // \\server\share
        rest = directory + 2;
    }
    if (share) return nameCount(rest) <= 2;
    return isDriveName(rest);
}

bool ownsDirectoryTree(platform::System& system, const char* directory) {
    if (isRootDirectory(directory)) return false;
    size_t length = std::strlen(directory);
    for (const std::string& folder : system.protectedFolders()) {
        if (!folder.empty() && system.samePathText(directory, length, folder.c_str(), folder.size())) return false;
    }
    return true;
}

int32_t findProcesses(platform::System& system, const char* directory, const char* firstName, const char* secondName,
                      bool terminate) {
    std::vector<uint32_t> ids;
    if (!system.listProcesses(ids) || ids.empty()) return 0;
    int32_t count = 0;
    uint32_t self = system.currentProcessId();
    for (uint32_t id : ids) {
        if (id == self) continue;
        if (matchProcess(system, id, directory, firstName, secondName, terminate) != ProcessMatch::NONE) ++count;
    }
    return count;
}

ProcessMatch matchProcess(platform::System& system, uint32_t id, const char* directory, const char* firstName,
                          const char* secondName, bool terminate) {
    platform::ProcessHandle process = system.openProcess(id);
    if (process == nullptr) return ProcessMatch::NONE;
    // Another session's processes are another user's (a terminal server,
    // fast user switching): never ended, not even examined.
    if (!system.inOwnSession(process)) {
        system.closeProcess(process);
        return ProcessMatch::NONE;
    }
    char path[PROCESS_PATH_SIZE] = {0};
    if (!system.processExecutablePath(process, path, PROCESS_PATH_REQUEST)) path[0] = '\0';
    path[PROCESS_PATH_REQUEST - 1] = '\0';
    ProcessMatch found = ProcessMatch::NONE;
    if (path[0] != '\0' && (isInsideDirectory(system, path, directory) || hasFileName(system, path, firstName) ||
                            hasFileName(system, path, secondName))) {
        found = ProcessMatch::MATCHED;
        if (terminate && system.terminateProcess(process)) {
            found = ProcessMatch::TERMINATED;
        } else if (terminate) {
            found = ProcessMatch::NOT_TERMINATED;
            char line[PROCESS_PATH_SIZE + 32];
            std::snprintf(line, sizeof line, KILL_FAILED_LINE, path);
            system.writeOutput(line);
        }
    }
    system.closeProcess(process);
    return found;
}

bool isInsideDirectory(platform::System& system, const char* path, const char* directory) {
    if (path == nullptr || directory == nullptr || directory[0] == '\0') return false;
    size_t length = std::strlen(directory);
    // Letter case may make the same name longer or shorter in UTF-8, so
    // every separator of path is tried as the end of the directory.
    for (size_t end = 0; path[end] != '\0'; ++end) {
        if (platform::isPathSeparator(path[end]) && system.samePathText(path, end, directory, length)) return true;
    }
    return false;
}

bool hasFileName(platform::System& system, const char* path, const char* name) {
    if (path == nullptr || name == nullptr) return false;
    const char* last = nullptr;
    for (const char* p = path; *p != '\0'; ++p) {
        if (platform::isPathSeparator(*p)) last = p;
    }
    if (last == nullptr) return false;
    return system.samePathText(last + 1, std::strlen(last + 1), name, std::strlen(name));
}

bool endsWith(const char* text, const char* suffix) {
    if (text == nullptr || suffix == nullptr) return false;
    size_t textLength = std::strlen(text);
    size_t suffixLength = std::strlen(suffix);
    if (textLength <= suffixLength) return false;
    return std::memcmp(text + textLength - suffixLength, suffix, suffixLength) == 0;
}

}  // namespace launcher
