// Standard output and error of a program started without them (closed, or
// open for reading only) sent to a file instead.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "platform/platform.h"

namespace platform {
namespace {

bool usable(int fd) {
    int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && (flags & O_ACCMODE) != O_RDONLY;
}

}  // namespace

unsigned unusableStandardStreams() {
    unsigned streams = 0;
    if (!usable(STDOUT_FILENO)) streams |= STANDARD_OUTPUT;
    if (!usable(STDERR_FILENO)) streams |= STANDARD_ERROR;
    return streams;
}

bool redirectStandardStreams(unsigned streams, const char* path) {
    if (path == nullptr || streams == 0) return false;
    // With descriptor 1 or 2 closed the file may well get one of them.
    int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool kept = false;
    const int targets[2][2] = {{static_cast<int>(STANDARD_OUTPUT), STDOUT_FILENO},
                               {static_cast<int>(STANDARD_ERROR), STDERR_FILENO}};
    for (const auto& target : targets) {
        if ((streams & static_cast<unsigned>(target[0])) == 0) continue;
        if (target[1] == fd) {
            // Inherited by a restarted copy like any standard stream.
            fcntl(fd, F_SETFD, 0);
            kept = true;
        } else {
            std::fflush(target[1] == STDOUT_FILENO ? stdout : stderr);
            dup2(fd, target[1]);
        }
    }
    if (!kept) close(fd);
    return true;
}

}  // namespace platform
