// What the system needs from the operating system, and nothing more.
//
// Everything above this header (foundation, launcher, HID listing) is
// platform-neutral; platform/win32 implements it with the Win32 API and
// platform/posix with POSIX, one file per section below. The functions here
// carry no system logic: they are thin wrappers so the logic above can be
// tested on Linux. The launcher's services are the virtual methods of one
// object, System, which its tests replace; the foundation and the HID
// listing call free functions.
//
// Text handed across this seam: paths are narrow UTF-8 text on every OS
// (Windows converts them to and from UTF-16 and calls only its wide
// functions, so any folder name works whatever the system code page); other
// narrow text is in the system ANSI code page, which on POSIX is UTF-8;
// UTF-16 text is char16_t.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace platform {

// ---------------------------------------------------------------------------
// Text, console, clock and locking, for the foundation library
// (platform/<os>/text_console.cpp)
// ---------------------------------------------------------------------------

// 8-bit to UTF-16 conversion in the manner of MultiByteToWideChar with no
// flags and a NUL-terminated source: the result counts the terminator. With
// outUnits 0 nothing is written and the units needed are returned; otherwise
// the text is converted into out and the units written are returned, or 0
// when out is too small. A null text gives 0. Byte sequences that are not
// valid in the code page become U+FFFD instead of failing.
int32_t acpToUtf16(const char* text, char16_t* out, int32_t outUnits);   // system ANSI code page
int32_t utf8ToUtf16(const char* text, char16_t* out, int32_t outUnits);  // UTF-8

// An OS mutex. createMutex returns null when none can be had; lockMutex
// waits without a time-out. Not recursive.
struct Mutex;
Mutex* createMutex();
void lockMutex(Mutex* mutex);
void unlockMutex(Mutex* mutex);
void destroyMutex(Mutex* mutex);

// The log's clock: seconds since 1970 times 1000 plus the milliseconds
// field of the current local time.
int64_t clockMillis();

// Writes NUL-terminated UTF-16 text to standard output in the console's
// encoding and flushes it.
void writeStdout(const char16_t* text);

// ---------------------------------------------------------------------------
// Paths (platform/<os>/files.cpp)
// ---------------------------------------------------------------------------

// Paths are narrow UTF-8 text on every OS (Windows converts them to UTF-16).

// Separator the OS puts between the directories of its own paths.
#ifdef _WIN32
constexpr char PATH_SEPARATOR = '\\';
#else
constexpr char PATH_SEPARATOR = '/';
#endif
// True for every character the OS accepts as a directory separator.
bool isPathSeparator(char c);

// Separator between the folders of a search list (java.library.path).
#ifdef _WIN32
constexpr char PATH_LIST_SEPARATOR = ';';
#else
constexpr char PATH_LIST_SEPARATOR = ':';
#endif

// One entry of a folder listing.
struct DirectoryEntry {
    std::string name;      // UTF-8
    int64_t modified = 0;  // last write, in an OS unit that orders the entries in time
    bool regular = false;  // a plain file (no folder, link, device or pipe)
};

// fopen for a UTF-8 path (the wide _wfopen on Windows); null on failure.
FILE* openFile(const char* path, const char* mode);

// The file at path opened for reading ("rb"), only where it is a regular
// file reached without a link, junction or other reparse point; a pipe or a
// device of that name is refused without waiting for it. Null otherwise.
FILE* openRegularFile(const char* path);

// Writes the bytes to a new file beside path and renames that over path, so
// that what stood there (a file, a link, a pipe) is replaced, never written
// through. False, with path as it was, where path is a folder, a device or a
// read-only file, or the bytes cannot all be written.
bool replaceWithNewFile(const char* path, const char* bytes, size_t size);

#ifdef _WIN32
// Takes the working directory and the PATH folders out of the search for
// every library the process loads from now on (where the system is too old
// for that, the working directory only). Called first thing at start-up.
void restrictLibrarySearch();

// Splits a command line into arguments by the OS's own rules
// (CommandLineToArgvW; platform/win32/processes.cpp).
std::vector<std::u16string> splitCommandLine(const char16_t* commandLine);
#endif

// The device that takes any output and keeps none.
#ifdef _WIN32
constexpr char NULL_DEVICE[] = "NUL";
#else
constexpr char NULL_DEVICE[] = "/dev/null";
#endif

// The standard streams, as bits of a set.
constexpr unsigned STANDARD_OUTPUT = 1;
constexpr unsigned STANDARD_ERROR = 2;

// A process handle is an opaque token from System::openProcess, given back
// with System::closeProcess.
using ProcessHandle = void*;

// ---------------------------------------------------------------------------
// The services the launcher takes from the OS, as one object
// ---------------------------------------------------------------------------

// Every method is the real OS call, implemented in platform/<os>/ in the
// file its group names. The launcher takes the object by reference, so
// tests derive from it to stand in for what cannot happen on their machine
// (a refused process, a failed termination) and to watch what is asked.
// A new OS call is one declaration here and one definition per OS.
class System {
public:
    virtual ~System() = default;

