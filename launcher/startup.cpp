// Entry sequence: delay, stale processes, the VM host, and the restart when
// the VM could not be created.
#include <cstdint>

#include "launcher/launcher.h"

namespace launcher {

const char16_t NOTICE_CAPTION[] = u"提示";

const char* const LAUNCH_STRINGS[LAUNCH_STRING_COUNT] = {
    "./cjars",                          // package directory
    ".app",                             // package file suffix
    "7305518826140943",                 // package key
    "com.qv.java.client.QvClientMain",  // client main class
    "startServer",                      // client start method
    "endServer",                        // client stop method
};

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

int32_t startupDelay(LauncherSystem& system, const std::vector<std::u16string>& arguments) {
    if (arguments.empty()) return 0;
    int32_t delay = parseDelay(arguments[0].c_str());
    if (delay <= 0) return 0;
    if (delay > MAX_DELAY_MS) delay = MAX_DELAY_MS;
    system.sleepMilliseconds(static_cast<uint32_t>(delay));
    killStaleInstances(system);
    return delay;
}

int launcherMain(LauncherSystem& system, const std::vector<std::u16string>& arguments) {
    startupDelay(system, arguments);
    char modulePath[MODULE_PATH_SIZE] = {0};
    system.ownModulePath(modulePath, sizeof modulePath);
    // The VM keeps nothing of this record; it only has to outlive runJava.
    VmHost host{};
    int32_t result = runJava(system, &host, LAUNCH_STRING_COUNT, LAUNCH_STRINGS);
    if (result == RESTART_REQUESTED) {
        // A failed start is not reported: the launcher ends either way.
        system.startCopyOfSelf(modulePath);
    }
    return 0;
}

}  // namespace launcher
