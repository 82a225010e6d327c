// Text, console, clock and locking on Windows. char16_t and WCHAR are both
// 16-bit on Windows.
#include <windows.h>

#include <cstdio>
#include <ctime>
#include <cwchar>

#include "platform/platform.h"

namespace platform {

// 8-bit text to UTF-16 through MultiByteToWideChar (no flags, so ill-formed
// input is replaced rather than refused).
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

// Standard output for UTF-16 text through the runtime's wprintf.
void writeStdout(const char16_t* text) {
    if (text == nullptr) return;
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide text is UTF-16");
    std::wprintf(L"%ls", reinterpret_cast<const wchar_t*>(text));
    std::fflush(stdout);
}

// The log's clock on Windows: the runtime's _time64 seconds and the
// millisecond field of the local time.
int64_t clockMillis() {
    SYSTEMTIME local;
    GetLocalTime(&local);
    return static_cast<int64_t>(_time64(nullptr)) * 1000 + local.wMilliseconds;
}

// The OS mutex on Windows: an unnamed kernel mutex.
// The handle itself is the Mutex pointer.
Mutex* createMutex() {
    return reinterpret_cast<Mutex*>(CreateMutexW(nullptr, FALSE, nullptr));
}

void lockMutex(Mutex* mutex) {
    if (mutex != nullptr) WaitForSingleObject(reinterpret_cast<HANDLE>(mutex), INFINITE);
}

void unlockMutex(Mutex* mutex) {
    if (mutex != nullptr) ReleaseMutex(reinterpret_cast<HANDLE>(mutex));
}

void destroyMutex(Mutex* mutex) {
    if (mutex != nullptr) CloseHandle(reinterpret_cast<HANDLE>(mutex));
}

}  // namespace platform