    // ---- Notices and output (platform/<os>/notices.cpp) ----
    //
    // messageBox is the class's first method defined out of line, so the
    // compiler puts the table of virtual methods in notices.cpp with it.
    // That table names every OS call of the launcher; only a program that
    // makes a System links it (and with it the process, shell and registry
    // code). Keep it first, and keep notices.cpp free of what the libraries
    // need.

    // A modal notice to the user with one OK button and no owner window. On
    // POSIX: one line "caption: text" on standard error.
    virtual void messageBox(const char16_t* text, const char16_t* caption);
    // Writes the narrow text to standard output and flushes it.
    virtual void writeOutput(const char* text);

    // ---- Processes (platform/<os>/processes.cpp) ----

    virtual void sleepMilliseconds(uint32_t milliseconds);
    // Starts a new process of the executable at modulePath with no arguments
    // (its command line is the quoted path alone) and does not wait for it.
    virtual bool startCopyOfSelf(const char* modulePath);
    virtual uint32_t currentProcessId();
    // A thread of the process running run(argument); null when none can be
    // started. waitForThread waits at most the milliseconds for it to end
    // and tells whether it did; the handle is released either way.
    virtual void* startThread(void (*run)(void*), void* argument);
    virtual bool waitForThread(void* thread, uint32_t milliseconds);
    // Ids of the running processes, appended to ids. False when the process
    // table cannot be read at all.
    virtual bool listProcesses(std::vector<uint32_t>& ids);
    // A handle with the rights to read the path and terminate (and only
    // those; never inherited by child processes), or null when the process
    // cannot be opened so (gone, or access refused). The handle stays bound
    // to the process it was opened for: once that ends, its id may be
    // reused, but nothing done through the handle reaches the newcomer. (On
    // Linux it holds a pidfd for that; a kernel without pidfds, before 5.3,
    // leaves only the id.)
    virtual ProcessHandle openProcess(uint32_t id);
    // The process's main executable path into buffer (NUL-terminated; empty
    // when it cannot be read). Returns false when it could not be read.
    virtual bool processExecutablePath(ProcessHandle process, char* buffer, size_t size);
    // Starts the forced termination of the process (exit code 0 on Windows,
    // SIGKILL on POSIX); does not wait. True when it was started.
    virtual bool terminateProcess(ProcessHandle process);
    virtual void closeProcess(ProcessHandle process);
    // True when the process runs in this process's own session: on Windows
    // the same session id (other users' on a terminal server, or after fast
    // user switching, have their own); on POSIX the same session, or, where
    // that cannot be read, the same user. False when it cannot be told.
    virtual bool inOwnSession(ProcessHandle process);

    // ---- Files, paths, libraries, the environment and the standard
    //      streams (platform/<os>/files.cpp) ----

    // The running executable's full path into buffer (NUL-terminated).
    // Returns false, with an empty buffer, when it cannot be read or does
    // not fit.
    virtual bool ownModulePath(char* buffer, size_t size);
    // True when the two texts (UTF-8, given by length) name the same file by
    // the OS's rule: case-insensitive on Windows (ordinal, as the file
    // system compares names), byte for byte on POSIX. Invalid UTF-8 never
    // matches anything but itself byte for byte.
    virtual bool samePathText(const char* a, size_t aLength, const char* b, size_t bLength);
    // Folders that hold many unrelated programs and that no installation
    // owns (full paths, no trailing separator): the Windows folder and the
    // Program Files folders themselves, and the shell folders where users
    // keep or receive files of every kind (the user's profile, Desktop,
    // Documents and Downloads, the public ones, ProgramData and the folder
    // of all profiles). On POSIX the user's home folder and its Desktop,
    // Documents, Downloads and Public.
    virtual std::vector<std::string> protectedFolders();
    // The folders of the machine's own libraries that a Java runtime lists
    // in its default java.library.path after its own, in its order: only
    // folders that administrators alone can change. Windows: the system
    // folder and the Windows folder. POSIX: the runtime's fixed list
    // (/usr/java/packages/lib, then on Debian and its kind the multiarch
    // and JNI folders, as Debian's OpenJDK has them, else /usr/lib64,
    // /lib64), ending with /lib and /usr/lib.
    virtual std::vector<std::string> systemLibraryFolders();
    // True when someone other than an administrator may change the file or
    // folder at path (for a folder: put files in it or take them out). On
    // Windows from its access list: an entry allowing any account but
    // Administrators, SYSTEM and TrustedInstaller to write, delete or change
    // the rights, or no list at all. On POSIX: writable by others, by a
    // group other than root's, or owned by another user than root or this
    // process's. False when it cannot be read.
    virtual bool writableByOthers(const char* path);
    virtual bool setCurrentDirectory(const char* path);

    // Shared library by full path; null on failure. On Windows the library's
    // dependencies are looked for beside it, in the folders
    // addLibraryDirectory named and in the system folders, never in the
    // working directory or the PATH folders (where the system is too old to
    // be told so: beside it first, then the usual order without the working
    // directory).
    virtual void* loadLibrary(const char* path);
    // Adds directory to the folders where libraries loaded later find their
    // dependencies, for the rest of the process. Nothing to do on POSIX,
    // where a library names its own folders.
    virtual bool addLibraryDirectory(const char* directory);
    // Exported symbol by name; null when absent.
    virtual void* findSymbol(void* library, const char* name);
    virtual void freeLibrary(void* library);

