// POSIX programs get their arguments already split; this splitter serves
// command-line texts built by hand: blanks separate, double quotes group.
#include "platform/platform.h"

namespace platform {

std::vector<std::u16string> splitCommandLine(const char16_t* commandLine) {
    std::vector<std::u16string> arguments;
    if (commandLine == nullptr) return arguments;
    std::u16string current;
    bool inArgument = false;
    bool quoted = false;
    for (const char16_t* p = commandLine; *p != 0; ++p) {
        char16_t c = *p;
        if (c == u'"') {
            quoted = !quoted;
            inArgument = true;
        } else if (!quoted && (c == u' ' || c == u'\t')) {
            if (inArgument) arguments.push_back(current);
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument) arguments.push_back(current);
    return arguments;
}

}  // namespace platform
