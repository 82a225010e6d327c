// Entry sequence: delay, stale processes, the VM host, and the restart when
// the VM could not be created.
#include "launcher/startup.h"

#include <cstdint>
#include <cstdio>

#include "launcher/layout.h"
#include "launcher/messages.h"
#include "launcher/output_log.h"
#include "launcher/stale_instances.h"
#include "launcher/vm_host.h"

namespace launcher {

namespace {

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

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

int exitAfterFailedCreation(platform::System& system, const VmHost& host, int32_t result, const char* modulePath) {
    if (result != RESTART_REQUESTED) return EXIT_NO_VM;
    if (system.startCopyOfSelf(modulePath)) return EXIT_CLIENT_ENDED;
    // Nobody tries the halved setting: the end of the chain.
    system.messageBox(vmStartFailedNotice(host.creationResult).c_str(), NOTICE_CAPTION);
    return EXIT_NO_VM;
}

namespace {

// The notice of a run that ended without a running client, with a line
// naming the output log when there is one (the bootstrap class said why
// there).
void noticeNamingTheLog(platform::System& system, const char16_t* notice, const char* logPath) {
    std::u16string text = notice;
    if (logPath != nullptr) {
        std::vector<char16_t> path(static_cast<size_t>(FORMATTED_PATH_SIZE) + 1, u'\0');
        if (platform::utf8ToUtf16(logPath, path.data(), static_cast<int32_t>(path.size())) > 0) {
            text += u'\n';
            text += path.data();
        }
    }
    system.messageBox(text.c_str(), NOTICE_CAPTION);
}

// The exit code for what running Java came to, with the notice it needs.
int finishRun(platform::System& system, RunResult result, const VmHost& host, const char* modulePath,
              const char* logPath) {
    switch (result) {
    case RUN_MAIN_RETURNED:
        return EXIT_CLIENT_ENDED;
    case RESTART_REQUESTED:
        return exitAfterFailedCreation(system, host, RESTART_REQUESTED, modulePath);
    case RUN_NO_BOOTSTRAP_CLASS:
    case RUN_NO_MAIN:
        return EXIT_NO_BOOTSTRAP;
    case RUN_NO_CLIENT:
        noticeNamingTheLog(system, NOTICE_NO_CLIENT, logPath);
        return EXIT_NO_CLIENT;
    case RUN_START_FAILED:
        noticeNamingTheLog(system, NOTICE_START_FAILED, logPath);
        return EXIT_START_FAILED;
    case RUN_MAIN_THREW:
        return EXIT_MAIN_THREW;
    default:
        return EXIT_NO_VM;
    }
}

}  // namespace

int launcherMain(platform::System& system, const std::vector<std::u16string>& arguments) {
    // First of all, while descriptors 1 and 2 are still free when the
    // program was started without them.
    char logPath[FORMATTED_PATH_SIZE] = {0};
    bool logging = openOutputLog(system, logPath);
    for (const char* name : VM_OPTION_VARIABLES) {
        if (!system.removeEnvironmentVariable(name)) continue;
        char line[128];
        std::snprintf(line, sizeof line, OPTION_VARIABLE_REMOVED_LINE, name);
        system.writeOutput(line);
    }

    // Only a start that was asked to wait clears away the processes left
    // from an earlier run.
    if (startupDelay(system, arguments) > 0) killStaleInstances(system);
    char modulePath[MODULE_PATH_SIZE] = {0};
    system.ownModulePath(modulePath, sizeof modulePath);
    // The VM keeps nothing of this record; it only has to outlive the VM.
    VmHost host{};
    RunResult result = runJava(system, &host, LAUNCH_STRING_COUNT, LAUNCH_STRINGS);
    int code = finishRun(system, result, host, modulePath, logging ? logPath : nullptr);
    // The client's shutdown work (its hooks, files to delete on exit, the
    // last lines of its logs) runs only when the VM ends the process.
    // (The VM's exit hook has the log writer finish then; see vm_host.cpp.)
    exitThroughVm(&host, code);
    // What is still on its way to the log is written before the end.
    closeOutputLog(system);
    return code;
}

}  // namespace launcher
