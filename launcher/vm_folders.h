// The folders the VM is pinned to: where it looks for native libraries,
// where it and the libraries it runs keep temporary files, and where an
// out-of-memory error writes its heap dump and a crash its report. All lie
// in the installation, where only administrators can write, or in the
// machine's own library folders: the launcher runs elevated, and a folder a
// user can write to would let the user's own code or files into the process
// (or read the client's memory from a dump).
#pragma once

#include <string>

#include "launcher/install.h"
#include "platform/platform.h"

namespace launcher {

// The VM options that pin the folders, in this order: java.library.path
// (the launcher's folder, the runtime's bin folder, then the machine's
// library folders the runtime lists by default), java.io.tmpdir
// (TEMP_FOLDER_NAME), the heap dump path and the crash report file (both in
// HEAP_DUMP_FOLDER_NAME).
struct VmFolderOptions {
    std::string libraryPath;
    std::string temporaryFolder;
    std::string heapDumpPath;
    std::string errorFile;
};

// Creates the temporary and dump folders where missing (private to
// administrators; a link in their place is replaced by a folder), moves the
// crash reports left beside the launcher into the dump folder, keeps the
// newest DUMPS_KEPT of each kind of dump there, and returns the options.
// Each folder is given by its full path where the VM can read that in its
// options' encoding, else relative to the working directory, which is the
// launcher's directory for the life of the process. A folder that is still
// no real folder is given as one below the launcher's own file, where
// nothing can be made.
VmFolderOptions prepareVmFolders(platform::System& system, const Install& install);

// Removes the dumps of each kind (regular files, DUMP_KINDS) in directory
// but the newest keep. Returns how many were removed.
int pruneDumps(platform::System& system, const char* directory, int keep);

}  // namespace launcher
