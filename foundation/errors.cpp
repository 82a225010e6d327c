#include "foundation/errors.h"

#include <cstdarg>
#include <cstdlib>
#include <new>

#include "foundation/format.h"
#include "foundation/object.h"
#include "foundation/strings.h"
#include "platform/platform.h"

namespace foundation {

// ---------------------------------------------------------------------------
// Throwable and the error tables

Throwable::Throwable(int32_t code, String* message) : message(message), code(code) {
    retainString(message);
}

Throwable::~Throwable() {
    String* held = message;
    message = nullptr;
    releaseString(held);
}

void throwError(int32_t code) {
    throw new Throwable(code);
}

namespace {

const char* const NAMES[ERROR_CODE_COUNT] = {
    "", "EMPTY", "IO", "EOF", "OUT_OF_BOUNDS", "OUT_OF_MEMORY", "STREAM_CLOSED",
    "WRITE_ERR", "READ_ERR", "RUNTIME_ERR", "ARGUMENT_ERR",
};

// The messages as UTF-16 literals; the names above are plain ASCII.
const char16_t* const MESSAGES[ERROR_CODE_COUNT] = {
    u"",
    u"空指针",
    u"IO异常",
    u"已到流结尾",
    u"访问数组越界",
    u"内存不足",
    u"流已关闭",
    u"IO写错误",
    u"IO读错误",
    u"运行时错误",
    u"非法参数",
};

struct ErrorTables {
    String* empty = nullptr;
    String* names[ERROR_CODE_COUNT] = {};
    String* messages[ERROR_CODE_COUNT] = {};
};

ErrorTables* tables = nullptr;

// Built on first use; the load-time initialiser below makes that the start
// of the process, and a caller in another file's initialiser still finds
// the tables ready.
ErrorTables* errorTables() {
    if (tables == nullptr) {
        auto* built = new ErrorTables;
        built->empty = stringFromAcp("");
        for (int32_t i = 0; i < ERROR_CODE_COUNT; ++i) built->names[i] = stringFromAcp(NAMES[i]);
        for (int32_t i = 0; i < ERROR_CODE_COUNT; ++i) built->messages[i] = stringFromWide(MESSAGES[i]);
        tables = built;
    }
    return tables;
}

const bool tablesBuiltAtLoad = (errorTables(), true);

}  // namespace

String* errorName(int32_t code) {
    if (code < 0 || code >= ERROR_CODE_COUNT) return emptyString();
    return errorTables()->names[code];
}

String* errorMessage(int32_t code) {
    if (code < 0 || code >= ERROR_CODE_COUNT) return emptyString();
    return errorTables()->messages[code];
}

String* emptyString() {
    return errorTables()->empty;
}

void releaseErrorTables() {
    ErrorTables* released = tables;
    if (released == nullptr) return;
    tables = nullptr;
    for (int32_t i = 0; i < ERROR_CODE_COUNT; ++i) {
        releaseString(released->names[i]);
        releaseString(released->messages[i]);
    }
    releaseString(released->empty);
    delete released;
}

// ---------------------------------------------------------------------------
// The log

LogEntry::LogEntry(int32_t level, String* message, const char16_t* tag, int64_t timestamp)
    : level(level), message(message), tag(tag), timestamp(timestamp) {}

LogEntry::~LogEntry() {
    String* held = message;
    message = nullptr;
    releaseString(held);
}

namespace {

struct LogNode {
    LogEntry* entry;
    LogNode* next;
};

struct LogQueue {
    LogNode* head = nullptr;
    LogNode* tail = nullptr;
    int32_t count = 0;
};

struct Log {
    int32_t startTime = 0;
    LogQueue* queue = nullptr;
    platform::Mutex* mutex = nullptr;
    char16_t* formatBuffer = nullptr;
    LogClock clock = nullptr;
};

Log* theLog = nullptr;

int32_t low32(int64_t millis) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(millis)));
}

