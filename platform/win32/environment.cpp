#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/platform.h"

namespace platform {

void removeEnvironmentVariable(const char* name) {
    if (name == nullptr) return;
    // The names are ASCII. msvcrt.dll keeps a copy of the environment of
    // its own, which getenv reads; "NAME=" removes the variable there.
    std::wstring wideName;
    for (const char* p = name; *p != '\0'; ++p) wideName += static_cast<wchar_t>(static_cast<unsigned char>(*p));
    _wputenv((wideName + L"=").c_str());
    SetEnvironmentVariableW(wideName.c_str(), nullptr);
}

}  // namespace platform
