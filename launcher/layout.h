// Where the launcher finds what it needs beside itself, and the sizes of
// its fixed path buffers.
#pragma once

#include <cstddef>

namespace launcher {

// The Java runtime library, relative to the launcher's directory.
#ifdef _WIN32
constexpr char RUNTIME_LIBRARY_PATH[] = "jre7\\bin\\client\\jvm.dll";
#else
constexpr char RUNTIME_LIBRARY_PATH[] = "jre7/lib/server/libjvm.so";
#endif

// Folders the launcher keeps directly beside itself, created at each start
// where missing, writable by administrators only (where the OS can say so):
// the VM's temporary folder (java.io.tmpdir), which libraries unpack their
// native parts into and load them from, and the folder of the heap dumps an
// out-of-memory error writes, which hold the client's memory.
constexpr char TEMP_FOLDER_NAME[] = "temp";
constexpr char HEAP_DUMP_FOLDER_NAME[] = "dumps";
// Heap dumps kept at a start (the newest ones); older ones are removed.
constexpr int HEAP_DUMPS_KEPT = 2;
constexpr char HEAP_DUMP_SUFFIX[] = ".hprof";

// Sizes of the launcher's fixed, zero-filled text buffers. Paths are UTF-8:
// a module path of up to 260 UTF-16 units (MAX_PATH) takes at most three
// bytes a unit. A path that does not fit is treated as unknown, never cut.
constexpr size_t MODULE_PATH_SIZE = 3 * 260;
constexpr size_t FORMATTED_PATH_SIZE = 1024;
constexpr size_t PROCESS_PATH_SIZE = 4096;
constexpr size_t PROCESS_PATH_REQUEST = 4090;

}  // namespace launcher
