// 8-bit text to UTF-16 through MultiByteToWideChar (no flags, so ill-formed
// input is replaced rather than refused). char16_t and WCHAR are both
// 16-bit on Windows.
#include <windows.h>

#include "platform/platform.h"

namespace platform {
namespace {

int32_t convert(UINT codePage, const char* text, char16_t* out, int32_t outUnits) {
    if (text == nullptr || outUnits < 0 || (outUnits > 0 && out == nullptr)) return 0;
    return MultiByteToWideChar(codePage, 0, text, -1, reinterpret_cast<LPWSTR>(out), outUnits);
}

}  // namespace

int32_t acpToUtf16(const char* text, char16_t* out, int32_t outUnits) {
    return convert(CP_ACP, text, out, outUnits);
}

int32_t utf8ToUtf16(const char* text, char16_t* out, int32_t outUnits) {
    return convert(CP_UTF8, text, out, outUnits);
}

}  // namespace platform
