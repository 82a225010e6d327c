// Scripted device lists in the platform's shape: a list of interfaces, each
// of which can be made to fail its read, and the bytes expected of them.
#pragma once

#include <string>
#include <vector>

#include "foundation/streams.h"
#include "hidlist/diagnostic_lines.h"
#include "platform/platform.h"

namespace hidlist::testing {

struct FakeInterface {
    std::string path;
    bool detailFails = false;
};

// The list the platform would give for these interfaces, in this order.
inline platform::HidDeviceList listOf(const std::vector<FakeInterface>& interfaces, bool opened = true) {
    platform::HidDeviceList list;
    list.opened = opened;
    for (uint32_t index = 0; index < interfaces.size(); ++index) {
        const FakeInterface& i = interfaces[index];
        if (i.detailFails) {
            list.failedIndices.push_back(index);
            continue;
        }
        platform::HidDevicePath path;
        path.index = index;
        path.path = i.path;
        list.paths.push_back(path);
    }
    return list;
}

// A path of exactly n bytes.
inline std::string pathOfLength(size_t n, char fill = 'p') {
    std::string path = "\\\\?\\hid#";
    path.resize(n, fill);
    return path.substr(0, n);
}

// The expected result bytes for a list of paths.
inline std::vector<unsigned char> recordsOf(const std::vector<std::string>& paths) {
    std::vector<unsigned char> bytes;
    for (const std::string& p : paths) {
        bytes.push_back(static_cast<unsigned char>(p.size() >> 8));
        bytes.push_back(static_cast<unsigned char>(p.size() & 0xFF));
        bytes.insert(bytes.end(), p.begin(), p.end());
    }
    return bytes;
}

inline std::vector<unsigned char> contentOf(const foundation::AccessOut& out) {
    const auto* data = reinterpret_cast<const unsigned char*>(out.buffer->data);
    return std::vector<unsigned char>(data, data + out.count);
}

// The two lines of the interface at index, left out because its path could
// not be read. The second is spelled out, not formatted from its constant:
// its exact text, misspelling included, is what this guards.
inline std::string skippedLines(int index) {
    return DETAIL_FAILED_LINE + ("getDetasil " + std::to_string(index) + " fail\n");
}

}  // namespace hidlist::testing
