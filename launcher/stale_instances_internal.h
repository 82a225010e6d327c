// The steps of ending stale processes (stale_instances.h), declared for
// their tests; the launcher calls killStaleInstances only.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace launcher {

extern const char SIBLING_NAME[];         // "Orvanta.exe"
extern const char SIBLING_SERVER_NAME[];  // "OrvantaServer.exe"

// False where "everything below the launcher's directory" would take in
// programs no installation owns: a volume root ("C:", or the empty text the
// POSIX root leaves), a share root (\\server\share, also spelt
// \\?\UNC\server\share), and the system's shared folders themselves
// (platform::System::protectedFolders: the Windows and Program Files
// folders, the users' own and public shell folders).
bool ownsDirectoryTree(platform::System& system, const char* directory);

// True for a volume or share root as findInstall leaves it (no
// trailing separator), and for the empty text.
bool isRootDirectory(const char* directory);

// Examines every process but the own one; returns how many matched.
int32_t findProcesses(platform::System& system, const char* directory, const char* firstName, const char* secondName,
                      bool terminate);

// What examining one process found.
enum class ProcessMatch {
    NONE,           // not opened, of another session, path unreadable, or neither in the tree nor a sibling
    MATCHED,        // matched; not to be terminated
    TERMINATED,     // matched, and its termination started
    NOT_TERMINATED  // matched, its termination refused (reported on standard output)
};

// Examines one process: opens it, passes it over unless it runs in the
// launcher's own session, reads its executable path, matches it
// against the directory tree and the two names and, when asked, starts its
// termination.
ProcessMatch matchProcess(platform::System& system, uint32_t id, const char* directory, const char* firstName,
                          const char* secondName, bool terminate);

// True when path names a file inside directory or below it: it begins with
// directory followed by a separator, compared by the OS's rule for names
// (platform::System::samePathText). An empty directory contains nothing.
bool isInsideDirectory(platform::System& system, const char* path, const char* directory);

// True when the file name of path (after its last separator) is name, by
// the OS's rule for names.
bool hasFileName(platform::System& system, const char* path, const char* name);

// True when text is strictly longer than suffix and ends with it (bytewise).
bool endsWith(const char* text, const char* suffix);

}  // namespace launcher
