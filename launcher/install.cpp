// Where this launcher is installed, found once at the start.
#include "launcher/install.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "launcher/messages.h"

namespace launcher {

namespace {

// Cuts the path in directory at its last separator; false (empty) where
// there is none.
bool cutAtLastSeparator(char (&directory)[MODULE_PATH_SIZE]) {
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

// directory, the separator, relative; empty when that does not fit with
// reserve bytes to spare.
void formatPath(char (&out)[FORMATTED_PATH_SIZE], const char* directory, const char* relative, size_t reserve = 0) {
    int n = std::snprintf(out, sizeof out, "%s%c%s", directory, platform::PATH_SEPARATOR, relative);
    if (n < 0 || static_cast<size_t>(n) + reserve >= sizeof out) out[0] = '\0';
}

}  // namespace

const char* runtimeBinDirectory() {
    static const std::string path = std::string(RUNTIME_FOLDER) + platform::PATH_SEPARATOR + RUNTIME_BIN_FOLDER;
    return path.c_str();
}

bool findInstall(platform::System& system, Install& install) {
    std::memset(&install, 0, sizeof install);
    if (!system.ownModulePath(install.modulePath, sizeof install.modulePath)) {
        install.modulePath[0] = '\0';
        return false;
    }
    install.modulePath[sizeof install.modulePath - 1] = '\0';
    std::memcpy(install.directory, install.modulePath, sizeof install.directory);
    if (!cutAtLastSeparator(install.directory)) return false;
    const std::string setting = std::string(runtimeBinDirectory()) + platform::PATH_SEPARATOR + HEAP_SETTING_NAME;
    formatPath(install.runtimeBin, install.directory, runtimeBinDirectory());
    formatPath(install.runtimeLibrary, install.directory, RUNTIME_LIBRARY_PATH);
    formatPath(install.heapSetting, install.directory, setting.c_str());
    formatPath(install.packages, install.directory, PACKAGE_FOLDER);
    formatPath(install.outputLog, install.directory, OUTPUT_LOG_NAME, 2);  // room for ".1"
    return true;
}

void reportWritableInstall(platform::System& system, const Install& install) {
    if (install.directory[0] == '\0') return;
    std::string named;
    for (const char* path : {install.directory, install.packages, install.heapSetting}) {
        if (path[0] == '\0' || !system.writableByOthers(path)) continue;
        if (!named.empty()) named += ", ";
        named += path;
    }
    if (named.empty()) return;
    std::vector<char> line(named.size() + sizeof INSTALL_WRITABLE_LINE);
    std::snprintf(line.data(), line.size(), INSTALL_WRITABLE_LINE, named.c_str());
    system.writeOutput(line.data());
}

}  // namespace launcher
