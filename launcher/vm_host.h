// Creating the Java VM from the runtime installed beside the launcher, with
// the heap sized by jvm.set; when it cannot be created, the restart with
// half the heap.
#pragma once

#include <jni.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "launcher/install.h"
#include "launcher/outcome.h"
#include "platform/platform.h"

namespace launcher {

struct VmHost {
    JavaVM* vm;
    JNIEnv* env;
    jclass mainClass;
    void* library;
    // What JNI_CreateJavaVM returned when it failed (0 before any failure).
    jint creationResult;
};

constexpr int32_t DEFAULT_HEAP_MB = 900;
constexpr int32_t MIN_HEAP_MB = 64;
constexpr int32_t MAX_HEAP_MB = 2048;

// The heap setting stored in a jvm.set file: 900 when it is missing, no
// regular file (a link, a pipe, a folder) or shorter than two bytes, else
// the first two bytes big-endian, clamped to 64..2048.
int32_t readHeapSetting(const char* path);

// Writes the heap setting (two bytes, most significant first) to a new file
// renamed over the one at path (what stood there, a link included, is
// replaced; a folder, a device or a read-only file is not). True only when
// both bytes were written and read back as that value.
bool storeHeapSetting(const char* path, int32_t megabytes);

// Locates and loads the runtime in install and creates the VM with the heap
// its jvm.set gives. True with host->vm and host->env set. Otherwise false
// with what ended the start in *failure: RUNTIME_MISSING,
// RUNTIME_NOT_LOADED, NO_VM_ENTRY; or, after a failed creation (its result
// in host->creationResult), the restart's: COPY_TOOK_OVER when half the
// heap setting is stored and a fresh copy started, else VM_NOT_STARTED.
bool startVm(platform::System& system, const Install& install, VmHost* host, Outcome* failure);

// Destroys the VM and releases the runtime library, each once.
void closeVm(platform::System& system, VmHost* host);

// Ends the process through the VM's System.exit(code), on the thread that
// created the VM: the client's shutdown hooks run, other Java threads are
// not waited for. Returns only where that call cannot be made (no VM, or
// the call refused); the caller then ends the process itself.
void exitThroughVm(VmHost* host, int code);

// Writes all bytes and closes the file in every case. 0 when all were
// written, 1 otherwise.
int32_t writeAll(int32_t count, const char* bytes, FILE* file);

}  // namespace launcher
