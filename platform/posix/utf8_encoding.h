// UTF-16 to UTF-8, for the POSIX console and notices (POSIX terminals take
// UTF-8). Private to platform/posix.
#pragma once

#include <string>

namespace platform {

// Appends the NUL-terminated UTF-16 text to out as UTF-8. Surrogate pairs
// become one four-byte sequence; an unpaired surrogate, which has no UTF-8
// form, becomes U+FFFD. A null text appends nothing.
void appendUtf8(std::string& out, const char16_t* text);

}  // namespace platform
