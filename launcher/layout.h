// Where the launcher finds what it needs beside itself, and the sizes of
// its fixed path buffers. Everything lies directly in the launcher's
// directory:
//
//   jre7/                    RUNTIME_FOLDER, the Java runtime
//     bin/                   RUNTIME_BIN_FOLDER
//       jvm.set              HEAP_SETTING_NAME, the heap setting
//     RUNTIME_LIBRARY_PATH   the runtime library
//   cjars/                   PACKAGE_FOLDER, the client's packages (*.app)
//   Tavelin.log              OUTPUT_LOG_NAME, the output log (and ".1")
//   temp/                    TEMP_FOLDER_NAME, the VM's temporary folder
//   dumps/                   HEAP_DUMP_FOLDER_NAME, its heap dumps and
//                            crash reports
//
// The client keeps its own folders there too (Quenvil's private copies in
// tavelin::layout::LIBRARY_COPY_FOLDER, quenvil-copies/, made by the
// client); the launcher neither makes nor reads them.
//
// The names come from cmake/TavelinLayout.cmake (generated into
// tavelin/layout.h), the same list the installer, the dist layout and the
// benchmarks take theirs from: a folder renamed there is renamed for all.
#pragma once

#include <cstddef>

#include "tavelin/launch_strings.h"
#include "tavelin/layout.h"

namespace launcher {

// The Java runtime, its bin folder and the heap setting file in it,
// relative to the launcher's directory ('/' stands for the OS's separator
// where a path is made from them).
using tavelin::layout::RUNTIME_FOLDER;
using tavelin::layout::RUNTIME_BIN_FOLDER;
using tavelin::layout::HEAP_SETTING_NAME;

// The package folder (the first launch string names it, relative to the
// working directory, which is the launcher's).
constexpr const char* PACKAGE_FOLDER = tavelin::PACKAGE_FOLDER;

// The output log, where standard streams that lead nowhere go; a log
// beyond the limit becomes OUTPUT_LOG_NAME ".1".
using tavelin::layout::OUTPUT_LOG_NAME;

// The Java runtime library, relative to the launcher's directory (on
// Windows jre7\bin\client\jvm.dll, elsewhere jre7/lib/server/libjvm.so).
using tavelin::layout::RUNTIME_LIBRARY_PATH;

// Folders the launcher keeps directly beside itself, created at each start
// where missing, writable by administrators only (where the OS can say so):
// the VM's temporary folder (java.io.tmpdir), which libraries unpack their
// native parts into and load them from, and the folder of the heap dumps an
// out-of-memory error writes and of the crash reports (the VM's error log,
// a minidump), which hold the client's memory.
using tavelin::layout::TEMP_FOLDER_NAME;
using tavelin::layout::HEAP_DUMP_FOLDER_NAME;
// Dumps of each kind kept at a start (the newest ones); older ones are
// removed.
constexpr int DUMPS_KEPT = 2;
using tavelin::layout::HEAP_DUMP_SUFFIX;
// The VM's crash report: "hs_err_pid" and the process id, ".log" (the %p
// of the ErrorFile option stands for the id).
using tavelin::layout::CRASH_LOG_PREFIX;
using tavelin::layout::CRASH_LOG_SUFFIX;
// A minidump of a crash. Some runtimes write it to the working directory
// whatever the options say; found beside the launcher, it is moved into
// the dump folder at the next start, as a crash report the VM could not
// write there is.
using tavelin::layout::MINIDUMP_SUFFIX;

// The kinds of dumps: a file name's start and end.
struct DumpKind {
    const char* prefix;
    const char* suffix;
};
constexpr DumpKind DUMP_KINDS[] = {{"", HEAP_DUMP_SUFFIX}, {CRASH_LOG_PREFIX, CRASH_LOG_SUFFIX}, {"", MINIDUMP_SUFFIX}};
// Those the launcher moves from beside itself into the dump folder.
constexpr DumpKind CRASH_REPORT_KINDS[] = {{CRASH_LOG_PREFIX, CRASH_LOG_SUFFIX}, {"", MINIDUMP_SUFFIX}};

// Sizes of the launcher's fixed, zero-filled text buffers. Paths are UTF-8:
// a module path of up to 260 UTF-16 units (MAX_PATH) takes at most three
// bytes a unit. A path that does not fit is treated as unknown, never cut.
constexpr size_t MODULE_PATH_SIZE = 3 * 260;
constexpr size_t FORMATTED_PATH_SIZE = 1024;
constexpr size_t PROCESS_PATH_SIZE = 4096;
constexpr size_t PROCESS_PATH_REQUEST = 4090;

}  // namespace launcher
