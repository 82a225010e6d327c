#include "hidlist/device_path_records.h"

#include <cstdint>
#include <cstdio>

#include "hidlist/diagnostic_lines.h"

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

bool writeDevicePathRecord(foundation::AccessOut& out, const char* path, size_t length, std::string& diagnostics) {
    if (length > MAX_DEVICE_PATH_BYTES) {
        appendLine(diagnostics, PATH_TOO_LONG_FORMAT, static_cast<unsigned long>(length));
        return false;
    }
    out.writeShort(static_cast<int32_t>(length));
    // Laid over the caller's bytes, not a copy; the view never frees them.
    foundation::DataArray<char> bytes(const_cast<char*>(path), static_cast<int32_t>(length));
    out.write(&bytes);
    return true;
}

std::string writeDevicePathRecords(foundation::AccessOut& out, const platform::HidDeviceList& list) {
    std::string diagnostics;
    if (!list.opened) diagnostics += SET_NOT_OPENED_LINE;
    // Paths and failures each come in ascending index; merged, their lines
    // keep the enumeration's order.
    auto failed = list.failedIndices.begin();
    auto reportFailuresBefore = [&](uint64_t index) {
        for (; failed != list.failedIndices.end() && *failed < index; ++failed) {
            diagnostics += DETAIL_FAILED_LINE;
            appendLine(diagnostics, INTERFACE_SKIPPED_FORMAT, static_cast<int>(*failed));
        }
    };
    for (const platform::HidDevicePath& path : list.paths) {
        reportFailuresBefore(path.index);
        writeDevicePathRecord(out, path.path.data(), path.path.size(), diagnostics);
    }
    reportFailuresBefore(UINT64_MAX);
    return diagnostics;
}

}  // namespace hidlist
