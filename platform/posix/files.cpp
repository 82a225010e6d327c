// Files, paths, libraries, the environment and the standard streams on
// POSIX.
#include <dirent.h>
#include <dlfcn.h>
#include <langinfo.h>
#include <locale.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace platform {

bool isPathSeparator(char c) {
    return c == '/';
}

// The running program's own location.
bool System::ownModulePath(char* buffer, size_t size) {
    if (buffer == nullptr || size == 0) return false;
    buffer[0] = '\0';
    ssize_t n = readlink("/proc/self/exe", buffer, size);
    if (n <= 0 || static_cast<size_t>(n) >= size) {
        buffer[0] = '\0';
        return false;
    }
    buffer[n] = '\0';
    return true;
}

bool System::setCurrentDirectory(const char* path) {
    return path != nullptr && chdir(path) == 0;
}

// File names as POSIX file systems see them: byte strings, compared exactly.
bool System::samePathText(const char* a, size_t aLength, const char* b, size_t bLength) {
    if (a == nullptr || b == nullptr) return false;
    return aLength == bLength && std::memcmp(a, b, aLength) == 0;
}

std::vector<std::string> System::systemLibraryFolders() {
    // The Java runtime's own list; Debian's OpenJDK puts the multiarch and
    // JNI folders in place of /usr/lib64 and /lib64. The build names the
    // multiarch triplet where the compiler knows one (Debian and its kind).
#ifdef TAVELIN_MULTIARCH
    const std::string triplet = TAVELIN_MULTIARCH;
#else
    const std::string triplet;
#endif
    if (triplet.empty()) return {"/usr/java/packages/lib", "/usr/lib64", "/lib64", "/lib", "/usr/lib"};
    return {"/usr/java/packages/lib", "/usr/lib/" + triplet + "/jni", "/lib/" + triplet, "/usr/lib/" + triplet,
            "/usr/lib/jni", "/lib", "/usr/lib"};
}

bool System::writableByOthers(const char* path) {
    struct stat info;
    if (path == nullptr || stat(path, &info) != 0) return false;
    if ((info.st_mode & S_IWOTH) != 0) return true;
    if ((info.st_mode & S_IWGRP) != 0 && info.st_gid != 0) return true;
    return info.st_uid != 0 && info.st_uid != geteuid();
}

std::vector<std::string> System::protectedFolders() {
    // The account's own home, not $HOME, which the caller may set to
    // anything.
    std::vector<std::string> folders;
    const struct passwd* account = getpwuid(getuid());
    if (account == nullptr || account->pw_dir == nullptr || account->pw_dir[0] != '/') return folders;
    std::string home = account->pw_dir;
    while (home.size() > 1 && home.back() == '/') home.pop_back();
    if (home == "/") return folders;  // the root is no installation's anyway
    folders.push_back(home);
    for (const char* name : {"Desktop", "Documents", "Downloads", "Public"}) folders.push_back(home + "/" + name);
    return folders;
}

FILE* openFile(const char* path, const char* mode) {
    if (path == nullptr || path[0] == '\0' || mode == nullptr) return nullptr;
    return std::fopen(path, mode);
}

