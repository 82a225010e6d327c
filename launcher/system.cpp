#include "launcher/system.h"

#include <cstdio>

namespace launcher {

bool LauncherSystem::ownModulePath(char* buffer, size_t size) {
    return platform::ownModulePath(buffer, size);
}

bool LauncherSystem::samePathText(const char* a, size_t aLength, const char* b, size_t bLength) {
    return platform::samePathText(a, aLength, b, bLength);
}

std::vector<std::string> LauncherSystem::protectedFolders() {
    return platform::protectedFolders();
}

void LauncherSystem::sleepMilliseconds(uint32_t milliseconds) {
    platform::sleepMilliseconds(milliseconds);
}

bool LauncherSystem::startCopyOfSelf(const char* modulePath) {
    return platform::startCopyOfSelf(modulePath);
}

uint32_t LauncherSystem::currentProcessId() {
    return platform::currentProcessId();
}

bool LauncherSystem::listProcesses(std::vector<uint32_t>& ids) {
    return platform::listProcesses(ids);
}

platform::ProcessHandle LauncherSystem::openProcess(uint32_t id) {
    return platform::openProcess(id);
}

bool LauncherSystem::processExecutablePath(platform::ProcessHandle process, char* buffer, size_t size) {
    return platform::processExecutablePath(process, buffer, size);
}

bool LauncherSystem::terminateProcess(platform::ProcessHandle process) {
    return platform::terminateProcess(process);
}

void LauncherSystem::closeProcess(platform::ProcessHandle process) {
    platform::closeProcess(process);
}

void LauncherSystem::messageBox(const char16_t* text, const char16_t* caption) {
    platform::messageBox(text, caption);
}

bool LauncherSystem::setCurrentDirectory(const char* path) {
    return platform::setCurrentDirectory(path);
}

bool LauncherSystem::addLibraryDirectory(const char* directory) {
    return platform::addLibraryDirectory(directory);
}

void* LauncherSystem::loadLibrary(const char* path) {
    return platform::loadLibrary(path);
}

void* LauncherSystem::findSymbol(void* library, const char* name) {
    return platform::findSymbol(library, name);
}

void LauncherSystem::freeLibrary(void* library) {
    platform::freeLibrary(library);
}

void LauncherSystem::writeOutput(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout);
}

unsigned LauncherSystem::unusableStandardStreams() {
    return platform::unusableStandardStreams();
}

bool LauncherSystem::redirectStandardStreams(unsigned streams, const char* path) {
    return platform::redirectStandardStreams(streams, path);
}

int64_t LauncherSystem::fileSize(const char* path) {
    return platform::fileSize(path);
}

bool LauncherSystem::replaceFile(const char* from, const char* to) {
    return platform::replaceFile(from, to);
}

void LauncherSystem::removeEnvironmentVariable(const char* name) {
    platform::removeEnvironmentVariable(name);
}

LauncherSystem& hostSystem() {
    static LauncherSystem system;
    return system;
}

}  // namespace launcher
