// Tavelin's entry point on POSIX systems.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "launcher/launcher.h"

int main(int argc, char** argv) {
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf(
            "Usage: Tavelin [DELAY_MS]\n"
            "Hosts the Java client: creates the Java VM from %s beside this program\n"
            "(heap size in megabytes from jre7/bin/jvm.set, two bytes, default 900), defines the bootstrap\n"
            "class and runs the client package found in cjars/. With a positive DELAY_MS (at most 10000)\n"
            "it first waits that long and ends the other processes running from its directory tree and\n"
            "the programs Orvanta.exe and OrvantaServer.exe. Problems are reported on standard error as\n"
            "\"提示: <text>\". The exit status is always 0.\n",
            platform::RUNTIME_LIBRARY_PATH);
        return 0;
    }
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
