// Text, console, clock and locking on POSIX. The "ANSI code page" of a
// POSIX system is UTF-8, and its terminals take UTF-8.
#include <pthread.h>
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <new>
#include <string>

#include "platform/platform.h"
#include "platform/posix/utf8_text.h"

namespace platform {

// 8-bit text to UTF-16. On POSIX systems the "ANSI code page" is UTF-8, so
// both conversions share one decoder. Ill-formed input is not refused:
// every maximal ill-formed subsequence becomes one U+FFFD, as Windows does
// for CP_UTF8 without MB_ERR_INVALID_CHARS.
namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;

class Sink {
public:
    Sink(char16_t* out, int32_t capacity) : out_(out), capacity_(capacity) {}

    void put(char32_t cp) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            unit(static_cast<char16_t>(0xD800 + (cp >> 10)));
            unit(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            unit(static_cast<char16_t>(cp));
        }
    }
    // Units produced (or 0 when they did not fit into a given buffer).
    int32_t result() const { return overflow_ ? 0 : count_; }

private:
    void unit(char16_t u) {
        if (capacity_ > 0) {
            if (count_ >= capacity_) {
                overflow_ = true;
                return;
            }
            out_[count_] = u;
        }
        ++count_;
    }

    char16_t* out_;
    int32_t capacity_;
    int32_t count_ = 0;
    bool overflow_ = false;
};

int32_t decodeUtf8(const char* text, char16_t* out, int32_t outUnits) {
    if (text == nullptr || outUnits < 0 || (outUnits > 0 && out == nullptr)) return 0;
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    Sink sink(out, outUnits);
    size_t i = 0;
    while (s[i] != 0) {
        unsigned char b = s[i];
        if (b < 0x80) {
            sink.put(b);
            ++i;
            continue;
        }
        int need;
        unsigned char lower = 0x80, upper = 0xBF;
        char32_t cp;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            cp = b & 0x0F;
            if (b == 0xE0) lower = 0xA0;
            if (b == 0xED) upper = 0x9F;  // no encoded surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            cp = b & 0x07;
            if (b == 0xF0) lower = 0x90;
            if (b == 0xF4) upper = 0x8F;  // nothing above U+10FFFF
        } else {
            sink.put(REPLACEMENT);
            ++i;
            continue;
        }
        int k = 1;
        for (; k <= need; ++k) {
            unsigned char c = s[i + k];
            unsigned char lo = k == 1 ? lower : 0x80;
            unsigned char hi = k == 1 ? upper : 0xBF;
            if (c < lo || c > hi) break;  // also stops at the terminator
            cp = (cp << 6) | (c & 0x3F);
        }
        if (k <= need) {
            sink.put(REPLACEMENT);
            i += static_cast<size_t>(k);
            continue;
        }
        sink.put(cp);
        i += static_cast<size_t>(need) + 1;
    }
    sink.put(0);
    return sink.result();
}

}  // namespace

int32_t acpToUtf16(const char* text, char16_t* out, int32_t outUnits) {
    return decodeUtf8(text, out, outUnits);
}

int32_t utf8ToUtf16(const char* text, char16_t* out, int32_t outUnits) {
    return decodeUtf8(text, out, outUnits);
}

// Standard output for UTF-16 text: POSIX terminals take UTF-8.
void writeStdout(const char16_t* text) {
    if (text == nullptr) return;
    std::string bytes;
    appendUtf8(bytes, text);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

// The log's clock on POSIX: wall-clock seconds and the millisecond within
// the current second (the same in local time and UTC).
int64_t clockMillis() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// The OS mutex on POSIX: a plain pthread mutex.
struct Mutex {
    pthread_mutex_t handle;
};

Mutex* createMutex() {
    Mutex* mutex = new (std::nothrow) Mutex;
    if (mutex == nullptr) return nullptr;
    if (pthread_mutex_init(&mutex->handle, nullptr) != 0) {
        delete mutex;
        return nullptr;
    }
    return mutex;
}

void lockMutex(Mutex* mutex) {
    if (mutex != nullptr) pthread_mutex_lock(&mutex->handle);
}

void unlockMutex(Mutex* mutex) {
    if (mutex != nullptr) pthread_mutex_unlock(&mutex->handle);
}

void destroyMutex(Mutex* mutex) {
    if (mutex == nullptr) return;
    pthread_mutex_destroy(&mutex->handle);
    delete mutex;
}

}  // namespace platform
