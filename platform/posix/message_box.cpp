// Without a desktop to put a dialog on, a notice is one line on standard
// error, in UTF-8.
#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "platform/posix/utf8_encoding.h"

namespace platform {

void messageBox(const char16_t* text, const char16_t* caption) {
    std::string line;
    appendUtf8(line, caption);
    line += ": ";
    appendUtf8(line, text);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace platform
