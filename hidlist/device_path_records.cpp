#include "hidlist/device_path_records.h"

#include <cstdint>
#include <cstdio>

namespace hidlist {

namespace {

// One printf-formatted line with one number.
template <typename Number>
void appendLine(std::string& diagnostics, const char* format, Number value) {
    char line[80];
    std::snprintf(line, sizeof line, format, value);
    diagnostics += line;
}

}  // namespace

bool writeDevicePathRecord(foundation::AccessOut& out, const char* path, size_t length,
                           std::string& diagnostics) {
    if (length > MAX_DEVICE_PATH_BYTES) {
        appendLine(diagnostics, "device path of %lu bytes too long, skipped\n",
                   static_cast<unsigned long>(length));
        return false;
    }
    static_cast<foundation::DataOutput&>(out).writeShort(static_cast<int32_t>(length));
    // Laid over the list's bytes, not a copy; the view never frees them.
    foundation::DataArray<char> bytes(const_cast<char*>(path), static_cast<int32_t>(length));
    static_cast<foundation::OutputStream&>(out).write(&bytes);
    return true;
}

std::string writeDevicePathRecords(foundation::AccessOut& out, const platform::HidDeviceList& list) {
    std::string diagnostics;
    if (!list.opened) diagnostics += "SetupDiGetClassDevs fail\n";
    // Paths and failures each come in ascending index; merged, their lines
    // keep the enumeration's order.
    auto failed = list.failedIndices.begin();
    auto reportFailuresBefore = [&](uint64_t index) {
        for (; failed != list.failedIndices.end() && *failed < index; ++failed) {
            diagnostics += "SetupDiGetDeviceInterfaceDetail fail\n";
            appendLine(diagnostics, "getDetasil %d fail\n", static_cast<int>(*failed));
        }
    };
    for (const platform::HidDevicePath& path : list.paths) {
        reportFailuresBefore(path.index);
        writeDevicePathRecord(out, path.data(), path.length, diagnostics);
    }
    reportFailuresBefore(UINT64_MAX);
    return diagnostics;
}

}  // namespace hidlist
