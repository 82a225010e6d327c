// Standard output for UTF-16 text through the runtime's wprintf.
#include <cstdio>
#include <cwchar>

#include "platform/platform.h"

namespace platform {

void writeStdout(const char16_t* text) {
    if (text == nullptr) return;
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide text is UTF-16");
    std::wprintf(L"%ls", reinterpret_cast<const wchar_t*>(text));
    std::fflush(stdout);
}

}  // namespace platform
