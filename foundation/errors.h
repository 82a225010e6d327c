// Error codes thrown as objects, their name and message tables, and the log.
#pragma once

#include <cstdint>

namespace foundation {

struct String;

// Codes 0..10. "EOF" is spelled STREAM_EOF in code because <cstdio> owns
// the EOF macro; its name in the table is still "EOF".
enum ErrorCode : int32_t {
    EMPTY = 1,
    IO = 2,
    STREAM_EOF = 3,
    OUT_OF_BOUNDS = 4,
    OUT_OF_MEMORY = 5,
    STREAM_CLOSED = 6,
    WRITE_ERR = 7,
    READ_ERR = 8,
    RUNTIME_ERR = 9,
    ARGUMENT_ERR = 10,
};

constexpr int32_t ERROR_CODE_COUNT = 11;

// Thrown by pointer: `throw new Throwable(code)`. The catcher owns it and
// deletes it. Holds one useCount unit of its message.
class Throwable {
public:
    explicit Throwable(int32_t code, String* message = nullptr);
    Throwable(const Throwable&) = delete;
    Throwable& operator=(const Throwable&) = delete;
    virtual ~Throwable();

    String* message;
    int32_t code;
};

// Throws a new Throwable with the code and no message.
[[noreturn]] void throwError(int32_t code);

// The tables (11 entries each, indexed by code) and the shared empty string.
String* errorName(int32_t code);
String* errorMessage(int32_t code);
String* emptyString();

}  // namespace foundation

namespace foundation {

class Throwable;

// Log levels the library uses.
constexpr int32_t LOG_LEVEL_INFO = 1;
constexpr int32_t LOG_LEVEL_ERROR = 4;

// Formats (formatWide) and records a message when a log is open: one line
// "%d %s :%s\n" (elapsed ms, tag, text) on standard output, and an entry in
// the log's queue. Returns at once when no log is open.
void logMessage(int32_t level, const char16_t* tag, const char16_t* format, ...);

// Records, at level 4, the message text of the throwable's code (the empty
// text for a code outside 1..10).
void logErrorCode(const Throwable* error, const char16_t* tag);

}  // namespace foundation
