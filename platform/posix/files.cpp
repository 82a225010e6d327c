// File size and replacing rename.
#include <sys/stat.h>

#include <cstdio>

#include "platform/platform.h"

namespace platform {

int64_t fileSize(const char* path) {
    struct stat info;
    if (path == nullptr || stat(path, &info) != 0) return -1;
    return static_cast<int64_t>(info.st_size);
}

bool replaceFile(const char* from, const char* to) {
    return from != nullptr && to != nullptr && std::rename(from, to) == 0;
}

}  // namespace platform
