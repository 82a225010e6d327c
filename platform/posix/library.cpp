#include <dlfcn.h>

#include "platform/platform.h"

namespace platform {

void* loadLibrary(const char* path) {
    if (path == nullptr) return nullptr;
    // Global, as the Java launcher itself loads the VM library.
    return dlopen(path, RTLD_NOW | RTLD_GLOBAL);
}

bool addLibraryDirectory(const char* directory) {
    // A shared library names its own folders (its run path); the loader is
    // not told any others.
    return directory != nullptr;
}

void* findSymbol(void* library, const char* name) {
    if (library == nullptr || name == nullptr) return nullptr;
    return dlsym(library, name);
}

void freeLibrary(void* library) {
    if (library != nullptr) dlclose(library);
}

}  // namespace platform
