// Counted UTF-16 strings, the text builder, 8-bit to UTF-16 conversion and
// the constant-string pool. The pool is Quenvil's, made when it is loaded
// (README, "What foundation/ is for").
#pragma once

#include <cstdint>

#include "foundation/arrays.h"

namespace foundation {

class Object;

// Counted UTF-16 string record (not an Object). chars holds length + 1
// units and is never null after construction. Held with retainString and
// given up with releaseString; may also live as a local record.
struct String {
    // The empty string, useCount 1.
    String();
    // Takes ownership of calloc/malloc storage of at least length + 1 units.
    String(char16_t* chars, int32_t length);
    String(const String&) = delete;
    String& operator=(const String&) = delete;
    // Logs "free String when useCount = %d  value = '%s'" when still held.
    ~String();

    int32_t length;
    int32_t useCount;
    char16_t* chars;
};

// New strings, useCount 1. A null text gives the empty string.
String* stringFromWide(const char16_t* text);
String* stringFromAcp(const char* text);   // system ANSI code page
String* stringFromUtf8(const char* text);

void retainString(String* s);   // one more holder
void releaseString(String* s);  // one holder less; frees the record at 0

// New malloc'd, NUL-terminated UTF-16 buffers (caller frees with free()).
// Text that does not convert yields an empty text.
char16_t* toWideAcp(const char* text);
char16_t* toWideUtf8(const char* text);

// Growable UTF-16 buffer: starts at 64 units, grows to 2n + 2.
class StringBuilder {
public:
    StringBuilder();
    StringBuilder(const StringBuilder&) = delete;
    StringBuilder& operator=(const StringBuilder&) = delete;
    virtual ~StringBuilder();

    // Installs a larger buffer of grownCapacity(capacity, minimum) units,
    // keeping what was written.
    void ensureCapacity(int32_t minimum);
    // The growth rule: 2n + 2 in wrapping 32-bit arithmetic, the minimum
    // when that is not enough, the largest 32-bit value when it overflows;
    // OUT_OF_MEMORY when the minimum itself is negative and nothing fits.
    static int32_t grownCapacity(int32_t capacity, int32_t minimum);
    // null: "null". OUT_OF_BOUNDS for a negative n, OUT_OF_MEMORY when the
    // total would not fit in 32 bits.
    void append(const char16_t* units, int32_t n);
    void append(const char16_t* text);              // null: "null"
    void append(const char* text);                  // null: "null"
    void append(Object* object);                    // null or null toString: "null"
    void append(char16_t unit);
    // A new String with a copy of the units written so far.
    String* toStringBuilderString() const;

    DataArray<char16_t>* buffer;
    int32_t count;
};

// Constant-string pool: the pool holds the string; the caller gets the
// pointer without a hold of its own.
String* makeConstString(const char16_t* text);
// The pool (null until first use), for inspection.
ArrayList* constStringPool();

}  // namespace foundation
