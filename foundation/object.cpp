#include "foundation/object.h"

#include <cstdio>

#include "foundation/arrays.h"
#include "foundation/errors.h"
#include "foundation/strings.h"

namespace foundation {

Object::~Object() = default;

void Object::release() {
    delete this;
}

String* Object::toString() {
    return describeObjectAt(reinterpret_cast<intptr_t>(this));
}

String* describeWithNumber(const char16_t* prefix, int64_t number, const char16_t* suffix) {
    // The builder lives on the stack, so its buffer goes also when an
    // exception passes.
    StringBuilder builder;
    builder.append(prefix);
    char digits[32];
    std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(number));
    builder.append(digits);
    if (suffix != nullptr) builder.append(suffix);
    return builder.toStringBuilderString();
}

String* describeObjectAt(intptr_t address) {
    return describeWithNumber(u"Object@", static_cast<int64_t>(address), nullptr);
}

namespace {

ArrayList* hookList = nullptr;

}  // namespace

void addReleaseHook(ReleaseHook hook) {
    if (hookList == nullptr) {
        try {
            hookList = new ArrayList(32);
        } catch (Throwable* error) {
            delete error;
            return;
        }
        hookList->add(reinterpret_cast<void*>(&releaseErrorTables));
    }
    void* entry = reinterpret_cast<void*>(hook);
    if (hook == nullptr || hookList->indexOf(entry) >= 0) return;
    hookList->add(entry);  // dropped silently when the list cannot grow
}

ArrayList* releaseHookList() {
    return hookList;
}

}  // namespace foundation
