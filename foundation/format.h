// The library's printf-style formatter for UTF-16 output. Only the log calls
// it; no deliverable does at run time (README, "What foundation/ is for").
#pragma once

#include <cstdarg>
#include <cstdint>

namespace foundation {

// Largest number of units formatWide writes, terminator not counted.
constexpr int32_t FORMAT_MAX_UNITS = 0x8000;

// Formats into out (room for FORMAT_MAX_UNITS + 1 units) and returns the
// units written. Directives: %d %i %u %o %x %p %X %ld %lld %s (UTF-16
// text) %S (ANSI text) %f %e %.Nf. Integer directives take 32-bit values
// (64-bit for %lld); %s, %S and %p take pointer-sized ones.
int32_t formatWide(char16_t* out, const char16_t* format, va_list args);
int32_t formatWideV(char16_t* out, const char16_t* format, ...);

}  // namespace foundation
