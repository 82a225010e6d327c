// Creating the Java VM from the runtime installed beside the launcher, with
// the heap sized by jvm.set, and handing over to the bootstrap class.
#include "launcher/vm_host.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "launcher/bootstrap_handoff.h"
#include "launcher/layout.h"
#include "launcher/messages.h"
#include "launcher/output_log.h"
#include "launcher/stale_instances.h"
#include "launcher/startup.h"
#include "launcher/vm_folders.h"
#include "platform/callback_type.h"

namespace launcher {
namespace {

using CreateJavaVm = jint(JNICALL*)(JavaVM** vm, void** env, void* arguments);

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

// Reads the first count bytes of the file at path; -1 when it cannot be
// opened, else how many were read.
int32_t readFileStart(const char* path, unsigned char* bytes, int32_t count) {
    FILE* file = platform::openFile(path, "rb");
    if (file == nullptr) return -1;
    int32_t n = readUpTo(file, bytes, count);
    std::fclose(file);
    return n;
}

void formatPath(char (&out)[FORMATTED_PATH_SIZE], const char* directory, const char* relative) {
    std::snprintf(out, sizeof out, "%s%c%s", directory, platform::PATH_SEPARATOR, relative);
}

// "jre7/bin" and "jre7/bin/jvm.set" with the OS's separator.
const char* runtimeBinDirectory() {
    static const std::string path = std::string(RUNTIME_FOLDER) + platform::PATH_SEPARATOR + RUNTIME_BIN_FOLDER;
    return path.c_str();
}

const char* heapSettingFile() {
    static const std::string path = std::string(runtimeBinDirectory()) + platform::PATH_SEPARATOR + HEAP_SETTING_NAME;
    return path.c_str();
}

void notice(platform::System& system, const char16_t* text) {
    system.messageBox(text, NOTICE_CAPTION);
}

}  // namespace

int32_t readHeapSetting(const char* path) {
    unsigned char bytes[2] = {0, 0};
    if (readFileStart(path, bytes, 2) < 2) return DEFAULT_HEAP_MB;
    int32_t megabytes = bytes[0] * 256 + bytes[1];
    if (megabytes < MIN_HEAP_MB) megabytes = MIN_HEAP_MB;
    if (megabytes > MAX_HEAP_MB) megabytes = MAX_HEAP_MB;
    return megabytes;
}

std::u16string vmStartFailedNotice(int32_t creationResult) {
    // Wide, like every other notice, so it reads on any system.
    std::u16string text = NOTICE_VM_NOT_STARTED;
    for (char c : std::to_string(static_cast<long long>(creationResult))) text += static_cast<char16_t>(c);
    return text;
}

bool storeHeapSetting(const char* path, int32_t megabytes) {
    FILE* file = platform::openFile(path, "wb");
    if (file == nullptr) return false;
    const char bytes[2] = {static_cast<char>((megabytes >> 8) & 0xFF), static_cast<char>(megabytes & 0xFF)};
    if (writeAll(2, bytes, file) != 0) return false;
    // Read back: a file that takes the bytes but does not keep them (a
    // device, a medium that drops writes) is no stored setting either.
    unsigned char stored[2] = {0, 0};
    return readFileStart(path, stored, 2) == 2 && stored[0] * 256 + stored[1] == (megabytes & 0xFFFF);
}

namespace {

// Where the runtime lies beside the launcher: full paths, UTF-8.
struct RuntimeLocation {
    char directory[MODULE_PATH_SIZE];                 // the launcher's own
    char settingPath[FORMATTED_PATH_SIZE] = {0};      // jre7/bin/jvm.set
    char libraryPath[FORMATTED_PATH_SIZE] = {0};      // RUNTIME_LIBRARY_PATH
    char binDirectory[FORMATTED_PATH_SIZE] = {0};     // jre7/bin
};

// Finds the launcher's directory and the runtime library in it. False, with
// the notice shown, when either is missing.
bool locateRuntime(platform::System& system, RuntimeLocation& location) {
    // Without its own location the launcher cannot find the runtime beside
    // it (an empty directory would send it to the root instead).
    if (!launcherDirectory(system, location.directory)) {
        notice(system, NOTICE_RUNTIME_MISSING);
        return false;
    }
    formatPath(location.settingPath, location.directory, heapSettingFile());
    formatPath(location.libraryPath, location.directory, RUNTIME_LIBRARY_PATH);
    formatPath(location.binDirectory, location.directory, runtimeBinDirectory());

    // The runtime library must be there, and be more than a stub.
    unsigned char probe[2] = {0, 0};
    if (readFileStart(location.libraryPath, probe, 2) < 2) {
        notice(system, NOTICE_RUNTIME_MISSING);
        return false;
    }
    return true;
}

// Loads the runtime library into host->library and finds its
// JNI_CreateJavaVM. Null, with the notice shown and nothing left loaded,
// when either fails.
CreateJavaVm loadRuntime(platform::System& system, const RuntimeLocation& location, VmHost* host) {
    // The runtime's own libraries (the C runtime it was built with among
    // them) lie in its bin folder: that folder, not the working directory
    // or PATH, supplies what the runtime library needs while it loads. The
    // runtime is loaded standing in that folder, and after that the
    // launcher's directory is the working directory for good (the Java side
    // resolves "./cjars" against it).
    system.setCurrentDirectory(location.binDirectory);
    system.addLibraryDirectory(location.binDirectory);
    void* library = system.loadLibrary(location.libraryPath);
    system.setCurrentDirectory(location.directory);
    if (library == nullptr) {
        notice(system, NOTICE_RUNTIME_NOT_LOADED);
        return nullptr;
    }
    host->library = library;
    auto create = reinterpret_cast<CreateJavaVm>(system.findSymbol(library, "JNI_CreateJavaVM"));
    if (create == nullptr) {
        notice(system, NOTICE_NO_VM_ENTRY);
        closeVm(system, host);
    }
    return create;
}

// A VM that cannot be created may end the process from inside
// JNI_CreateJavaVM instead of returning a failure (HotSpot does so when the
// heap cannot be reserved). Its exit and abort hooks run just before that:
// while a creation is in progress they take the same way out as a returned
// failure, so the heap is halved and a fresh copy takes over all the same.
struct CreationInProgress {
    platform::System* system;
    VmHost* host;
    const char* settingPath;
    int32_t heap;
};
std::atomic<CreationInProgress*> creationInProgress{nullptr};

RunResult halveHeap(platform::System& system, VmHost* host, const char* settingPath, int32_t heap, jint created,
                    bool releaseRuntime);

void endDuringCreation() {
    // Once only, and never after the creation (a client's System.exit).
    CreationInProgress* creation = creationInProgress.exchange(nullptr);
    if (creation == nullptr) return;
    platform::System& system = *creation->system;
    // The runtime is still running this very code: it stays loaded.
    RunResult result = halveHeap(system, creation->host, creation->settingPath, creation->heap, JNI_ERR, false);
    char modulePath[MODULE_PATH_SIZE] = {0};
    system.ownModulePath(modulePath, sizeof modulePath);
    int code = exitAfterFailedCreation(system, *creation->host, result, modulePath);
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

void JNICALL vmAbortHook() {
    endDuringCreation();
}

// The VM calls both through the pointer in a JavaVMOption's extraInfo.
TAVELIN_CHECK_CALLBACK(vmExitHook, void(JNICALL*)(jint));
TAVELIN_CHECK_CALLBACK(vmAbortHook, void(JNICALL*)(void));

// Creates the VM with the fixed option list, the heap in megabytes and the
// folders it is pinned to; returns what JNI_CreateJavaVM returned.
jint createVm(CreateJavaVm create, VmHost* host, int32_t heap, const VmFolderOptions& folders) {
    char maxHeap[32] = {0};
    std::snprintf(maxHeap, sizeof maxHeap, "-Xmx%dm", static_cast<int>(heap));
    char minHeap[] = "-Xms32m";
#ifdef _WIN32
    char crashDump[] = "-XX:+CreateMinidumpOnCrash";
#else
    // The same switch under its current name: the old one draws a
    // deprecation warning from the VM on every start.
    char crashDump[] = "-XX:+CreateCoredumpOnCrash";
#endif
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
    // libraries, takes temporary files, or receives heap dumps.
    std::string libraryPath = folders.libraryPath;
    std::string temporaryFolder = folders.temporaryFolder;
    std::string heapDumpPath = folders.heapDumpPath;
    void(JNICALL * exitHook)(jint) = vmExitHook;
    void(JNICALL * abortHook)(void) = vmAbortHook;
    char exitOption[] = "exit";
    char abortOption[] = "abort";
    JavaVMOption options[10];
    std::memset(options, 0, sizeof options);
    options[0].optionString = maxHeap;
    options[1].optionString = minHeap;
    options[2].optionString = crashDump;
    options[3].optionString = heapDump;
    options[4].optionString = protocols;
    options[5].optionString = &libraryPath[0];
    options[6].optionString = &temporaryFolder[0];
    options[7].optionString = &heapDumpPath[0];
    options[8].optionString = exitOption;
    options[8].extraInfo = reinterpret_cast<void*>(exitHook);
    options[9].optionString = abortOption;
    options[9].extraInfo = reinterpret_cast<void*>(abortHook);
    JavaVMInitArgs arguments;
    std::memset(&arguments, 0, sizeof arguments);
    arguments.version = JNI_VERSION_1_6;
    arguments.nOptions = static_cast<jint>(sizeof options / sizeof options[0]);
    arguments.options = options;
    arguments.ignoreUnrecognized = JNI_TRUE;
    return create(&host->vm, reinterpret_cast<void**>(&host->env), &arguments);
}

// After a failed creation: releases the runtime (unless the failure is
// ending the process from inside it), stores half the heap setting and
// asks for a restart; or, where half is below the floor or cannot be
// stored, ends the chain with the notice.
RunResult halveHeap(platform::System& system, VmHost* host, const char* settingPath, int32_t heap, jint created,
                    bool releaseRuntime) {
    host->creationResult = created;
    heap /= 2;
    bool stored = storeHeapSetting(settingPath, heap);
    if (releaseRuntime) closeVm(system, host);
    // A restarted copy reads the setting again: unless it now holds the
    // halved value it would fail the same way, and restart again, without
    // end (each copy a new elevated process on Windows).
    if (heap < MIN_HEAP_MB || !stored) {
        notice(system, vmStartFailedNotice(created).c_str());
        return RUN_RUNTIME_FAILED;
    }
    return RESTART_REQUESTED;
}

}  // namespace

RunResult runJava(platform::System& system, VmHost* host, int32_t count, const char* const* strings) {
    RuntimeLocation location;
    if (!locateRuntime(system, location)) return RUN_RUNTIME_FAILED;
    int32_t heap = readHeapSetting(location.settingPath);
    CreateJavaVm create = loadRuntime(system, location, host);
    if (create == nullptr) return RUN_RUNTIME_FAILED;
    VmFolderOptions folders = prepareVmFolders(system, location.directory, runtimeBinDirectory());
    CreationInProgress creation = {&system, host, location.settingPath, heap};
    creationInProgress.store(&creation);
    jint created = createVm(create, host, heap, folders);
    // Whoever got here first, a hook has nothing more to do.
    if (creationInProgress.exchange(nullptr) == nullptr) return RUN_RUNTIME_FAILED;
    if (created < 0) return halveHeap(system, host, location.settingPath, heap, created, true);
    runningVmSystem.store(&system);

    jclass mainClass = defineBootstrapClass(host->env);
    if (mainClass == nullptr) {
        notice(system, NOTICE_NO_BOOTSTRAP_CLASS);
        closeVm(system, host);
        return RUN_NO_BOOTSTRAP_CLASS;
    }
    host->mainClass = mainClass;
    return callMain(system, host, count, strings);
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
