// Tavelin's entry point on POSIX systems.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "launcher/launcher.h"
#include "launcher/layout.h"

int main(int argc, char** argv) {
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf(
            "Usage: Tavelin [DELAY_MS]\n"
            "Hosts the Java client: creates the Java VM from %s beside this program\n"
            "(heap size in megabytes from %s/%s/%s, two bytes, default 900), defines the bootstrap\n"
            "class and runs the client package found in %s/. With a positive DELAY_MS (at most 10000)\n"
            "it first waits that long and ends the other processes running from its directory tree and\n"
            "the programs Orvanta.exe and OrvantaServer.exe. JAVA_TOOL_OPTIONS and _JAVA_OPTIONS never reach\n"
            "the VM. Problems are reported on standard error as \"提示: <text>\". Standard output or error\n"
            "that is closed goes to %s beside this program (moved to %s.1 whenever beyond 1 MB).\n"
            "A client's own System.exit code passes through unchanged. Exit status otherwise:\n",
            launcher::RUNTIME_LIBRARY_PATH, launcher::RUNTIME_FOLDER, launcher::RUNTIME_BIN_FOLDER,
            launcher::HEAP_SETTING_NAME, launcher::PACKAGE_FOLDER, launcher::OUTPUT_LOG_NAME, launcher::OUTPUT_LOG_NAME);
        for (const launcher::OutcomeRow& row : launcher::OUTCOMES) std::printf("  %3d  %s\n", row.exitCode, row.meaning);
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
    platform::System system;
    int code = launcher::launcherMain(system, arguments);
    // No VM ended the process: end it at once.
    std::exit(code);
}
