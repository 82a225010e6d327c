#include "hidlist/device_listing.h"

#include <cstdio>
#include <cstdlib>

#include "hidlist/device_path_record.h"

namespace hidlist {

namespace {

// Closes the set when the listing ends, however it ends.
class OpenSet {
public:
    explicit OpenSet(HidDeviceSource& source) : source_(source) {
        if (!source_.open()) {
            std::printf("SetupDiGetClassDevs fail\n");
            std::fflush(stdout);
        }
    }
    OpenSet(const OpenSet&) = delete;
    OpenSet& operator=(const OpenSet&) = delete;
    ~OpenSet() { source_.close(); }

private:
    HidDeviceSource& source_;
};

// One interface's detail record, freed when it goes out of scope.
class DetailRecord {
public:
    DetailRecord(DetailAllocator allocate, uint32_t size)
        : data_(size > 0 ? allocate(size) : nullptr) {}
    DetailRecord(const DetailRecord&) = delete;
    DetailRecord& operator=(const DetailRecord&) = delete;
    ~DetailRecord() { std::free(data_); }
    void* data() const { return data_; }

private:
    void* data_;
};

// Reads the selected interface's detail and writes its record. False when
// the detail cannot be read, or its record cannot be had at all.
bool listSelectedInterface(foundation::AccessOut& out, HidDeviceSource& source,
                           DetailAllocator allocate) {
    const uint32_t required = source.detailSize();
    DetailRecord record(allocate, required);
    const char* path = nullptr;
    size_t length = 0;
    if (record.data() == nullptr || !source.readDetail(record.data(), required, &path, &length)) {
        return false;
    }
    writeDevicePathRecord(out, path, length);
    return true;
}

}  // namespace

void listHidDevicePaths(foundation::AccessOut& out) {
    PlatformHidDeviceSource source;
    listHidDevicePaths(out, source, std::malloc);
}

void listHidDevicePaths(foundation::AccessOut& out, HidDeviceSource& source,
                        DetailAllocator allocate) {
    OpenSet set(source);
    for (uint32_t index = 0; source.selectInterface(index); ++index) {
        if (!listSelectedInterface(out, source, allocate)) {
            std::printf("SetupDiGetDeviceInterfaceDetail fail\n");
            std::printf("getDetasil %d fail\n", static_cast<int>(index));
            // The VM writes its own output past this buffer: keep the order.
            std::fflush(stdout);
        }
    }
}

}  // namespace hidlist
