// A scripted device source: a list of interfaces, each of which can be made
// to fail its size query or its detail read, and a log of what was asked.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "foundation/errors.h"
#include "hidlist/device_source.h"

namespace hidlist::testing {

struct FakeInterface {
    std::string path;
    bool sizeFails = false;
    bool detailFails = false;
    bool throwsOnRead = false;  // stands in for a failure deeper down
};

class FakeDeviceSource : public HidDeviceSource {
public:
    explicit FakeDeviceSource(std::vector<FakeInterface> interfaces)
        : interfaces(std::move(interfaces)) {}

    bool open() override {
        return !openFails;
    }
    bool selectInterface(uint32_t index) override {
        if (index >= interfaces.size()) return false;
        selected = index;
        return true;
    }
    uint32_t detailSize() override {
        const FakeInterface& i = interfaces[selected];
        // Like the real record: a fixed part of 4 bytes, then the path and NUL.
        return i.sizeFails ? 0 : static_cast<uint32_t>(4 + i.path.size() + 1);
    }
    bool readDetail(void* record, uint32_t size, const char** path, size_t* length) override {
        const FakeInterface& i = interfaces[selected];
        if (i.throwsOnRead) throw new foundation::Throwable(foundation::OUT_OF_MEMORY);
        if (i.detailFails || size < 4 + i.path.size() + 1) return false;
        char* bytes = static_cast<char*>(record);
        std::memcpy(bytes + 4, i.path.c_str(), i.path.size() + 1);
        *path = bytes + 4;
        *length = i.path.size();
        return true;
    }
    void close() override { ++closes; }

    std::vector<FakeInterface> interfaces;
    uint32_t selected = 0;
    bool openFails = false;
    int closes = 0;
};

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

}  // namespace hidlist::testing

#include "foundation/streams.h"

namespace hidlist::testing {

inline std::vector<unsigned char> contentOf(const foundation::AccessOut& out) {
    const auto* data = reinterpret_cast<const unsigned char*>(out.buffer->data);
    return std::vector<unsigned char>(data, data + out.count);
}

}  // namespace hidlist::testing
