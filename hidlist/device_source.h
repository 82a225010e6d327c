// Where the listing takes its HID device interfaces from: the few set
// operations it needs, in the order it calls them. The platform's device
// set is the real source; tests put a scripted one in its place.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace hidlist {

class HidDeviceSource {
public:
    virtual ~HidDeviceSource() = default;

    // Opens the set of present interfaces; false when it cannot be opened
    // (every later operation then finds nothing).
    virtual bool open() = 0;
    // Selects the interface at index; false at the end of the list or on
    // failure.
    virtual bool selectInterface(uint32_t index) = 0;
    // Bytes the detail record of the selected interface needs; 0 when the
    // query fails.
    virtual uint32_t detailSize() = 0;
    // Fills record (size bytes) with the selected interface's detail and
    // points *path at its device path of *length bytes inside record.
    virtual bool readDetail(void* record, uint32_t size, const char** path, size_t* length) = 0;
    // Closes the set (also one that failed to open).
    virtual void close() = 0;
};

// The machine's own HID device interfaces.
class PlatformHidDeviceSource : public HidDeviceSource {
public:
    PlatformHidDeviceSource() = default;
    PlatformHidDeviceSource(const PlatformHidDeviceSource&) = delete;
    PlatformHidDeviceSource& operator=(const PlatformHidDeviceSource&) = delete;
    ~PlatformHidDeviceSource() override;

    bool open() override;
    bool selectInterface(uint32_t index) override;
    uint32_t detailSize() override;
    bool readDetail(void* record, uint32_t size, const char** path, size_t* length) override;
    void close() override;

private:
    platform::HidDeviceSet* set_ = nullptr;
};

}  // namespace hidlist
