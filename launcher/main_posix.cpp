// Tavelin's entry point on POSIX systems.
#include <cstdlib>
#include <string>
#include <vector>

#include "launcher/launcher.h"

int main(int argc, char** argv) {
    std::vector<std::u16string> arguments;
    for (int i = 1; i < argc; ++i) {
        // Only a leading number is ever read from the arguments, so widening
        // byte by byte is enough.
        std::u16string argument;
        for (const char* p = argv[i]; *p != '\0'; ++p) argument += static_cast<char16_t>(static_cast<unsigned char>(*p));
        arguments.push_back(argument);
    }
    int code = launcher::launcherMain(launcher::hostSystem(), arguments);
    // Ends the process at once, whatever Java threads still run.
    std::exit(code);
}
