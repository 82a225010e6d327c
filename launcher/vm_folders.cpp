// The folders the VM is pinned to, inside the installation.
#include "launcher/vm_folders.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "launcher/layout.h"

namespace launcher {
namespace {

std::string joined(const char* directory, const char* name) {
    return std::string(directory) + platform::PATH_SEPARATOR + name;
}

// The folder as the VM reads it in an option: the full path, or relative to
// the working directory where the options' encoding cannot spell it.
std::string forVm(platform::System& system, const std::string& path, const char* relative) {
    std::string text;
    return system.vmOptionPath(path.c_str(), text) ? text : std::string(relative);
}

bool endsWith(const std::string& text, const char* suffix) {
    size_t n = std::strlen(suffix);
    return text.size() > n && text.compare(text.size() - n, n, suffix) == 0;
}

}  // namespace

int pruneHeapDumps(platform::System& system, const char* directory, int keep) {
    std::vector<platform::DirectoryEntry> dumps;
    for (const auto& entry : system.listDirectory(directory)) {
        if (entry.regular && endsWith(entry.name, HEAP_DUMP_SUFFIX)) dumps.push_back(entry);
    }
    if (keep < 0) keep = 0;
    if (dumps.size() <= static_cast<size_t>(keep)) return 0;
    std::sort(dumps.begin(), dumps.end(), [](const platform::DirectoryEntry& a, const platform::DirectoryEntry& b) {
        return a.modified != b.modified ? a.modified > b.modified : a.name > b.name;
    });
    int removed = 0;
    for (size_t i = static_cast<size_t>(keep); i < dumps.size(); ++i) {
        if (system.removeFile(joined(directory, dumps[i].name.c_str()).c_str())) ++removed;
    }
    return removed;
}

VmFolderOptions prepareVmFolders(platform::System& system, const char* launcherDirectory,
                                 const char* runtimeBinDirectory) {
    const std::string temporary = joined(launcherDirectory, TEMP_FOLDER_NAME);
    const std::string dumps = joined(launcherDirectory, HEAP_DUMP_FOLDER_NAME);
    // Without them the options still stand: a missing folder fails what
    // would use it, where any other folder would hand the process to whoever
    // can write there.
    system.createPrivateDirectory(temporary.c_str());
    if (system.createPrivateDirectory(dumps.c_str())) pruneHeapDumps(system, dumps.c_str(), HEAP_DUMPS_KEPT);

    const std::string bin = joined(launcherDirectory, runtimeBinDirectory);
    VmFolderOptions options;
    options.libraryPath = "-Djava.library.path=" + forVm(system, launcherDirectory, ".") +
                          platform::PATH_LIST_SEPARATOR + forVm(system, bin, runtimeBinDirectory);
    options.temporaryFolder = "-Djava.io.tmpdir=" + forVm(system, temporary, TEMP_FOLDER_NAME);
    options.heapDumpPath = "-XX:HeapDumpPath=" + forVm(system, dumps, HEAP_DUMP_FOLDER_NAME);
    return options;
}

}  // namespace launcher
