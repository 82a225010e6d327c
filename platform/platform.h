// What the system needs from the operating system, and nothing more.
//
// Everything above this header (foundation, launcher, HID listing) is
// platform-neutral; platform/win32 implements it with the Win32 API and
// platform/posix with POSIX. The functions here carry no system logic:
// they are thin wrappers so the logic above can be tested on Linux.
//
// Text handed across this seam: narrow text is in the system ANSI code page
// (on POSIX that code page is UTF-8); UTF-16 text is char16_t.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// ---------------------------------------------------------------------------
// Text, locking and time (used by the foundation library)
// ---------------------------------------------------------------------------

// 8-bit to UTF-16 conversion in the manner of MultiByteToWideChar with no
// flags and a NUL-terminated source: the result counts the terminator. With
// outUnits 0 nothing is written and the units needed are returned; otherwise
// the text is converted into out and the units written are returned, or 0
// when out is too small. A null text gives 0. Byte sequences that are not
// valid in the code page become U+FFFD instead of failing.
int32_t acpToUtf16(const char* text, char16_t* out, int32_t outUnits);   // system ANSI code page
int32_t utf8ToUtf16(const char* text, char16_t* out, int32_t outUnits);  // UTF-8

// An OS mutex. createMutex returns null when none can be had; lockMutex
// waits without a time-out. Not recursive.
struct Mutex;
Mutex* createMutex();
void lockMutex(Mutex* mutex);
void unlockMutex(Mutex* mutex);
void destroyMutex(Mutex* mutex);

// The log's clock: seconds since 1970 times 1000 plus the milliseconds
// field of the current local time.
int64_t clockMillis();

// Writes NUL-terminated UTF-16 text to standard output in the console's
// encoding and flushes it.
void writeStdout(const char16_t* text);

// ---------------------------------------------------------------------------
// Processes, files, libraries and the user (used by the launcher)
// ---------------------------------------------------------------------------

// (section owned by the launcher)

// ---------------------------------------------------------------------------
// HID device interfaces (used by the HID listing library)
// ---------------------------------------------------------------------------

// (section owned by the HID listing)

}  // namespace platform
