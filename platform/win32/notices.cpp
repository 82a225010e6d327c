// The launcher's notices and output lines on Windows.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace platform {

void System::messageBox(const char16_t* text, const char16_t* caption) {
    // char16_t and WCHAR are both 16-bit on Windows.
    MessageBoxW(nullptr, reinterpret_cast<LPCWSTR>(text), reinterpret_cast<LPCWSTR>(caption), MB_OK);
}

// The VM writes System.out in the ANSI code page, and a GUI start sends
// both to Tavelin.log: the launcher's lines (UTF-8 here, paths among them)
// go out in that code page too, so the file has one encoding. What the
// code page cannot spell becomes its default character.
void System::writeOutput(const char* text) {
    if (text == nullptr) return;
    int units = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(units > 0 ? units : 1), L'\0');
    if (units <= 0 || MultiByteToWideChar(CP_UTF8, 0, text, -1, &wide[0], units) <= 0) return;
    int bytes = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<size_t>(bytes > 0 ? bytes : 1), '\0');
    if (bytes <= 0 || WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &ansi[0], bytes, nullptr, nullptr) <= 0) {
        return;
    }
    std::fputs(ansi.c_str(), stdout);
    std::fflush(stdout);
}

}  // namespace platform
