// Root of the library's polymorphic classes and the release-hook registry.
// The hooks free Quenvil's load-time objects (README, "What foundation/ is for").
#pragma once

#include <cstdint>

namespace foundation {

struct String;
class ArrayList;

// Plain objects have a single owner, who gives them up with release();
// counted classes (Saveable) override release() to count down instead.
class Object {
public:
    Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    virtual ~Object();
    // Gives up the caller's hold. For a plain object that deletes it.
    virtual void release();
    // A new description; the caller owns it (useCount 1) and must release it.
    virtual String* toString();
};

using ReleaseHook = void (*)();

// Registers a hook that gives up the library's holds on one family of
// shared objects. No duplicates; a hook that cannot be stored is dropped.
// The error tables' hook is always the first entry.
void addReleaseHook(ReleaseHook hook);

// The hook list itself (null until first use), for inspection.
ArrayList* releaseHookList();

// Builds a description: prefix, the number in decimal, then suffix (may be
// null). New String, useCount 1. Every toString of the library uses it.
String* describeWithNumber(const char16_t* prefix, int64_t number, const char16_t* suffix);

// "Object@" and the address as a signed decimal number: the address is read
// as a signed pointer-sized value, so one with the top bit set is negative.
String* describeObjectAt(intptr_t address);

}  // namespace foundation