// Called with the mutex held. Never throws and never logs.
void record(Log* log, int32_t level, const char16_t* tag, const char16_t* text) {
    if (log->queue == nullptr) return;
    int64_t now = log->clock();
    LogEntry* entry = nullptr;
    try {
        entry = new LogEntry(level, stringFromWide(text), tag, now);
    } catch (Throwable* error) {
        delete error;
    } catch (const std::bad_alloc&) {
    }

    // "%d %s :%s\n": elapsed milliseconds in 32-bit arithmetic, tag, text.
    // The parts are written one after the other, so a text that fills the
    // whole format buffer is printed in full.
    auto elapsed = static_cast<int32_t>(static_cast<uint32_t>(low32(now)) - static_cast<uint32_t>(log->startTime));
    char16_t head[16];
    formatWideV(head, u"%d ", elapsed);
    platform::writeStdout(head);
    platform::writeStdout(tag != nullptr ? tag : u"null");
    platform::writeStdout(u" :");
    platform::writeStdout(text);
    platform::writeStdout(u"\n");

    if (entry == nullptr) return;
    auto* node = static_cast<LogNode*>(std::malloc(sizeof(LogNode)));
    if (node == nullptr) {
        delete entry;  // not queued, so nobody else would free it
        return;
    }
    node->entry = entry;
    node->next = nullptr;
    if (log->queue->tail != nullptr) {
        log->queue->tail->next = node;
    } else {
        log->queue->head = node;
    }
    log->queue->tail = node;
    log->queue->count++;
}

void logV(int32_t level, const char16_t* tag, const char16_t* format, va_list args) {
    Log* log = theLog;
    if (log == nullptr || log->mutex == nullptr) return;
    platform::lockMutex(log->mutex);
    formatWide(log->formatBuffer, format, args);
    record(log, level, tag, log->formatBuffer);
    platform::unlockMutex(log->mutex);
}

}  // namespace

void logMessage(int32_t level, const char16_t* tag, const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    logV(level, tag, format, args);
    va_end(args);
}

void logErrorCode(const Throwable* error, const char16_t* tag) {
    Log* log = theLog;
    if (log == nullptr || log->mutex == nullptr) return;
    int32_t code = error != nullptr ? error->code : 0;
    String* text = code >= 1 && code < ERROR_CODE_COUNT ? errorMessage(code) : emptyString();
    platform::lockMutex(log->mutex);
    record(log, LOG_LEVEL_ERROR, tag, text != nullptr ? text->chars : u"");
    platform::unlockMutex(log->mutex);
}

bool openLog(LogClock clock) {
    if (theLog != nullptr) return false;
    auto* log = new (std::nothrow) Log;
    if (log == nullptr) return false;
    log->clock = clock != nullptr ? clock : &platform::clockMillis;
    log->queue = new (std::nothrow) LogQueue;
    log->mutex = platform::createMutex();
    log->formatBuffer =
        static_cast<char16_t*>(std::calloc(static_cast<size_t>(FORMAT_MAX_UNITS) + 1, sizeof(char16_t)));
    if (log->queue == nullptr || log->mutex == nullptr || log->formatBuffer == nullptr) {
        delete log->queue;
        platform::destroyMutex(log->mutex);
        std::free(log->formatBuffer);
        delete log;
        return false;
    }
    log->startTime = low32(log->clock());
    theLog = log;
    return true;
}

void closeLog() {
    Log* log = theLog;
    if (log == nullptr) return;
    theLog = nullptr;
    for (LogNode* node = log->queue->head; node != nullptr;) {
        LogNode* next = node->next;
        delete node->entry;
        std::free(node);
        node = next;
    }
    delete log->queue;
    platform::destroyMutex(log->mutex);
    std::free(log->formatBuffer);
    delete log;
}

bool logIsOpen() {
    return theLog != nullptr;
}

int32_t logEntryCount() {
    Log* log = theLog;
    if (log == nullptr) return 0;
    platform::lockMutex(log->mutex);
    int32_t count = log->queue->count;
    platform::unlockMutex(log->mutex);
    return count;
}

LogEntry* takeLogEntry() {
    Log* log = theLog;
    if (log == nullptr) return nullptr;
    platform::lockMutex(log->mutex);
    LogNode* node = log->queue->head;
    LogEntry* entry = nullptr;
    if (node != nullptr) {
        log->queue->head = node->next;
        if (log->queue->head == nullptr) log->queue->tail = nullptr;
        log->queue->count--;
        entry = node->entry;
        std::free(node);
    }
    platform::unlockMutex(log->mutex);
    return entry;
}

}  // namespace foundation
