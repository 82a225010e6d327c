// Tavelin.log: where the standard streams go when the launcher was started
// without them (a GUI start on Windows), so that the bootstrap class's log,
// the VM's messages and an exception left by main can be read afterwards.
#include "launcher/output_log.h"

#include <cstdio>
#include <string>

#include "launcher/messages.h"
#include "launcher/stale_instances.h"

namespace launcher {

bool openOutputLog(platform::System& system, char (&logPath)[FORMATTED_PATH_SIZE]) {
    logPath[0] = '\0';
    unsigned streams = system.unusableStandardStreams();
    if (streams == 0) return false;
    char directory[MODULE_PATH_SIZE];
    if (!launcherDirectory(system, directory)) return false;
    char path[FORMATTED_PATH_SIZE] = {0};
    int n = std::snprintf(path, sizeof path, "%s%c%s", directory, platform::PATH_SEPARATOR, OUTPUT_LOG_NAME);
    if (n < 0 || static_cast<size_t>(n) + 2 >= sizeof path) return false;  // room for ".1"
    // One earlier generation is kept, so the log never grows without bound.
    if (system.fileSize(path) > OUTPUT_LOG_LIMIT) {
        const std::string previous = std::string(path) + ".1";
        system.replaceFile(path, previous.c_str());
    }
    if (!system.redirectStandardStreams(streams, path)) return false;
    std::snprintf(logPath, sizeof logPath, "%s", path);
    return true;
}

}  // namespace launcher
