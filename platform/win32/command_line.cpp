#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <shellapi.h>

#include "platform/platform.h"

namespace platform {

std::vector<std::u16string> splitCommandLine(const char16_t* commandLine) {
    std::vector<std::u16string> arguments;
    if (commandLine == nullptr) return arguments;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(reinterpret_cast<LPCWSTR>(commandLine), &count);
    if (argv == nullptr) return arguments;
    for (int i = 0; i < count; ++i) arguments.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
    LocalFree(argv);
    return arguments;
}

}  // namespace platform
