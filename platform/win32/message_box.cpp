#include <windows.h>

#include "platform/platform.h"

namespace platform {

void messageBox(const char16_t* text, const char16_t* caption) {
    // char16_t and WCHAR are both 16-bit on Windows.
    MessageBoxW(nullptr, reinterpret_cast<LPCWSTR>(text), reinterpret_cast<LPCWSTR>(caption), MB_OK);
}

}  // namespace platform
