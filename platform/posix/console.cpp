// Standard output for UTF-16 text: POSIX terminals take UTF-8.
#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "platform/posix/utf8_encoding.h"

namespace platform {

void writeStdout(const char16_t* text) {
    if (text == nullptr) return;
    std::string bytes;
    appendUtf8(bytes, text);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

}  // namespace platform
