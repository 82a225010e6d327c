// Tavelin's entry point: a Unicode GUI program that opens no window.
#include <windows.h>

#include <cstdlib>

#include "launcher/launcher.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
    // Before anything can load a library: an elevated program must not
    // take DLLs from the working directory or from PATH folders, which
    // ordinary users may be able to write to.
    platform::restrictLibrarySearch();
    std::vector<std::u16string> arguments;
    // The command line holds the arguments only; an empty one is no
    // arguments (CommandLineToArgvW would report the program's path).
    if (commandLine != nullptr && commandLine[0] != L'\0') {
        arguments = platform::splitCommandLine(reinterpret_cast<const char16_t*>(commandLine));
    }
    platform::System system;
    int code = launcher::launcherMain(system, arguments);
    // No VM ended the process: end it at once.
    std::exit(code);
}
