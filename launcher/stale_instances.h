// Ending the processes left over from an earlier run: everything started
// from the launcher's directory tree, and the two sibling programs. What the
// launcher calls; the steps, for the tests: stale_instances_internal.h.
#pragma once

#include <cstdint>

#include "launcher/layout.h"
#include "platform/platform.h"

namespace launcher {

// Ends every other process of the launcher's own session that runs from
// the launcher's directory tree (Install::directory; empty when unknown) or
// is one of the two sibling programs. Returns how many matched. The tree counts only where the
// launcher's directory is its own (ownsDirectoryTree).
int32_t killStaleInstances(platform::System& system, const char* launcherDirectory);

}  // namespace launcher
