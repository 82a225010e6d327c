#include <windows.h>

#include "platform/platform.h"

namespace platform {

void sleepMilliseconds(uint32_t milliseconds) {
    Sleep(milliseconds);
}

}  // namespace platform
