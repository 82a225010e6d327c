// Ending the processes left over from an earlier run: everything started
// from the launcher's directory tree, and the two sibling programs. What the
// launcher calls; the steps, for the tests: stale_instances_internal.h.
#pragma once

#include <cstdint>

#include "launcher/layout.h"
#include "platform/platform.h"

namespace launcher {

// The launcher's directory: its own path cut at the last separator, with no
// trailing separator. False (empty buffer) when the path cannot be had.
bool launcherDirectory(platform::System& system, char (&directory)[MODULE_PATH_SIZE]);

// Ends every other process that runs from the launcher's directory tree or
// is one of the two sibling programs. Returns how many matched. The tree
// counts only where the launcher's directory is its own (ownsDirectoryTree).
int32_t killStaleInstances(platform::System& system);

}  // namespace launcher
