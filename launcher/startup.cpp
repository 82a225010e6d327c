// The start-up sequence, one step at each line of launcherMain: the install
// found, the output log, the environment, the delay and stale instances,
// the runtime loaded, the working directory, the VM's folders, the VM (or
// the restart), the hand-off to the bootstrap class, and the end through
// the outcome table (outcome.h).
#include "launcher/launcher.h"

#include <cstdint>
#include <cstdio>
#include <optional>

#include "launcher/bootstrap_handoff.h"
#include "launcher/install.h"
#include "launcher/layout.h"
#include "launcher/messages.h"
#include "launcher/outcome.h"
#include "launcher/output_log.h"
#include "launcher/stale_instances.h"
#include "launcher/startup_internal.h"
#include "launcher/vm_folders.h"
#include "launcher/vm_host.h"

namespace launcher {

namespace {

bool isBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r'; }

}  // namespace

int32_t parseDelay(const char16_t* text) {
    if (text == nullptr) return 0;
    const char16_t* p = text;
    while (isBlank(*p)) ++p;
    bool negative = false;
    if (*p == u'+' || *p == u'-') {
        negative = *p == u'-';
        ++p;
    }
    int64_t value = 0;
    for (; *p >= u'0' && *p <= u'9'; ++p) {
        value = value * 10 + (*p - u'0');
        if (value > INT64_C(0x80000000)) value = INT64_C(0x80000000);  // saturated either way
    }
    if (negative) return value >= INT64_C(0x80000000) ? INT32_MIN : static_cast<int32_t>(-value);
    return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

int32_t startupDelay(platform::System& system, const std::vector<std::u16string>& arguments) {
    if (arguments.empty()) return 0;
    int32_t delay = parseDelay(arguments[0].c_str());
    if (delay <= 0) return 0;
    if (delay > MAX_DELAY_MS) delay = MAX_DELAY_MS;
    system.sleepMilliseconds(static_cast<uint32_t>(delay));
    return delay;
}

const char* const VM_OPTION_VARIABLES[2] = {"JAVA_TOOL_OPTIONS", "_JAVA_OPTIONS"};

namespace {

// The VM option variables removed from the environment, each that was set
// named on standard output.
void removeVmOptionVariables(platform::System& system) {
    for (const char* name : VM_OPTION_VARIABLES) {
        if (!system.removeEnvironmentVariable(name)) continue;
        char line[128];
        std::snprintf(line, sizeof line, OPTION_VARIABLE_REMOVED_LINE, name);
        system.writeOutput(line);
    }
}

// Shows the outcome's notice and ends as its row's ending says. Returns the
// exit code where the process is still running then (the caller ends it).
int endLaunch(platform::System& system, VmHost* host, Outcome outcome, const char* logPath) {
    int code = finishLaunch(system, outcome, host->creationResult, logPath);
    switch (outcomeRow(outcome).ending) {
        case Ending::VM_DESTROYED:
            closeVm(system, host);
            break;
        case Ending::THROUGH_VM:
            // Returns only where System.exit cannot be called. (The VM's exit
            // hook has the log writer finish first; see vm_host.cpp.)
            exitThroughVm(host, code);
            break;
        case Ending::NO_VM:
            break;
    }
    // What is still on its way to the log is written before the end.
    closeOutputLog(system);
    return code;
}

}  // namespace

int launcherMain(platform::System& system, const std::vector<std::u16string>& arguments) {
    // Where the launcher and everything beside it lie, found once.
    Install install;
    findInstall(system, install);

    // The output log first of all, while descriptors 1 and 2 are still free
    // when the program was started without them; then the environment.
    char logPath[FORMATTED_PATH_SIZE] = {0};
    bool logging = openOutputLog(system, install, logPath);
    removeVmOptionVariables(system);
    // Said where it can be read, and the start goes on: a folder an
    // administrator made by hand keeps working.
    reportWritableInstall(system, install);

    // Only a start that was asked to wait clears away the processes left
    // from an earlier run.
    if (startupDelay(system, arguments) > 0) killStaleInstances(system, install.directory);

    // The VM and the hand-off to the bootstrap class, which runs the client.
    // A step runs only while no earlier one has ended the start; the one
    // that did gives the outcome. The VM keeps nothing of host; it only has
    // to outlive the VM.
    VmHost host{};
    VmFolderOptions folders;
    std::optional<Outcome> outcome = findRuntime(install);
    if (!outcome) loadRuntime(system, install, &host);
    // From here on the launcher's directory is the working directory, whether
    // the runtime loaded or not: the Java side resolves "./cjars" against it,
    // and the VM's folders are named relative to it where the VM's options
    // cannot spell their full path.
    if (!outcome) system.setCurrentDirectory(install.directory);
    if (!outcome) outcome = findVmEntry(system, &host);
    if (!outcome) folders = prepareVmFolders(system, install);
    // The VM created, or where it cannot be, the restart with half the heap.
    if (!outcome) outcome = runJava(system, install, folders, &host);
    if (!outcome) outcome = handOffToBootstrap(host.env, &host.mainClass, LAUNCH_STRING_COUNT, LAUNCH_STRINGS);

    // The end, as the outcome's row has it: its notice, exit code and ending.
    return endLaunch(system, &host, *outcome, logging ? logPath : nullptr);
}

}  // namespace launcher
