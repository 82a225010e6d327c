// The folders the VM is pinned to, inside the installation.
#include "launcher/vm_folders.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "launcher/layout.h"

namespace launcher {
namespace {

std::string joined(const std::string& directory, const char* name) {
    return directory + platform::PATH_SEPARATOR + name;
}

// The folder as the VM reads it in an option: the full path, or relative to
// the working directory where the options' encoding cannot spell it.
std::string forVm(platform::System& system, const std::string& path, const std::string& relative) {
    std::string text;
    return system.vmOptionPath(path.c_str(), text) ? text : relative;
}

bool isOfKind(const std::string& name, const DumpKind& kind) {
    size_t start = std::strlen(kind.prefix);
    size_t end = std::strlen(kind.suffix);
    return name.size() > start + end && name.compare(0, start, kind.prefix) == 0 &&
           name.compare(name.size() - end, end, kind.suffix) == 0;
}

// Removes the files of the kind in directory but the newest keep.
int pruneKind(platform::System& system, const char* directory, const std::vector<platform::DirectoryEntry>& entries,
              const DumpKind& kind, size_t keep) {
    std::vector<platform::DirectoryEntry> dumps;
    for (const auto& entry : entries) {
        if (entry.regular && isOfKind(entry.name, kind)) dumps.push_back(entry);
    }
    if (dumps.size() <= keep) return 0;
    std::sort(dumps.begin(), dumps.end(), [](const platform::DirectoryEntry& a, const platform::DirectoryEntry& b) {
        return a.modified != b.modified ? a.modified > b.modified : a.name > b.name;
    });
    int removed = 0;
    for (size_t i = keep; i < dumps.size(); ++i) {
        if (system.removeFile(joined(directory, dumps[i].name.c_str()).c_str())) ++removed;
    }
    return removed;
}

// Moves the crash reports in directory (regular files only: a link stays
// where it is) into the dump folder.
void collectCrashReports(platform::System& system, const char* directory, const std::string& dumps) {
    for (const auto& entry : system.listDirectory(directory)) {
        if (!entry.regular) continue;
        for (const DumpKind& kind : CRASH_REPORT_KINDS) {
            if (!isOfKind(entry.name, kind)) continue;
            system.replaceFile(joined(directory, entry.name.c_str()).c_str(), joined(dumps, entry.name.c_str()).c_str());
            break;
        }
    }
}

}  // namespace

int pruneDumps(platform::System& system, const char* directory, int keep) {
    const std::vector<platform::DirectoryEntry> entries = system.listDirectory(directory);
    int removed = 0;
    for (const DumpKind& kind : DUMP_KINDS) {
        removed += pruneKind(system, directory, entries, kind, keep < 0 ? 0 : static_cast<size_t>(keep));
    }
    return removed;
}

VmFolderOptions prepareVmFolders(platform::System& system, const Install& install) {
    const std::string directory = install.directory;
    const std::string temporary = joined(directory, TEMP_FOLDER_NAME);
    const std::string dumps = joined(directory, HEAP_DUMP_FOLDER_NAME);
    // A folder that cannot be had (something else stands there) is given
    // as one below the launcher's own file, where nothing can be made: a
    // missing folder fails what would use it, where any other folder would
    // hand the process to whoever can write there.
    const bool temporaryReal = system.createPrivateDirectory(temporary.c_str());
    const bool dumpsReal = system.createPrivateDirectory(dumps.c_str());
    if (dumpsReal) {
        collectCrashReports(system, install.directory, dumps);
        pruneDumps(system, dumps.c_str(), DUMPS_KEPT);
    }
    // The launcher's own file name: its folder and a separator come before.
    const char* moduleName = install.modulePath + std::strlen(install.directory) + 1;
    auto pinned = [&](bool real, const std::string& folder, const char* name, const std::string& file) {
        std::string path = real ? folder : joined(install.modulePath, name);
        std::string relative = real ? std::string(name) : joined(moduleName, name);
        if (!file.empty()) {
            path = joined(path, file.c_str());
            relative = joined(relative, file.c_str());
        }
        return forVm(system, path, relative);
    };
    VmFolderOptions options;
    options.temporaryFolder = "-Djava.io.tmpdir=" + pinned(temporaryReal, temporary, TEMP_FOLDER_NAME, "");
    options.heapDumpPath = "-XX:HeapDumpPath=" + pinned(dumpsReal, dumps, HEAP_DUMP_FOLDER_NAME, "");
    const std::string crashLog = std::string(CRASH_LOG_PREFIX) + "%p" + CRASH_LOG_SUFFIX;
    options.errorFile = "-XX:ErrorFile=" + pinned(dumpsReal, dumps, HEAP_DUMP_FOLDER_NAME, crashLog);

    // The installation's folders first; then the machine's own library
    // folders, which the runtime would list by default and only
    // administrators can change (libraries of device and printer kits lie
    // there). Never PATH, the working directory or a user's folder.
    const std::string bin = joined(directory, runtimeBinDirectory());
    options.libraryPath = "-Djava.library.path=" + forVm(system, directory, ".") + platform::PATH_LIST_SEPARATOR +
                          forVm(system, bin, runtimeBinDirectory());
    for (const std::string& folder : system.systemLibraryFolders()) {
        std::string text;
        if (system.vmOptionPath(folder.c_str(), text) && !text.empty()) {
            options.libraryPath += platform::PATH_LIST_SEPARATOR + text;
        }
    }
    return options;
}

}  // namespace launcher
