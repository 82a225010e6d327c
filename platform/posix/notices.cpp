// The launcher's notices and output lines on POSIX.
#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "platform/posix/utf8_text.h"

namespace platform {

// Without a desktop to put a dialog on, a notice is one line on standard
// error, in UTF-8.
void System::messageBox(const char16_t* text, const char16_t* caption) {
    std::string line;
    appendUtf8(line, caption);
    line += ": ";
    appendUtf8(line, text);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

void System::writeOutput(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout);
}

}  // namespace platform
