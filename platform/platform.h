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

// (section owned by the foundation)

// ---------------------------------------------------------------------------
// Processes, files, libraries and the user (used by the launcher)
// ---------------------------------------------------------------------------

// (section owned by the launcher)

// ---------------------------------------------------------------------------
// HID device interfaces (used by the HID listing library)
// ---------------------------------------------------------------------------

// (section owned by the HID listing)

}  // namespace platform
