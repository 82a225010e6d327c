// The OS mutex on POSIX: a plain pthread mutex.
#include <pthread.h>

#include <new>

#include "platform/platform.h"

namespace platform {

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
