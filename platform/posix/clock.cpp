// The log's clock on POSIX: wall-clock seconds and the millisecond within
// the current second (the same in local time and UTC).
#include <time.h>

#include "platform/platform.h"

namespace platform {

int64_t clockMillis() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace platform
