// File names as POSIX file systems see them: byte strings, compared exactly.
#include <cstring>

#include "platform/platform.h"

namespace platform {

bool samePathText(const char* a, size_t aLength, const char* b, size_t bLength) {
    if (a == nullptr || b == nullptr) return false;
    return aLength == bLength && std::memcmp(a, b, aLength) == 0;
}

std::vector<std::string> protectedFolders() {
    return {};
}

FILE* openFile(const char* path, const char* mode) {
    if (path == nullptr || path[0] == '\0' || mode == nullptr) return nullptr;
    return std::fopen(path, mode);
}

}  // namespace platform
