// Tavelin.log: where the standard streams go when the launcher was started
// without them.
#pragma once

#include <cstdint>

#include "launcher/install.h"
#include "launcher/layout.h"
#include "platform/platform.h"

namespace launcher {

constexpr int64_t OUTPUT_LOG_LIMIT = 1 << 20;  // larger, the log moves to "Tavelin.log.1"

// How long the end of the process waits for the log writer to write out
// what is still in its pipe.
constexpr uint32_t OUTPUT_LOG_DRAIN_MS = 2000;

// Sends the standard streams that lead nowhere (a GUI start) through a pipe
// to a thread that appends them to OUTPUT_LOG_NAME beside the launcher and
// moves the log to OUTPUT_LOG_NAME ".1" whenever it grows beyond the limit,
// so the two never hold much more than twice the limit. True, with the
// log's path in logPath, when a stream now goes there; false (empty
// logPath) otherwise: streams that lead somewhere are kept (no thread);
// where the log is not a regular file, or cannot be moved aside, the
// streams go to the null device and one line says so where it can.
bool openOutputLog(platform::System& system, const Install& install, char (&logPath)[FORMATTED_PATH_SIZE]);

// At the end of the process: the streams leave the pipe and the log writer
// gets OUTPUT_LOG_DRAIN_MS to write out what is left. Nothing without a log.
void closeOutputLog(platform::System& system);

}  // namespace launcher
