// How a start of the launcher ends: every outcome with its notice, the
// process's exit code and the way the process ends, in one table. Each step
// of the start-up sequence that ends the start reports an outcome;
// launcherMain shows its notice through finishLaunch, the one place that
// shows one, and ends as its row says. The help text and the exit-code
// table of docs/running-elevated.md are read from this table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "launcher/messages.h"
#include "platform/platform.h"

namespace launcher {

enum class Outcome : int32_t {
    CLIENT_ENDED,        // main returned after the client's start method returned
    COPY_TOOK_OVER,      // no VM; a fresh copy with half the heap was started
    RUNTIME_MISSING,     // the launcher's own folder unknown, or the runtime library missing or a stub
    RUNTIME_NOT_LOADED,  // the runtime library does not load
    NO_VM_ENTRY,         // the runtime library has no JNI_CreateJavaVM
    VM_NOT_STARTED,      // no VM, and no copy can try half the heap
    NO_BOOTSTRAP_CLASS,  // the VM refused the bootstrap class
    NO_MAIN,             // no main(String[]), or its launch strings could not be made
    NO_CLIENT,           // main returned; its last load cycle found no client class
    MAIN_THREW,          // main returned with a Java exception pending
    START_FAILED,        // the client class loaded; its start method was missing or threw
};

// What follows a notice's text on a line of its own, or directly.
enum class NoticeDetail {
    NONE,
    CREATION_RESULT,  // the decimal result of JNI_CreateJavaVM, directly after the text
    OUTPUT_LOG,       // a line with the output log's path, when it was written
};

// How the process ends once the notice is shown.
enum class Ending {
    // No VM runs (none was created, or it is released already): the entry
    // point ends the process with the exit code.
    NO_VM,
    // The VM ran nothing of the client, so there is no shutdown work to
    // run: it is destroyed and the runtime released, then the entry point
    // ends the process.
    VM_DESTROYED,
    // Through the VM's System.exit, so that the client's shutdown work runs
    // (its hooks, files to delete on exit, the last lines of its logs);
    // other Java threads are not waited for.
    THROUGH_VM,
};

struct OutcomeRow {
    Outcome outcome;
    // The launcher's own failures lie from 101 up, away from the small
    // numbers a client passes to System.exit, which reach the process
    // unchanged.
    int exitCode;
    const char16_t* notice;  // null: none (MAIN_THREW: the exception is on standard error)
    NoticeDetail detail;
    Ending ending;
    const char* meaning;  // in English, for the help text
};

inline constexpr OutcomeRow OUTCOMES[] = {
    {Outcome::CLIENT_ENDED, 0, nullptr, NoticeDetail::NONE, Ending::THROUGH_VM, "the client ran and ended"},
    {Outcome::COPY_TOOK_OVER, 0, nullptr, NoticeDetail::NONE, Ending::NO_VM,
     "the VM could not be created and a fresh copy with half the heap took over"},
    {Outcome::RUNTIME_MISSING, 101, NOTICE_RUNTIME_MISSING, NoticeDetail::NONE, Ending::NO_VM,
     "no VM: the runtime library is missing (or the launcher's own folder unknown)"},
    {Outcome::RUNTIME_NOT_LOADED, 101, NOTICE_RUNTIME_NOT_LOADED, NoticeDetail::NONE, Ending::NO_VM,
     "no VM: the runtime library does not load"},
    {Outcome::NO_VM_ENTRY, 101, NOTICE_NO_VM_ENTRY, NoticeDetail::NONE, Ending::NO_VM,
     "no VM: the runtime library has no JNI_CreateJavaVM"},
    {Outcome::VM_NOT_STARTED, 101, NOTICE_VM_NOT_STARTED, NoticeDetail::CREATION_RESULT, Ending::NO_VM,
     "no VM: the heap setting cannot be halved below 64 MB, the halved setting cannot be stored, "
     "or the fresh copy cannot be started"},
    {Outcome::NO_BOOTSTRAP_CLASS, 102, NOTICE_NO_BOOTSTRAP_CLASS, NoticeDetail::NONE, Ending::VM_DESTROYED,
     "the bootstrap class cannot be defined"},
    {Outcome::NO_MAIN, 102, NOTICE_NO_MAIN, NoticeDetail::NONE, Ending::THROUGH_VM,
     "the bootstrap class has no main to call"},
    {Outcome::NO_CLIENT, 103, NOTICE_NO_CLIENT, NoticeDetail::OUTPUT_LOG, Ending::THROUGH_VM,
     "the last load cycle found no client class"},
    {Outcome::MAIN_THREW, 104, nullptr, NoticeDetail::NONE, Ending::THROUGH_VM, "main left a Java exception"},
    {Outcome::START_FAILED, 105, NOTICE_START_FAILED, NoticeDetail::OUTPUT_LOG, Ending::THROUGH_VM,
     "the client's start method was missing, or it or its class's static initialiser threw"},
};

inline constexpr size_t OUTCOME_COUNT = sizeof OUTCOMES / sizeof OUTCOMES[0];

constexpr const OutcomeRow& outcomeRow(Outcome outcome) { return OUTCOMES[static_cast<size_t>(outcome)]; }

// The process's exit code for an outcome.
constexpr int exitCode(Outcome outcome) { return outcomeRow(outcome).exitCode; }

// The notice of an outcome as shown (empty for none): its text, then its
// detail (creationResult, or logPath where not null).
std::u16string outcomeNotice(Outcome outcome, int32_t creationResult, const char* logPath);

// Shows the outcome's notice, if it has one, and returns its exit code.
int finishLaunch(platform::System& system, Outcome outcome, int32_t creationResult, const char* logPath);

}  // namespace launcher
