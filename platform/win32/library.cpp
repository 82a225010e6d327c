#include <windows.h>

#include "platform/platform.h"

namespace platform {

void* loadLibrary(const char* path) {
    if (path == nullptr) return nullptr;
    return reinterpret_cast<void*>(LoadLibraryA(path));
}

void* findSymbol(void* library, const char* name) {
    if (library == nullptr || name == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void freeLibrary(void* library) {
    if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
}

}  // namespace platform
