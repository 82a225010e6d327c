// Creating the Java VM from the runtime installed beside the launcher, with
// the heap sized by jvm.set, and handing over to the bootstrap class.
#pragma once

#include <jni.h>

#include <cstdint>
#include <cstdio>
#include <string>

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

// What running Java came to. The numbers are those the launcher has always
// used; launcherMain turns them into exit codes.
enum RunResult : int32_t {
    RUN_MAIN_RETURNED = 0,
    RUN_RUNTIME_FAILED = 1,       // no runtime, no entry, or no VM and no restart (with a notice)
    RUN_NO_BOOTSTRAP_CLASS = -1,  // the VM refused the bootstrap class
    RUN_NO_MAIN = -2,             // no main(String[]), or its arguments could not be made
    RUN_NO_CLIENT = -3,           // main returned; its last load cycle found no client class
    RUN_MAIN_THREW = -4,          // main returned with a Java exception pending
    RUN_START_FAILED = -5,        // main returned; the client class loaded but its start method was missing or threw
    RESTART_REQUESTED = 999,      // no VM; the halved heap setting is stored for a fresh copy
};

// NOTICE_VM_NOT_STARTED and the creation result, the notice of a VM that
// cannot be had by halving the heap.
std::u16string vmStartFailedNotice(int32_t creationResult);

// The heap setting stored in a jvm.set file: 900 when it is missing or
// shorter than two bytes, else the first two bytes big-endian, clamped to
// 64..2048.
int32_t readHeapSetting(const char* path);

// Writes the heap setting (two bytes, most significant first) to the file
// at path, replacing it. True only when both bytes were written and read
// back as that value.
bool storeHeapSetting(const char* path, int32_t megabytes);

// Locates and loads the runtime, creates the VM (on failure: halves the
// heap setting and asks for a restart) and runs the bootstrap class's main;
// see RunResult.
RunResult runJava(platform::System& system, VmHost* host, int32_t count, const char* const* strings);

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
