#include "foundation/strings.h"

#include <cstdlib>
#include <cstring>

#include "foundation/errors.h"
#include "foundation/object.h"
#include "platform/platform.h"

namespace foundation {

namespace {

char16_t* allocateUnits(int32_t length) {
    auto* chars = static_cast<char16_t*>(std::calloc(static_cast<size_t>(length) + 1, sizeof(char16_t)));
    if (chars == nullptr) throwError(OUT_OF_MEMORY);
    return chars;
}

int32_t unitLength(const char16_t* text) {
    int32_t n = 0;
    while (text[n] != 0) ++n;
    return n;
}

const char16_t NULL_TEXT[] = u"null";

// A new String that takes over a malloc'd buffer; the buffer is freed when
// the record cannot be made.
String* adoptUnits(char16_t* chars) {
    if (chars == nullptr) throwError(OUT_OF_MEMORY);
    try {
        return new String(chars, unitLength(chars));
    } catch (...) {
        std::free(chars);
        throw;
    }
}

using Converter = int32_t (*)(const char*, char16_t*, int32_t);

char16_t* toWide(Converter convert, const char* text) {
    int32_t n = text != nullptr ? convert(text, nullptr, 0) : 0;
    if (n < 0) n = 0;
    size_t bytes = static_cast<size_t>(n) * 2 + 2;
    auto* buffer = static_cast<char16_t*>(std::malloc(bytes));
    if (buffer == nullptr) return nullptr;
    std::memset(buffer, 0, bytes);
    if (n > 0) convert(text, buffer, n);
    return buffer;
}

}  // namespace

String::String() : length(0), useCount(1), chars(allocateUnits(0)) {}

String::String(char16_t* chars, int32_t length)
    : length(chars != nullptr ? length : 0), useCount(1), chars(chars != nullptr ? chars : allocateUnits(0)) {}

String::~String() {
    if (useCount != 0) {
        logMessage(LOG_LEVEL_ERROR, u"String", u"free String when useCount = %d  value = '%s'", useCount,
                   chars);
    }
    std::free(chars);
    chars = nullptr;
}

String* stringFromWide(const char16_t* text) {
    int32_t length = text != nullptr ? unitLength(text) : 0;
    char16_t* chars = allocateUnits(length);
    if (length > 0) std::memcpy(chars, text, static_cast<size_t>(length) * sizeof(char16_t));
    try {
        return new String(chars, length);
    } catch (...) {
        std::free(chars);
        throw;
    }
}

String* stringFromAcp(const char* text) {
    return adoptUnits(toWideAcp(text));
}

String* stringFromUtf8(const char* text) {
    return adoptUnits(toWideUtf8(text));
}

void retainString(String* s) {
    if (s != nullptr) ++s->useCount;
}

void releaseString(String* s) {
    if (s == nullptr) return;
    if (--s->useCount == 0) delete s;
}

void releaseElement(String* element) {
    releaseString(element);
}

char16_t* toWideAcp(const char* text) {
    return toWide(&platform::acpToUtf16, text);
}

char16_t* toWideUtf8(const char* text) {
    return toWide(&platform::utf8ToUtf16, text);
}

// ---------------------------------------------------------------------------

StringBuilder::StringBuilder() : buffer(new DataArray<char16_t>(64)), count(0) {}

StringBuilder::~StringBuilder() {
    delete buffer;
    buffer = nullptr;
}

int32_t StringBuilder::grownCapacity(int32_t capacity, int32_t minimum) {
    // Wrapping 32-bit arithmetic, done unsigned to stay defined.
    auto grown = static_cast<int32_t>(static_cast<uint32_t>(capacity) * 2u + 2u);
    if (static_cast<int32_t>(static_cast<uint32_t>(grown) - static_cast<uint32_t>(minimum)) < 0) grown = minimum;
    if (grown < 0) {
        if (minimum < 0) throwError(OUT_OF_MEMORY);
        grown = INT32_MAX;
    }
    return grown;
}

void StringBuilder::ensureCapacity(int32_t minimum) {
    int32_t capacity = buffer != nullptr ? buffer->length : 0;
    int32_t grown = grownCapacity(capacity, minimum);
    auto* larger = new DataArray<char16_t>(grown);
    int32_t keep = capacity < grown ? capacity : grown;
    if (keep > 0) std::memcpy(larger->data, buffer->data, static_cast<size_t>(keep) * sizeof(char16_t));
    delete buffer;
    buffer = larger;
    if (count > grown) count = grown;
}

void StringBuilder::append(const char16_t* units, int32_t n) {
    if (units == nullptr) {
        append(NULL_TEXT, 4);
        return;
    }
    if (n <= 0) {
        if (n < 0) throwError(OUT_OF_BOUNDS);
        return;
    }
    // The sum is formed without overflow; a total beyond 32 bits cannot be
    // held and must not be copied.
    int64_t total = static_cast<int64_t>(count) + n;
    if (total > INT32_MAX) throwError(OUT_OF_MEMORY);
    if (buffer == nullptr || total > buffer->length) ensureCapacity(static_cast<int32_t>(total));
    std::memcpy(buffer->data + count, units, static_cast<size_t>(n) * sizeof(char16_t));
    count = static_cast<int32_t>(total);
}

void StringBuilder::append(const char16_t* text) {
    if (text == nullptr) {
        append(NULL_TEXT, 4);
        return;
    }
    append(text, unitLength(text));
}

void StringBuilder::append(const char* text) {
    if (text == nullptr) {
        append(NULL_TEXT, 4);
        return;
    }
    for (size_t i = 0; text[i] != 0; ++i) {
        // Widened as a signed byte: only ASCII is passed here.
        append(static_cast<char16_t>(static_cast<int16_t>(static_cast<signed char>(text[i]))));
    }
}

void StringBuilder::append(Object* object) {
    String* text = object != nullptr ? object->toString() : nullptr;
    if (text == nullptr) {
        append(NULL_TEXT, 4);
        return;
    }
    try {
        append(text->chars, text->length);
    } catch (...) {
        releaseString(text);
        throw;
    }
    releaseString(text);
}

void StringBuilder::append(char16_t unit) {
    if (count == INT32_MAX) throwError(OUT_OF_MEMORY);
    if (buffer == nullptr || count + 1 > buffer->length) ensureCapacity(count + 1);
    buffer->data[count++] = unit;
}

String* StringBuilder::toStringBuilderString() const {
    if (buffer == nullptr || buffer->data == nullptr) return new String();
    char16_t* chars = allocateUnits(count);
    std::memcpy(chars, buffer->data, static_cast<size_t>(count) * sizeof(char16_t));
    try {
        return new String(chars, count);
    } catch (...) {
        std::free(chars);
        throw;
    }
}

// ---------------------------------------------------------------------------

namespace {

ArrayList* pool = nullptr;

void releaseConstStrings() {
    // Re-read the pool after each release: a release may log, and logging
    // must see a consistent list.
    for (int32_t i = 0; pool != nullptr && i < pool->size; ++i) {
        auto* s = static_cast<String*>(pool->items[i]);
        pool->items[i] = nullptr;
        releaseString(s);
    }
    delete pool;
    pool = nullptr;
}

}  // namespace

String* makeConstString(const char16_t* text) {
    String* s = stringFromWide(text);
    if (pool == nullptr) {
        try {
            auto* list = new ArrayList(64);
            try {
                list->add(new String());
            } catch (...) {
                delete list;
                throw;
            }
            pool = list;
        } catch (...) {
            releaseString(s);
            throw;
        }
        addReleaseHook(&releaseConstStrings);
    }
    // When the pool cannot grow, the string is handed out unpooled; it then
    // lives until the process ends, as pooled ones do.
    pool->add(s);
    return s;
}

ArrayList* constStringPool() {
    return pool;
}

}  // namespace foundation
