#include "hidlist/device_source.h"

namespace hidlist {

PlatformHidDeviceSource::~PlatformHidDeviceSource() { close(); }

bool PlatformHidDeviceSource::open() {
    close();
    set_ = platform::hidOpenDeviceSet();
    return set_ != nullptr;
}

bool PlatformHidDeviceSource::selectInterface(uint32_t index) {
    return platform::hidSelectInterface(set_, index);
}

uint32_t PlatformHidDeviceSource::detailSize() { return platform::hidDetailSize(set_); }

bool PlatformHidDeviceSource::readDetail(void* record, uint32_t size, const char** path,
                                         size_t* length) {
    return platform::hidReadDetail(set_, record, size, path, length);
}

void PlatformHidDeviceSource::close() {
    platform::hidDestroyDeviceSet(set_);
    set_ = nullptr;
}

}  // namespace hidlist
