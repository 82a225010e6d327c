// A platform::System that records what the launcher asks of the OS and
// answers from a table the test sets up. Whatever a test does not set up
// goes to the real machine.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "launcher/messages.h"
#include "platform/platform.h"

namespace launcher_test {

class FakeSystem : public platform::System {
public:
    std::string modulePath = "/opt/shop/Tavelin";
    bool moduleReadable = true;
    // Names compared byte for byte (the POSIX rule), or as Windows compares
    // them (letter case ignored; ASCII is enough here), on either machine.
    bool ignoreCase = false;
    std::vector<std::string> systemFolders;
    std::vector<uint32_t> sleeps;
    std::vector<std::string> copiesStarted;

    // The process table: id -> executable path ("" = unreadable).
    bool tableReadable = true;
    uint32_t selfId = 1;
    std::map<uint32_t, std::string> processes;
    std::set<uint32_t> refused;
    std::set<uint32_t> unkillable;
    std::set<uint32_t> otherSession;
    std::vector<uint32_t> opened;
    std::vector<uint32_t> terminated;
    int openHandles = 0;
    int listCalls = 0;

    std::vector<std::u16string> notices;
    std::vector<std::string> directories;
    std::vector<std::string> librariesLoaded;
    std::vector<std::string> libraryDirectories;
    std::string output;

    // The runtime library: what loadLibrary and findSymbol hand back.
    bool libraryLoads = true;
    void* entryPoint = nullptr;
    int librariesFreed = 0;

    bool ownModulePath(char* buffer, size_t size) override {
        if (!moduleReadable || modulePath.size() >= size) {
            buffer[0] = '\0';
            return false;
        }
        std::memcpy(buffer, modulePath.c_str(), modulePath.size() + 1);
        return true;
    }
    bool samePathText(const char* a, size_t aLength, const char* b, size_t bLength) override {
        if (aLength != bLength) return false;
        if (!ignoreCase) return std::memcmp(a, b, aLength) == 0;
        for (size_t i = 0; i < aLength; ++i) {
            if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
                return false;
            }
        }
        return true;
    }
    std::vector<std::string> protectedFolders() override { return systemFolders; }
    void sleepMilliseconds(uint32_t milliseconds) override { sleeps.push_back(milliseconds); }
    bool copiesStart = true;
    bool startCopyOfSelf(const char* path) override {
        copiesStarted.emplace_back(path);
        return copiesStart;
    }

    uint32_t currentProcessId() override { return selfId; }
    bool listProcesses(std::vector<uint32_t>& ids) override {
        ++listCalls;
        if (!tableReadable) return false;
        for (const auto& entry : processes) ids.push_back(entry.first);
        return true;
    }
    platform::ProcessHandle openProcess(uint32_t id) override {
        opened.push_back(id);
        if (refused.count(id) != 0 || processes.count(id) == 0) return nullptr;
        ++openHandles;
        return reinterpret_cast<platform::ProcessHandle>(static_cast<uintptr_t>(id));
    }
    bool processExecutablePath(platform::ProcessHandle process, char* buffer, size_t size) override {
        const std::string& path = processes[idOf(process)];
        if (path.empty() || path.size() >= size) return false;
        std::memcpy(buffer, path.c_str(), path.size() + 1);
        return true;
    }
    bool terminateProcess(platform::ProcessHandle process) override {
        if (unkillable.count(idOf(process)) != 0) return false;
        terminated.push_back(idOf(process));
        return true;
    }
    void closeProcess(platform::ProcessHandle) override { --openHandles; }
    bool inOwnSession(platform::ProcessHandle process) override { return otherSession.count(idOf(process)) == 0; }

    // The machine's library folders, and the paths others than
    // administrators can change: none unless a test names them.
    std::vector<std::string> libraryFolders;
    std::set<std::string> writableByOthersPaths;
    std::vector<std::string> systemLibraryFolders() override { return libraryFolders; }
    bool writableByOthers(const char* path) override { return writableByOthersPaths.count(path) != 0; }

    void messageBox(const char16_t* text, const char16_t* caption) override {
        EXPECT_EQ(std::u16string(caption), launcher::NOTICE_CAPTION);
        notices.emplace_back(text);
    }
    bool setCurrentDirectory(const char* path) override {
        directories.emplace_back(path);
        return true;
    }
    bool addLibraryDirectory(const char* directory) override {
        libraryDirectories.emplace_back(directory);
        return true;
    }
    void* loadLibrary(const char* path) override {
        librariesLoaded.emplace_back(path);
        return libraryLoads ? this : nullptr;
    }
    void* findSymbol(void* library, const char* name) override {
        EXPECT_EQ(library, this);
        return std::strcmp(name, "JNI_CreateJavaVM") == 0 ? entryPoint : nullptr;
    }
    void freeLibrary(void* library) override {
        EXPECT_EQ(library, this);
        ++librariesFreed;
    }
    void writeOutput(const char* text) override { output += text; }

    // The standard streams of the test program itself are never touched.
    unsigned unusableStreams = 0;
    std::vector<std::pair<unsigned, std::string>> redirections;
    std::vector<std::string> variablesRemoved;
    unsigned unusableStandardStreams() override { return unusableStreams; }
    bool redirectStandardStreams(unsigned streams, const char* path) override {
        redirections.emplace_back(streams, path);
        return true;
    }
    // The variables that are set; every one asked for is recorded.
    std::set<std::string> variablesSet;
    bool removeEnvironmentVariable(const char* name) override {
        variablesRemoved.emplace_back(name);
        return variablesSet.erase(name) != 0;
    }

    // The log writer's pipe and thread: streams sent into the pipe are
    // recorded, and no thread runs (the log file itself is the machine's).
    std::vector<unsigned> pipeRedirections;
    int threadsStarted = 0;
    bool createPipe(void*& readEnd, void*& writeEnd) override {
        readEnd = &pipeRedirections;
        writeEnd = &pipeRedirections;
        return true;
    }
    void* startThread(void (*)(void*), void*) override {
        ++threadsStarted;
        return &threadsStarted;
    }
    bool waitForThread(void*, uint32_t) override { return true; }
    bool redirectStandardStreamsToPipe(unsigned streams, void*) override {
        pipeRedirections.push_back(streams);
        return true;
    }

private:
    static uint32_t idOf(platform::ProcessHandle process) {
        return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(process));
    }
};

}  // namespace launcher_test
