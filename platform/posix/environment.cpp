#include <cstdlib>

#include "platform/platform.h"

namespace platform {

void removeEnvironmentVariable(const char* name) {
    if (name != nullptr) unsetenv(name);
}

}  // namespace platform
