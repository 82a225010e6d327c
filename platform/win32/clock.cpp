// The log's clock on Windows: the runtime's _time64 seconds and the
// millisecond field of the local time.
#include <windows.h>

#include <ctime>

#include "platform/platform.h"

namespace platform {

int64_t clockMillis() {
    SYSTEMTIME local;
    GetLocalTime(&local);
    return static_cast<int64_t>(_time64(nullptr)) * 1000 + local.wMilliseconds;
}

}  // namespace platform
