// Tavelin: the launcher that hosts the Java client in its own process.
//
// Start-up: an optional delay (then stale processes are ended), the Java VM
// created from the runtime beside the launcher with a heap sized by
// jre7/bin/jvm.set, the bootstrap class defined from the launcher's own
// data and its main called with the six launch strings. A VM that cannot
// be created halves the heap setting and restarts the launcher. Every
// operation takes the OS through a platform::System.
#pragma once

#include <jni.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "foundation/arrays.h"
#include "foundation/strings.h"
#include "platform/platform.h"

namespace launcher {

// The Java runtime library, relative to the launcher's directory.
#ifdef _WIN32
constexpr char RUNTIME_LIBRARY_PATH[] = "jre7\\bin\\client\\jvm.dll";
#else
constexpr char RUNTIME_LIBRARY_PATH[] = "jre7/lib/server/libjvm.so";
#endif

// Sizes of the launcher's fixed, zero-filled text buffers. Paths are UTF-8:
// a module path of up to 260 UTF-16 units (MAX_PATH) takes at most three
// bytes a unit. A path that does not fit is treated as unknown, never cut.
constexpr size_t MODULE_PATH_SIZE = 3 * 260;
constexpr size_t FORMATTED_PATH_SIZE = 1024;
constexpr size_t PROCESS_PATH_SIZE = 4096;
constexpr size_t PROCESS_PATH_REQUEST = 4090;

// The caption of every notice.
extern const char16_t NOTICE_CAPTION[];

// ---- Start-up and restart -------------------------------------------------

constexpr int32_t MAX_DELAY_MS = 10000;
constexpr int32_t RESTART_REQUESTED = 999;

// The six launch strings handed to the bootstrap class, in order.
constexpr int32_t LAUNCH_STRING_COUNT = 6;
extern const char* const LAUNCH_STRINGS[LAUNCH_STRING_COUNT];

// A decimal number read the way _wtol reads it: leading white space, an
// optional sign, digits up to the first other character; no digits give 0;
// values beyond the 32-bit range saturate.
int32_t parseDelay(const char16_t* text);

// Waits min(first argument, 10000) ms when the first argument is a positive
// number, and then ends stale processes. Returns the wait (0 for none).
int32_t startupDelay(platform::System& system, const std::vector<std::u16string>& arguments);

// Exit codes of the launcher. Every code but 0 comes with a notice, or
// (EXIT_MAIN_THREW) with the exception on standard error.
constexpr int EXIT_CLIENT_ENDED = 0;     // the client ran and ended, or a fresh copy took over
constexpr int EXIT_NO_VM = 1;            // no runtime, no VM, and no copy to try again
constexpr int EXIT_NO_BOOTSTRAP = 2;     // the bootstrap class or its main could not be had
constexpr int EXIT_NO_CLIENT = 3;        // main returned without ever loading a client
constexpr int EXIT_MAIN_THREW = 4;       // main left a Java exception

// The environment variables a Java VM reads its options from at creation.
// They never reach the launcher's VM: whoever could set them (any user,
// for an elevated launcher) could replace the client or load an agent.
extern const char* const VM_OPTION_VARIABLES[2];

// The whole start-up sequence. Returns the process's exit code; the caller
// ends the process with it at once.
int launcherMain(platform::System& system, const std::vector<std::u16string>& arguments);

// ---- Output log -------------------------------------------------------------

extern const char OUTPUT_LOG_NAME[];          // "Tavelin.log"
constexpr int64_t OUTPUT_LOG_LIMIT = 1 << 20;  // larger, it moves to "Tavelin.log.1"

// Sends the standard streams that lead nowhere (a GUI start) to
// Tavelin.log beside the launcher, appended; a log larger than the limit
// is first moved to Tavelin.log.1. True, with the log's path in logPath,
// when a stream now goes there; false (empty logPath) otherwise.
bool openOutputLog(platform::System& system, char (&logPath)[FORMATTED_PATH_SIZE]);

// ---- Stale-instance termination --------------------------------------------

extern const char SIBLING_NAME[];         // "Orvanta.exe"
extern const char SIBLING_SERVER_NAME[];  // "OrvantaServer.exe"

// The launcher's directory: its own path cut at the last separator, with no
// trailing separator. False (empty buffer) when the path cannot be had.
bool launcherDirectory(platform::System& system, char (&directory)[MODULE_PATH_SIZE]);

// Ends every other process that runs from the launcher's directory tree or
// is one of the two sibling programs. Returns how many matched. The tree
// counts only where the launcher's directory is its own (ownsDirectoryTree).
int32_t killStaleInstances(platform::System& system);

// False where "everything below the launcher's directory" would take in
// programs no installation owns: a volume root ("C:", or the empty text the
// POSIX root leaves), a share root (\\server\share, also spelt
// \\?\UNC\server\share), and the Windows and Program Files folders
// themselves.
bool ownsDirectoryTree(platform::System& system, const char* directory);

// True for a volume or share root as launcherDirectory leaves it (no
// trailing separator), and for the empty text.
bool isRootDirectory(const char* directory);

// Examines every process but the own one; returns how many matched.
int32_t findProcesses(platform::System& system, const char* directory, const char* firstName,
                      const char* secondName, bool terminate);

// Examines one process; returns pathBuffer (PROCESS_PATH_SIZE bytes), which
// then holds its executable path (empty when it could not be read).
char* matchProcess(platform::System& system, uint32_t id, char* pathBuffer, const char* directory,
                   const char* firstName, const char* secondName, bool terminate, int32_t& count);

// True when path names a file inside directory or below it: it begins with
// directory followed by a separator, compared by the OS's rule for names
// (platform::System::samePathText). An empty directory contains nothing.
bool isInsideDirectory(platform::System& system, const char* path, const char* directory);

// True when the file name of path (after its last separator) is name, by
// the OS's rule for names.
bool hasFileName(platform::System& system, const char* path, const char* name);

// True when text is strictly longer than suffix and ends with it (bytewise).
bool endsWith(const char* text, const char* suffix);

// ---- Java VM host ------------------------------------------------------------

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

// Result codes of runJava besides RESTART_REQUESTED.
constexpr int32_t RUN_MAIN_RETURNED = 0;
constexpr int32_t RUN_RUNTIME_FAILED = 1;
constexpr int32_t RUN_NO_BOOTSTRAP_CLASS = -1;
constexpr int32_t RUN_NO_MAIN = -2;
constexpr int32_t RUN_NO_CLIENT = -3;    // main returned; no client class was ever loaded
constexpr int32_t RUN_MAIN_THREW = -4;   // main returned with a Java exception pending

// "启动虚拟机失败" and the creation result, the notice of a VM that cannot
// be had by halving the heap.
std::u16string vmStartFailedNotice(int32_t creationResult);

// The heap setting stored in a jvm.set file: 900 when it is missing or
// shorter than two bytes, else the first two bytes big-endian, clamped to
// 64..2048.
int32_t readHeapSetting(const char* path);

// Writes the heap setting (two bytes, most significant first) to the file
// at path, replacing it. True only when both bytes were written and read
// back as that value.
bool storeHeapSetting(const char* path, int32_t megabytes);

// Creates the VM and runs the bootstrap class's main; see the result codes.
int32_t runJava(platform::System& system, VmHost* host, int32_t count, const char* const* strings);

// Destroys the VM and releases the runtime library, each once.
void closeVm(platform::System& system, VmHost* host);

// Writes all bytes and closes the file in every case. 0 when all were
// written, 1 otherwise.
int32_t writeAll(int32_t count, const char* bytes, FILE* file);

// ---- Bootstrap hand-off ------------------------------------------------------

// The embedded class text (padded base64 of one gzip member) and its length.
extern const char BOOTSTRAP_CLASS_TEXT[];
extern const int32_t BOOTSTRAP_CLASS_TEXT_LENGTH;
extern const char BOOTSTRAP_CLASS_NAME[];  // "com/mirl/runbed/Main"

// Defines the bootstrap class from the embedded text with no class loader;
// null when the text does not inflate or the VM refuses the class.
jclass defineBootstrapClass(JNIEnv* env);

// Decodes n characters of standard base64: every character outside the
// alphabet (padding included) counts as 0, trailing "=" shorten the output.
// Null when n < 1 or the text leaves no room for its padding.
foundation::DataArray<char>* decodeBase64(const char* text, int32_t n);

// Inflates a gzip member or a zlib stream (the header tells which). Null
// when the data is corrupt or ends before the stream does.
foundation::DataArray<char>* gunzipBytes(foundation::DataArray<char>* input, int32_t length);

// A new String[] holding the count strings; null, with the VM's exception
// pending, when it cannot be made whole.
jobjectArray makeStringArray(JNIEnv* env, int32_t count, const char* const* strings);

// Calls the static main(String[]) of host->mainClass. RUN_NO_MAIN (with a
// notice) when there is no such method or its arguments cannot be made.
// Once it returned, an exception it left is printed on standard error;
// then RUN_NO_CLIENT when the class's getAppInstance() is null (no client
// was ever loaded), RUN_MAIN_THREW when there was an exception, else
// RUN_MAIN_RETURNED.
int32_t callMain(platform::System& system, VmHost* host, int32_t count, const char* const* strings);

// ---- Native binding ------------------------------------------------------------

// The native method "onAction" (ILjava/lang/String;)V. The delivered system
// registers it nowhere; a host that declares the method can.
void JNICALL onAction(JNIEnv* env, jobject receiver, jint action, jstring text);
// Takes no action.
void handleAction(jint action, foundation::String* text);
// The one-entry binding table for RegisterNatives.
extern const JNINativeMethod ACTION_BINDING[1];

}  // namespace launcher
