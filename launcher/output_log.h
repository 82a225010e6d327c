// Tavelin.log: where the standard streams go when the launcher was started
// without them.
#pragma once

#include <cstdint>

#include "launcher/layout.h"
#include "platform/platform.h"

namespace launcher {

constexpr int64_t OUTPUT_LOG_LIMIT = 1 << 20;  // larger, the log moves to "Tavelin.log.1"

// Sends the standard streams that lead nowhere (a GUI start) to
// OUTPUT_LOG_NAME beside the launcher, appended; a log larger than the
// limit is first moved to OUTPUT_LOG_NAME ".1". True, with the log's path
// in logPath, when a stream now goes there; false (empty logPath)
// otherwise.
bool openOutputLog(platform::System& system, char (&logPath)[FORMATTED_PATH_SIZE]);

}  // namespace launcher
