// Error codes thrown as objects, their name and message tables, and the log.
// The deliverables throw and catch the errors; neither opens the log
// (README, "What foundation/ is for").
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

// The error tables' release hook: gives up the library's hold on every
// table entry and on the empty string. Registered first in the hook list.
void releaseErrorTables();

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

// One recorded message. Owns one hold on message; tag is the caller's
// literal, not copied.
struct LogEntry {
    LogEntry(int32_t level, String* message, const char16_t* tag, int64_t timestamp);
    LogEntry(const LogEntry&) = delete;
    LogEntry& operator=(const LogEntry&) = delete;
    ~LogEntry();

    int32_t level;
    String* message;
    const char16_t* tag;
    int64_t timestamp;  // milliseconds, on the log's clock
};

// The log's clock: milliseconds as platform::clockMillis() gives them.
using LogClock = int64_t (*)();

// Opens the process-wide log: mutex, entry queue, format buffer, start time
// (read from clock, or from platform::clockMillis() when clock is null).
// Returns false, changing nothing, when a log is already open or its
// resources cannot be had. Open it before other threads log, close it after.
bool openLog(LogClock clock = nullptr);
// Closes the log and frees whatever is still queued. Nothing when closed.
void closeLog();
bool logIsOpen();
// Entries queued and not yet taken (0 when no log is open).
int32_t logEntryCount();
// Removes the oldest queued entry and hands it to the caller (who deletes
// it), or null when there is none.
LogEntry* takeLogEntry();

}  // namespace foundation
