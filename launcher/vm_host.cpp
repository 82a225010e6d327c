#include "launcher/vm_host.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "launcher/layout.h"
#include "launcher/output_log.h"
#include "launcher/vm_folders.h"
#include "launcher/vm_host_internal.h"
#include "platform/callback_type.h"

namespace launcher {
namespace {

// Reads up to count bytes; returns how many were read.
int32_t readUpTo(FILE* file, unsigned char* bytes, int32_t count) {
    int32_t done = 0;
    while (done < count) {
        size_t n = std::fread(bytes + done, 1, static_cast<size_t>(count - done), file);
        if (n == 0) break;
        done += static_cast<int32_t>(n);
    }
    return done;
}

// Reads the first count bytes of the file and closes it; -1 when it is
// null (could not be opened), else how many were read.
int32_t readFileStart(FILE* file, unsigned char* bytes, int32_t count) {
    if (file == nullptr) return -1;
    int32_t n = readUpTo(file, bytes, count);
    std::fclose(file);
    return n;
}

}  // namespace

int32_t readHeapSetting(const char* path) {
    unsigned char bytes[2] = {0, 0};
    // Only a regular file, never through a link (the setting would be
    // someone else's file) and never waiting (a pipe of that name): anything
    // else counts as missing.
    if (readFileStart(platform::openRegularFile(path), bytes, 2) < 2) return DEFAULT_HEAP_MB;
    int32_t megabytes = bytes[0] * 256 + bytes[1];
    if (megabytes < MIN_HEAP_MB) megabytes = MIN_HEAP_MB;
    if (megabytes > MAX_HEAP_MB) megabytes = MAX_HEAP_MB;
    return megabytes;
}

bool storeHeapSetting(const char* path, int32_t megabytes) {
    const char bytes[2] = {static_cast<char>((megabytes >> 8) & 0xFF), static_cast<char>(megabytes & 0xFF)};
    // A new file renamed over jvm.set: a link there is replaced, never
    // written through into the file it leads to.
    if (!platform::replaceWithNewFile(path, bytes, 2)) return false;
    // Read back: a medium that takes the bytes but does not keep them is no
    // stored setting either.
    unsigned char stored[2] = {0, 0};
    return readFileStart(platform::openRegularFile(path), stored, 2) == 2 &&
           stored[0] * 256 + stored[1] == (megabytes & 0xFFFF);
}

std::optional<Outcome> findRuntime(const Install& install) {
    // Without its own location the launcher cannot find the runtime beside
    // it (an empty directory would send it to the root instead).
    if (install.directory[0] == '\0') return Outcome::RUNTIME_MISSING;
    // The runtime library must be there, and be more than a stub.
    unsigned char probe[2] = {0, 0};
    if (readFileStart(platform::openFile(install.runtimeLibrary, "rb"), probe, 2) < 2) return Outcome::RUNTIME_MISSING;
    return std::nullopt;
}

void loadRuntime(platform::System& system, const Install& install, VmHost* host) {
    // The runtime's own libraries (the C runtime it was built with among
    // them) lie in its bin folder: that folder, not the working directory
    // or PATH, supplies what the runtime library needs while it loads.
    system.setCurrentDirectory(install.runtimeBin);
    system.addLibraryDirectory(install.runtimeBin);
    host->library = system.loadLibrary(install.runtimeLibrary);
}

std::optional<Outcome> findVmEntry(platform::System& system, VmHost* host) {
    if (host->library == nullptr) return Outcome::RUNTIME_NOT_LOADED;
    host->create = reinterpret_cast<CreateJavaVm>(system.findSymbol(host->library, "JNI_CreateJavaVM"));
    if (host->create != nullptr) return std::nullopt;
    closeVm(system, host);
    return Outcome::NO_VM_ENTRY;
}

namespace {

// A VM that cannot be created may end the process from inside
// JNI_CreateJavaVM instead of returning a failure (HotSpot does so when the
// heap cannot be reserved). Its exit and abort hooks run just before that:
// while a creation is in progress they take the same way out as a returned
// failure, so the heap is halved and a fresh copy takes over all the same.
struct CreationInProgress {
    platform::System* system;
    const Install* install;
    VmHost* host;
    int32_t heap;
};
std::atomic<CreationInProgress*> creationInProgress{nullptr};

Outcome restartWithHalfTheHeap(platform::System& system, const Install& install, VmHost* host, int32_t heap,
                               jint created, bool releaseRuntime);

void endDuringCreation() {
    // Once only, and never after the creation (a client's System.exit).
    CreationInProgress* creation = creationInProgress.exchange(nullptr);
    if (creation == nullptr) return;
    platform::System& system = *creation->system;
    // The runtime is still running this very code: it stays loaded.
    Outcome outcome =
        restartWithHalfTheHeap(system, *creation->install, creation->host, creation->heap, JNI_ERR, false);
    int code = finishLaunch(system, outcome, creation->host->creationResult, nullptr);
    std::fflush(nullptr);
    closeOutputLog(system);
    std::_Exit(code);
}

// The system of the VM once it runs: when the VM ends the process
// (System.exit), its exit hook has the log writer write out what is on its
// way first.
std::atomic<platform::System*> runningVmSystem{nullptr};

void JNICALL vmExitHook(jint) {
    endDuringCreation();
    if (platform::System* system = runningVmSystem.exchange(nullptr)) closeOutputLog(*system);
}

void JNICALL vmAbortHook() { endDuringCreation(); }

// The VM calls both through the pointer in a JavaVMOption's extraInfo.
TAVELIN_CHECK_CALLBACK(vmExitHook, void(JNICALL*)(jint));
TAVELIN_CHECK_CALLBACK(vmAbortHook, void(JNICALL*)(void));

// Creates the VM with the fixed option list, the heap in megabytes and the
// folders it is pinned to; returns what JNI_CreateJavaVM returned.
jint createVm(VmHost* host, int32_t heap, const VmFolderOptions& folders) {
    char maxHeap[32] = {0};
    std::snprintf(maxHeap, sizeof maxHeap, "-Xmx%dm", static_cast<int>(heap));
    char minHeap[] = "-Xms32m";
#ifdef _WIN32
    char crashDump[] = "-XX:+CreateMinidumpOnCrash";
#endif
    // Elsewhere the VM writes a core dump on a crash by default, where the
    // system lets it; naming the switch (-XX:+CreateCoredumpOnCrash) makes
    // a current VM warn on every start where core dumps are turned off.
    char heapDump[] = "-XX:+HeapDumpOnOutOfMemoryError";
    // The protocols HttpsURLConnection offers. The shipped Java 7 knows
    // these three names and refuses every connection when one is unknown
    // (TLSv1.3); a server that has turned TLS 1.0 off still speaks 1.2. A
    // current runtime knows TLSv1.3 as well.
#ifdef _WIN32
    char protocols[] = "-Dhttps.protocols=TLSv1,TLSv1.1,TLSv1.2";
#else
    char protocols[] = "-Dhttps.protocols=TLSv1,TLSv1.1,TLSv1.2,TLSv1.3";
#endif
    // Added to the fixed list: no folder a user can write to (PATH, the
    // user's temporary folder, the working directory) is searched for
    // libraries, takes temporary files, or receives heap dumps or crash
    // reports.
    std::string libraryPath = folders.libraryPath;
    std::string temporaryFolder = folders.temporaryFolder;
    std::string heapDumpPath = folders.heapDumpPath;
    std::string errorFile = folders.errorFile;
    void(JNICALL * exitHook)(jint) = vmExitHook;
    void(JNICALL * abortHook)(void) = vmAbortHook;
    char exitOption[] = "exit";
    char abortOption[] = "abort";
    JavaVMOption options[11];
    std::memset(options, 0, sizeof options);
    jint count = 0;
    options[count++].optionString = maxHeap;
    options[count++].optionString = minHeap;
#ifdef _WIN32
    options[count++].optionString = crashDump;
#endif
    options[count++].optionString = heapDump;
    options[count++].optionString = protocols;
    options[count++].optionString = &libraryPath[0];
    options[count++].optionString = &temporaryFolder[0];
    options[count++].optionString = &heapDumpPath[0];
    options[count++].optionString = &errorFile[0];
    options[count].optionString = exitOption;
    options[count++].extraInfo = reinterpret_cast<void*>(exitHook);
    options[count].optionString = abortOption;
    options[count++].extraInfo = reinterpret_cast<void*>(abortHook);
    JavaVMInitArgs arguments;
    std::memset(&arguments, 0, sizeof arguments);
    arguments.version = JNI_VERSION_1_6;
    arguments.nOptions = count;
    arguments.options = options;
    arguments.ignoreUnrecognized = JNI_TRUE;
    return host->create(&host->vm, reinterpret_cast<void**>(&host->env), &arguments);
}

// The restart, after a failed creation: releases the runtime (unless the
// failure is ending the process from inside it), stores half the heap
// setting and starts a fresh copy of the launcher, which reads it. Where
// half is below the floor, cannot be stored, or no copy starts, the chain
// ends (VM_NOT_STARTED, whose notice names the creation result).
Outcome restartWithHalfTheHeap(platform::System& system, const Install& install, VmHost* host, int32_t heap,
                               jint created, bool releaseRuntime) {
    host->creationResult = created;
    heap /= 2;
    bool stored = storeHeapSetting(install.heapSetting, heap);
    if (releaseRuntime) closeVm(system, host);
    // A restarted copy reads the setting again: unless it now holds the
    // halved value it would fail the same way, and restart again, without
    // end (each copy a new elevated process on Windows).
    if (heap < MIN_HEAP_MB || !stored) return Outcome::VM_NOT_STARTED;
    // Nobody tries the halved setting without a copy: the end of the chain.
    return system.startCopyOfSelf(install.modulePath) ? Outcome::COPY_TOOK_OVER : Outcome::VM_NOT_STARTED;
}

}  // namespace

std::optional<Outcome> runJava(platform::System& system, const Install& install, const VmFolderOptions& folders,
                               VmHost* host) {
    int32_t heap = readHeapSetting(install.heapSetting);
    CreationInProgress creation = {&system, &install, host, heap};
    creationInProgress.store(&creation);
    jint created = createVm(host, heap, folders);
    // Whoever got here first, a hook has nothing more to do (a hook that
    // did has ended the process).
    if (creationInProgress.exchange(nullptr) == nullptr) return Outcome::VM_NOT_STARTED;
    if (created < 0) return restartWithHalfTheHeap(system, install, host, heap, created, true);
    runningVmSystem.store(&system);
    return std::nullopt;
}

void closeVm(platform::System& system, VmHost* host) {
    if (host->vm != nullptr) {
        JavaVM* vm = host->vm;
        host->vm = nullptr;
        vm->DestroyJavaVM();
    }
    if (host->library != nullptr) {
        void* library = host->library;
        host->library = nullptr;
        // Its entry goes with it.
        host->create = nullptr;
        system.freeLibrary(library);
    }
}

void exitThroughVm(VmHost* host, int code) {
    if (host->vm == nullptr || host->env == nullptr) return;
    JNIEnv* env = host->env;
    // What main or the hand-off left (a missing main) must not stop the call.
    if (env->ExceptionCheck()) env->ExceptionClear();
    jclass system = env->FindClass("java/lang/System");
    jmethodID exit = system == nullptr ? nullptr : env->GetStaticMethodID(system, "exit", "(I)V");
    if (exit == nullptr) {
        env->ExceptionClear();
        return;
    }
    env->CallStaticVoidMethod(system, exit, static_cast<jint>(code));
    // Still here: a security manager of the client refused.
    env->ExceptionClear();
}

int32_t writeAll(int32_t count, const char* bytes, FILE* file) {
    if (file == nullptr) return 1;
    int32_t done = 0;
    while (done < count) {
        size_t n = std::fwrite(bytes + done, 1, static_cast<size_t>(count - done), file);
        if (n == 0) break;
        done += static_cast<int32_t>(n);
    }
    // A write error can surface only when the buffered bytes go out.
    bool closed = std::fclose(file) == 0;
    return done == count && closed ? 0 : 1;
}

}  // namespace launcher
