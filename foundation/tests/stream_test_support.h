// Small helpers shared by the stream and record tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/errors.h"
#include "foundation/streams.h"
#include "foundation/strings.h"

namespace streamtest {

using Bytes = std::vector<uint8_t>;

// The code of the Throwable* that f throws (its message text in *message),
// or 0 when it throws nothing.
template <typename F>
int32_t thrownCode(F f, std::u16string* message = nullptr) {
    try {
        f();
    } catch (foundation::Throwable* error) {
        const int32_t code = error->code;
        if (message != nullptr) {
            *message = error->message == nullptr
                           ? u"<none>"
                           : std::u16string(error->message->chars, static_cast<size_t>(error->message->length));
        }
        delete error;
        return code;
    }
    return 0;
}

inline Bytes contents(const foundation::AccessOut& s) {
    return Bytes(s.buffer->data, s.buffer->data + s.count);
}

inline void append(foundation::AccessOut& s, const Bytes& bytes) {
    for (uint8_t b : bytes) s.write(b);
}

// A counted String (useCount 1) holding exactly these units, embedded NULs
// included.
inline foundation::String* makeString(const std::u16string& units) {
    auto* chars = static_cast<char16_t*>(std::calloc(units.size() + 1, sizeof(char16_t)));
    if (!units.empty()) std::memcpy(chars, units.data(), units.size() * sizeof(char16_t));
    return new foundation::String(chars, static_cast<int32_t>(units.size()));
}

inline std::u16string units(const foundation::String* s) {
    return std::u16string(s->chars, static_cast<size_t>(s->length));
}

// Opens the process-wide log for the scope and collects what is recorded
// (the printed lines are captured and dropped).
class LogCapture {
public:
    struct Entry {
        int32_t level;
        std::u16string tag;
        std::u16string text;
        bool operator==(const Entry& o) const { return level == o.level && tag == o.tag && text == o.text; }
    };

    LogCapture() {
        opened_ = foundation::openLog();
        ::testing::internal::CaptureStdout();
    }
    ~LogCapture() {
        ::testing::internal::GetCapturedStdout();
        foundation::closeLog();
    }
    bool opened() const { return opened_; }
    // The entries recorded since the last call.
    std::vector<Entry> take() {
        std::vector<Entry> entries;
        while (foundation::LogEntry* e = foundation::takeLogEntry()) {
            entries.push_back({e->level, e->tag, units(e->message)});
            delete e;
        }
        return entries;
    }

private:
    bool opened_;
};

inline std::ostream& operator<<(std::ostream& os, const LogCapture::Entry& e) {
    std::string narrow;
    for (char16_t c : e.tag + u": " + e.text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
    return os << e.level << " " << narrow;
}

}  // namespace streamtest
