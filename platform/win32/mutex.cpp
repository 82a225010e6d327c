// The OS mutex on Windows: an unnamed kernel mutex.
#include <windows.h>

#include "platform/platform.h"

namespace platform {

// The handle itself is the Mutex pointer.
Mutex* createMutex() {
    return reinterpret_cast<Mutex*>(CreateMutexW(nullptr, FALSE, nullptr));
}

void lockMutex(Mutex* mutex) {
    if (mutex != nullptr) WaitForSingleObject(reinterpret_cast<HANDLE>(mutex), INFINITE);
}

void unlockMutex(Mutex* mutex) {
    if (mutex != nullptr) ReleaseMutex(reinterpret_cast<HANDLE>(mutex));
}

void destroyMutex(Mutex* mutex) {
    if (mutex != nullptr) CloseHandle(reinterpret_cast<HANDLE>(mutex));
}

}  // namespace platform
