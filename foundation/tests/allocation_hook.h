// Replaces every form of new and delete in the test program that includes
// it (include it from one source file only), so that a test can make one
// allocation fail.
#pragma once

#include <cstdlib>
#include <new>

// When newCallsBeforeFailure reaches 0, that call fails (once) and
// newFailed is set; -1: nothing fails. All forms are replaced so that they
// pair with each other (the sanitizer build checks the pairing).
namespace {
long newCallsBeforeFailure = -1;
bool newFailed = false;

void* hookedAllocate(std::size_t size) noexcept {
    if (newCallsBeforeFailure == 0) {
        newCallsBeforeFailure = -1;
        newFailed = true;
        return nullptr;
    }
    if (newCallsBeforeFailure > 0) --newCallsBeforeFailure;
    return std::malloc(size == 0 ? 1 : size);
}

// Not inlined, so that the compiler does not pair new and free at the call
// sites and warn about a mismatch.
[[gnu::noinline]] void hookedFree(void* block) noexcept {
    std::free(block);
}
}  // namespace

void* operator new(std::size_t size) {
    void* block = hookedAllocate(size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void* operator new[](std::size_t size) {
    void* block = hookedAllocate(size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return hookedAllocate(size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return hookedAllocate(size);
}

void operator delete(void* block) noexcept {
    hookedFree(block);
}

void operator delete[](void* block) noexcept {
    hookedFree(block);
}

void operator delete(void* block, std::size_t) noexcept {
    hookedFree(block);
}

void operator delete[](void* block, std::size_t) noexcept {
    hookedFree(block);
}

void operator delete(void* block, const std::nothrow_t&) noexcept {
    hookedFree(block);
}

void operator delete[](void* block, const std::nothrow_t&) noexcept {
    hookedFree(block);
}