    // The standard streams that lead nowhere usable (STANDARD_OUTPUT,
    // STANDARD_ERROR): closed or read-only descriptors on POSIX; on Windows
    // no handle or an invalid one (a GUI program started from the desktop
    // has none).
    virtual unsigned unusableStandardStreams();
    // Points the given standard streams at the file at path, opened for
    // appending (created when missing): for the C runtime (descriptors 1
    // and 2 and stdout/stderr) and, on Windows, for the process's standard
    // handles, which a Java VM created later takes for System.out and
    // System.err. False, with nothing changed, when the file cannot be
    // opened.
    virtual bool redirectStandardStreams(unsigned streams, const char* path);
    // Creates the folder at path where it is missing, for files of the
    // process that no one but administrators may change: on Windows only
    // Administrators and SYSTEM have access (full control, nothing
    // inherited from above; an existing folder is given the same), on POSIX
    // only the owner. A link, junction or other reparse point at path is
    // removed first (never what it leads to) and the folder made in its
    // place. True when a real folder is there, false when something else
    // stays at path.
    virtual bool createPrivateDirectory(const char* path);
    // The path as a Java VM reads it in the text of an option (the ANSI
    // code page on Windows; on POSIX the bytes, which the VM reads in the
    // locale's encoding). False when that encoding cannot spell it.
    virtual bool vmOptionPath(const char* path, std::string& text);
    // The entries of the folder at path, in no order; empty when it cannot
    // be read.
    virtual std::vector<DirectoryEntry> listDirectory(const char* path);
    virtual bool removeFile(const char* path);
    // A pipe within the process: readEnd and writeEnd, neither inherited by
    // programs the process starts. False when none can be had.
    virtual bool createPipe(void*& readEnd, void*& writeEnd);
    // Reads what is there, waiting for at least one byte: how many were
    // read, 0 once every write end is closed, -1 on failure.
    virtual int64_t readPipe(void* readEnd, char* buffer, size_t size);
    // Points the given standard streams at the pipe's write end, as
    // redirectStandardStreams does at a file, and closes writeEnd itself.
    // The streams so redirected are not handed to programs the process
    // starts (they start without them, as the launcher did).
    virtual bool redirectStandardStreamsToPipe(unsigned streams, void* writeEnd);
    // The output log: opened for appending (created when missing) without
    // ever waiting (a pipe of that name would wait for a reader), and only
    // as a regular file with no other name, reached without a link,
    // junction or other reparse point; null otherwise.
    virtual void* openLogFile(const char* path);
    // Appends the bytes, in one write where they are at most 64 KB (which
    // other processes appending to the same file never cut into); returns
    // the file's size afterwards, -1 on failure.
    virtual int64_t appendLogFile(void* file, const char* data, size_t size);
    // True when path names the open file itself (not one made in its place
    // since it was opened).
    virtual bool isOpenFileAt(void* file, const char* path);
    // A lock on the open file among all processes that have it open: waits
    // for it. Writes go on meanwhile.
    virtual void lockLogFile(void* file);
    virtual void unlockLogFile(void* file);
    virtual void closeLogFile(void* file);
    // True when something other than a regular file (a folder, a pipe, a
    // device) is at path.
    virtual bool isSpecialFile(const char* path);
    // Size in bytes of the file at path; -1 when it cannot be had.
    virtual int64_t fileSize(const char* path);
    // Renames the file from to to, replacing a file of that name.
    virtual bool replaceFile(const char* from, const char* to);
    // Removes a variable from the process's environment: on Windows from
    // the process environment block and from the C runtime's copy. True
    // when it was set (if only to an empty value).
    virtual bool removeEnvironmentVariable(const char* name);
};

// ---------------------------------------------------------------------------
// HID device interfaces, for the HID listing library
// (platform/<os>/hid_devices.cpp)
// ---------------------------------------------------------------------------

// One HID device interface whose path could be read.
struct HidDevicePath {
    uint32_t index = 0;  // the interface's place in the enumeration
    std::string path;    // the path bytes, without terminator
};

// The HID device interfaces present on the machine, in enumeration order.
// Windows: the present interfaces of the HID interface class from the
// device-setup services, paths in the system ANSI code page. POSIX: the
// device nodes of the hidraw class as sysfs lists them (sysfs root "/sys",
// or the directory named by the environment variable QUENVIL_SYSFS_ROOT),
// in natural name order (hidraw2 before hidraw10). A machine without the
// device class at all has an empty list, not a failure.
struct HidDeviceList {
    bool opened = false;                  // false: the set could not be opened at all
    std::vector<HidDevicePath> paths;     // ascending index
    std::vector<uint32_t> failedIndices;  // interfaces whose path could not be read, ascending
};

// Lists the interfaces. A path whose storage cannot be had is a failed
// index; may throw std::bad_alloc when the list itself cannot grow.
HidDeviceList listHidDevices();

}  // namespace platform
