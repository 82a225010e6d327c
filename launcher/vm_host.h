// Creating the Java VM from the runtime installed beside the launcher, with
// the heap sized by jvm.set; when it cannot be created, the restart with
// half the heap. What the launcher calls; its pieces, for the tests:
// vm_host_internal.h.
#pragma once

#include <jni.h>

#include <cstdint>
#include <optional>

#include "launcher/install.h"
#include "launcher/outcome.h"
#include "launcher/vm_folders.h"
#include "platform/platform.h"

namespace launcher {

// The runtime library's entry that creates a VM.
using CreateJavaVm = jint(JNICALL*)(JavaVM** vm, void** env, void* arguments);

struct VmHost {
    JavaVM* vm;
    JNIEnv* env;
    jclass mainClass;
    void* library;
    CreateJavaVm create;  // the library's JNI_CreateJavaVM, once found
    // What JNI_CreateJavaVM returned when it failed (0 before any failure).
    jint creationResult;
};

// Steps of launcherMain, in the order it takes them (between loadRuntime
// and findVmEntry it makes the launcher's directory the working directory,
// and before runJava it prepares the VM's folders, vm_folders.h). Each that
// can end the start returns the outcome that ends it, nothing when the
// start goes on.

// RUNTIME_MISSING when the launcher's folder is unknown, or the runtime
// library is not there in it or is a stub.
std::optional<Outcome> findRuntime(const Install& install);

// Loads the runtime library into host->library (null when it does not
// load), standing in the runtime's bin folder, which it leaves the working
// directory.
void loadRuntime(platform::System& system, const Install& install, VmHost* host);

// Finds JNI_CreateJavaVM in the loaded runtime library (host->create).
// RUNTIME_NOT_LOADED when none was loaded; NO_VM_ENTRY, with the library
// released, when it has no such entry.
std::optional<Outcome> findVmEntry(platform::System& system, VmHost* host);

// Runs the Java VM: creates it through host->create with the heap the
// install's jvm.set gives and the folders it is pinned to. Nothing once it
// runs (host->vm and host->env set). After a failed creation (its result in
// host->creationResult) the restart's outcome: COPY_TOOK_OVER when half the
// heap setting is stored and a fresh copy started, else VM_NOT_STARTED.
std::optional<Outcome> runJava(platform::System& system, const Install& install, const VmFolderOptions& folders,
                               VmHost* host);

// Destroys the VM and releases the runtime library, each once.
void closeVm(platform::System& system, VmHost* host);

// Ends the process through the VM's System.exit(code), on the thread that
// created the VM: the client's shutdown hooks run, other Java threads are
// not waited for. Returns only where that call cannot be made (no VM, or
// the call refused); the caller then ends the process itself.
void exitThroughVm(VmHost* host, int code);

}  // namespace launcher
