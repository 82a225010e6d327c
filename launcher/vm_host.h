// Creating the Java VM from the runtime installed beside the launcher, with
// the heap sized by jvm.set; when it cannot be created, the restart with
// half the heap. What the launcher calls; its pieces, for the tests:
// vm_host_internal.h.
#pragma once

#include <jni.h>

#include <cstdint>
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

}  // namespace launcher
