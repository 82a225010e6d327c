// The folders the VM is pinned to: where it looks for native libraries,
// where it and the libraries it runs keep temporary files, and where an
// out-of-memory error writes its heap dump. All lie in the installation,
// where only administrators can write: the launcher runs elevated, and a
// folder a user can write to would let the user's own code or files into
// the process (or read the client's memory from a dump).
#pragma once

#include <string>

#include "platform/platform.h"

namespace launcher {

// The VM options that pin the folders, in this order: java.library.path
// (the launcher's folder and the runtime's bin folder), java.io.tmpdir
// (TEMP_FOLDER_NAME) and the heap dump path (HEAP_DUMP_FOLDER_NAME).
struct VmFolderOptions {
    std::string libraryPath;
    std::string temporaryFolder;
    std::string heapDumpPath;
};

// Creates the temporary and heap-dump folders where missing (private to
// administrators), removes all but the newest HEAP_DUMPS_KEPT heap dumps,
// and returns the options. Each folder is given by its full path where the
// VM can read that in its options' encoding, else relative to the working
// directory, which is the launcher's directory for the life of the process.
VmFolderOptions prepareVmFolders(platform::System& system, const char* launcherDirectory,
                                 const char* runtimeBinDirectory);

// Removes the heap dumps (regular files ending in HEAP_DUMP_SUFFIX) in
// directory but the newest keep. Returns how many were removed.
int pruneHeapDumps(platform::System& system, const char* directory, int keep);

}  // namespace launcher
