// Small helpers shared by the foundation tests.
#pragma once

#include <string>

#include "foundation/strings.h"

namespace foundation_test {

// The text of a String, or "<null>" for a null pointer.
inline std::u16string text(const foundation::String* s) {
    if (s == nullptr) return u"<null>";
    return std::u16string(s->chars, static_cast<size_t>(s->length));
}

// The text of a String the caller owns, released afterwards.
inline std::u16string take(foundation::String* s) {
    std::u16string result = text(s);
    foundation::releaseString(s);
    return result;
}

// Runs f and returns the code of the Throwable it throws, or -1000 when it
// throws nothing.
template <typename F>
int thrownCode(F f) {
    try {
        f();
    } catch (foundation::Throwable* error) {
        int code = error->code;
        delete error;
        return code;
    }
    return -1000;
}

}  // namespace foundation_test
