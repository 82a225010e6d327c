// Where this launcher is installed: its own path and every path beside it
// that the start-up uses, found once at the start.
#pragma once

#include "launcher/layout.h"
#include "platform/platform.h"

namespace launcher {

// Full paths, UTF-8. A path that does not fit its buffer is left empty
// (unknown), never cut.
struct Install {
    char modulePath[MODULE_PATH_SIZE];           // the launcher itself: the copy a restart starts
    char directory[MODULE_PATH_SIZE];            // its folder, no trailing separator (empty: unknown)
    char runtimeBin[FORMATTED_PATH_SIZE];        // jre7/bin
    char runtimeLibrary[FORMATTED_PATH_SIZE];    // RUNTIME_LIBRARY_PATH
    char heapSetting[FORMATTED_PATH_SIZE];       // jre7/bin/jvm.set
    char packages[FORMATTED_PATH_SIZE];          // cjars
    char outputLog[FORMATTED_PATH_SIZE];         // Tavelin.log, with room for ".1" after it
};

// Fills install from the launcher's own path, read once. The directory is
// that path cut at its last separator. False, with every path but a
// readable modulePath empty, when the launcher's folder cannot be told.
bool findInstall(platform::System& system, Install& install);

// Writes one line (INSTALL_WRITABLE_LINE) naming the launcher's folder, the
// package folder and the heap setting where others than administrators can
// change them: everything there runs with the launcher's rights. Nothing
// when none can be, or the folder is unknown.
void reportWritableInstall(platform::System& system, const Install& install);

// "jre7/bin" with the OS's separator, relative to the launcher's folder.
const char* runtimeBinDirectory();

}  // namespace launcher