FILE* openRegularFile(const char* path) {
    struct stat info;
    // Looked at before it is opened: opening a device may do something.
    if (path == nullptr || lstat(path, &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
    // And as opened, in case another file took its place meanwhile.
    int fd = open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return nullptr;
    }
    fcntl(fd, F_SETFL, 0);
    FILE* file = fdopen(fd, "rb");
    if (file == nullptr) close(fd);
    return file;
}

bool replaceWithNewFile(const char* path, const char* bytes, size_t size) {
    if (path == nullptr || path[0] == '\0') return false;
    struct stat info;
    if (lstat(path, &info) == 0) {
        if (S_ISDIR(info.st_mode) || S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) return false;
        // A file its owner made read-only stays as it is.
        if (S_ISREG(info.st_mode) && faccessat(AT_FDCWD, path, W_OK, AT_EACCESS) != 0) return false;
    } else if (errno != ENOENT) {
        return false;
    }
    const std::string fresh = std::string(path) + ".new";
    unlink(fresh.c_str());  // what an interrupted replacement left, or a link put there
    int fd = open(fresh.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    bool written = done == size && fsync(fd) == 0;
    written = close(fd) == 0 && written;
    if (!written || rename(fresh.c_str(), path) != 0) {
        unlink(fresh.c_str());
        return false;
    }
    return true;
}

// Folders of the process's own, their listing, and removing files.
bool System::createPrivateDirectory(const char* path) {
    if (path == nullptr || path[0] == '\0') return false;
    if (mkdir(path, 0700) == 0) return true;
    struct stat info;
    if (errno != EEXIST || lstat(path, &info) != 0) return false;
    // A link in the folder's place goes, not what it leads to.
    if (S_ISLNK(info.st_mode)) return unlink(path) == 0 && mkdir(path, 0700) == 0;
    if (!S_ISDIR(info.st_mode)) return false;
    // One made before (or by hand) is given the same access, where it is ours.
    if (info.st_uid == geteuid() && (info.st_mode & 077) != 0) chmod(path, 0700);
    return true;
}

bool System::vmOptionPath(const char* path, std::string& text) {
    text.clear();
    if (path == nullptr) return false;
    bool ascii = true;
    for (const char* p = path; *p != '\0'; ++p) ascii = ascii && static_cast<unsigned char>(*p) < 0x80;
    if (!ascii) {
        // The VM decodes option texts in the encoding of the locale the
        // environment names.
        locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
        bool utf8 = locale != static_cast<locale_t>(0) && std::strcmp(nl_langinfo_l(CODESET, locale), "UTF-8") == 0;
        if (locale != static_cast<locale_t>(0)) freelocale(locale);
        if (!utf8) return false;
    }
    text = path;
    return true;
}

std::vector<DirectoryEntry> System::listDirectory(const char* path) {
    std::vector<DirectoryEntry> entries;
    DIR* dir = path != nullptr ? opendir(path) : nullptr;
    if (dir == nullptr) return entries;
    while (const struct dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        DirectoryEntry found;
        found.name = entry->d_name;
        struct stat info;
        if (fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0) {
            found.regular = S_ISREG(info.st_mode);
            found.modified = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
        }
        entries.push_back(found);
    }
    closedir(dir);
    return entries;
}

bool System::removeFile(const char* path) {
    return path != nullptr && unlink(path) == 0;
}

// File size and replacing rename.
int64_t System::fileSize(const char* path) {
    struct stat info;
    if (path == nullptr || stat(path, &info) != 0) return -1;
    return static_cast<int64_t>(info.st_size);
}

bool System::replaceFile(const char* from, const char* to) {
    return from != nullptr && to != nullptr && std::rename(from, to) == 0;
}

void* System::loadLibrary(const char* path) {
    if (path == nullptr) return nullptr;
    // Global, as the Java launcher itself loads the VM library.
    return dlopen(path, RTLD_NOW | RTLD_GLOBAL);
}

bool System::addLibraryDirectory(const char* directory) {
    // A shared library names its own folders (its run path); the loader is
    // not told any others.
    return directory != nullptr;
}

void* System::findSymbol(void* library, const char* name) {
    if (library == nullptr || name == nullptr) return nullptr;
    return dlsym(library, name);
}

void System::freeLibrary(void* library) {
    if (library != nullptr) dlclose(library);
}

bool System::removeEnvironmentVariable(const char* name) {
    if (name == nullptr) return false;
    bool wasSet = std::getenv(name) != nullptr;
    unsetenv(name);
    return wasSet;
}

// Standard output and error of a program started without them (closed, or
// open for reading only) sent to a file instead.
namespace {

bool usable(int fd) {
    int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && (flags & O_ACCMODE) != O_RDONLY;
}

}  // namespace

unsigned System::unusableStandardStreams() {
    unsigned streams = 0;
    if (!usable(STDOUT_FILENO)) streams |= STANDARD_OUTPUT;
    if (!usable(STDERR_FILENO)) streams |= STANDARD_ERROR;
    return streams;
}

bool System::redirectStandardStreams(unsigned streams, const char* path) {
    if (path == nullptr || streams == 0) return false;
    // With descriptor 1 or 2 closed the file may well get one of them.
    int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool kept = false;
    const int targets[2][2] = {{static_cast<int>(STANDARD_OUTPUT), STDOUT_FILENO},
                               {static_cast<int>(STANDARD_ERROR), STDERR_FILENO}};
    for (const auto& target : targets) {
        if ((streams & static_cast<unsigned>(target[0])) == 0) continue;
        if (target[1] == fd) {
            // Inherited by a restarted copy like any standard stream.
            fcntl(fd, F_SETFD, 0);
            kept = true;
        } else {
            std::fflush(target[1] == STDOUT_FILENO ? stdout : stderr);
            dup2(fd, target[1]);
        }
    }
    if (!kept) close(fd);
    return true;
}

// The output log's pipe and file.
namespace {

// With descriptors 1 and 2 closed a new descriptor may well be one of them,
// which the redirection is about to take: moved above them.
int aboveStandard(int fd) {
    if (fd < 0 || fd > STDERR_FILENO) return fd;
    int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    close(fd);
    return moved;
}

}  // namespace

bool System::createPipe(void*& readEnd, void*& writeEnd) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return false;
    ends[0] = aboveStandard(ends[0]);
    ends[1] = aboveStandard(ends[1]);
    if (ends[0] < 0 || ends[1] < 0) {
        if (ends[0] >= 0) close(ends[0]);
        if (ends[1] >= 0) close(ends[1]);
        return false;
    }
    readEnd = reinterpret_cast<void*>(static_cast<intptr_t>(ends[0]));
    writeEnd = reinterpret_cast<void*>(static_cast<intptr_t>(ends[1]));
    return true;
}

namespace {

int descriptor(void* handle) {
    return static_cast<int>(reinterpret_cast<intptr_t>(handle));
}

}  // namespace

int64_t System::readPipe(void* readEnd, char* buffer, size_t size) {
    for (;;) {
        ssize_t n = read(descriptor(readEnd), buffer, size);
        if (n >= 0) return n;
        if (errno != EINTR) return -1;
    }
}

bool System::redirectStandardStreamsToPipe(unsigned streams, void* writeEnd) {
    int fd = descriptor(writeEnd);
    const int targets[2][2] = {{static_cast<int>(STANDARD_OUTPUT), STDOUT_FILENO},
                               {static_cast<int>(STANDARD_ERROR), STDERR_FILENO}};
    for (const auto& target : targets) {
        if ((streams & static_cast<unsigned>(target[0])) == 0) continue;
        std::fflush(target[1] == STDOUT_FILENO ? stdout : stderr);
        // Closed on exec: a copy of the launcher starts without the stream,
        // as this one did, instead of writing into a pipe nobody reads once
        // this process has ended.
        if (dup3(fd, target[1], O_CLOEXEC) < 0) {
            close(fd);
            return false;
        }
    }
    close(fd);
    return true;
}

void* System::openLogFile(const char* path) {
    if (path == nullptr || path[0] == '\0') return nullptr;
    // Non-blocking: a pipe of that name fails to open without a reader
    // (and is refused below with one).
    // Never through a link; and a file with another name elsewhere (a hard
    // link) would take the log there.
    int fd = aboveStandard(
        open(path, O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (fd < 0) return nullptr;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1) {
        close(fd);
        return nullptr;
    }
    fcntl(fd, F_SETFL, O_APPEND);
    return reinterpret_cast<void*>(static_cast<intptr_t>(fd));
}

namespace {

int logDescriptor(void* file) {
    return static_cast<int>(reinterpret_cast<intptr_t>(file));
}

}  // namespace

int64_t System::appendLogFile(void* file, const char* data, size_t size) {
    int fd = logDescriptor(file);
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return -1;
        done += static_cast<size_t>(n);
    }
    struct stat info;
    return fstat(fd, &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

bool System::isOpenFileAt(void* file, const char* path) {
    struct stat open;
    struct stat named;
    return path != nullptr && fstat(logDescriptor(file), &open) == 0 && lstat(path, &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

void System::lockLogFile(void* file) {
    while (flock(logDescriptor(file), LOCK_EX) != 0 && errno == EINTR) {
    }
}

void System::unlockLogFile(void* file) {
    flock(logDescriptor(file), LOCK_UN);
}

void System::closeLogFile(void* file) {
    if (file != nullptr) close(logDescriptor(file));
}

bool System::isSpecialFile(const char* path) {
    struct stat info;
    return path != nullptr && lstat(path, &info) == 0 && !S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode);
}

}  // namespace platform
