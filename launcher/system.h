// The operating-system services the launcher uses, as one overridable
// object. Every operation forwards to platform/ by default; tests derive
// from it to stand in for what cannot happen on their machine (a refused
// process, a failed termination) and to watch what the launcher asks for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace launcher {

class LauncherSystem {
public:
    virtual ~LauncherSystem() = default;

    virtual bool ownModulePath(char* buffer, size_t size);
    virtual bool samePathText(const char* a, size_t aLength, const char* b, size_t bLength);
    virtual std::vector<std::string> protectedFolders();
    virtual void sleepMilliseconds(uint32_t milliseconds);
    virtual bool startCopyOfSelf(const char* modulePath);

    virtual uint32_t currentProcessId();
    virtual bool listProcesses(std::vector<uint32_t>& ids);
    virtual platform::ProcessHandle openProcess(uint32_t id);
    virtual bool processExecutablePath(platform::ProcessHandle process, char* buffer, size_t size);
    virtual bool terminateProcess(platform::ProcessHandle process);
    virtual void closeProcess(platform::ProcessHandle process);

    virtual void messageBox(const char16_t* text, const char16_t* caption);
    virtual bool setCurrentDirectory(const char* path);
    virtual bool addLibraryDirectory(const char* directory);
    virtual void* loadLibrary(const char* path);
    virtual void* findSymbol(void* library, const char* name);
    virtual void freeLibrary(void* library);

    // The launcher's standard-output lines.
    virtual void writeOutput(const char* text);

    // Standard streams, files and the environment.
    virtual unsigned unusableStandardStreams();
    virtual bool redirectStandardStreams(unsigned streams, const char* path);
    virtual int64_t fileSize(const char* path);
    virtual bool replaceFile(const char* from, const char* to);
    virtual void removeEnvironmentVariable(const char* name);
};

// The services of the machine the launcher runs on.
LauncherSystem& hostSystem();

}  // namespace launcher
