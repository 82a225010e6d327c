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

// Sizes of the launcher's fixed, zero-filled text buffers. Paths are UTF-8:
// a module path of up to 260 UTF-16 units (MAX_PATH) takes at most three
// bytes a unit. A path that does not fit is treated as unknown, never cut.
constexpr size_t MODULE_PATH_SIZE = 3 * 260;
constexpr size_t FORMATTED_PATH_SIZE = 1024;
constexpr size_t PROCESS_PATH_SIZE = 4096;
constexpr size_t PROCESS_PATH_REQUEST = 4090;

}  // namespace launcher
