// HID device interfaces on Windows: the device-setup (setupapi) view of the
// present interfaces of the HID interface class, read through its ANSI calls.
#include "platform/platform.h"

#include <windows.h>

#include <setupapi.h>

#include <cstddef>
#include <cstring>
#include <new>
#include <utility>

// The HID headers carry no C++ linkage guards.
extern "C" {
#include <hidsdi.h>
}

namespace platform {

namespace {

#if defined(_WIN32) && !defined(_WIN64)
// The sizes the 32-bit setup API checks cbSize against.
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 28, "32-bit interface record");
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 5, "32-bit fixed detail part");
#endif

// Destroys the device-information set when the listing ends, however it ends.
class DeviceInfoSet {
public:
    explicit DeviceInfoSet(HDEVINFO info) : info_(info) {}
    DeviceInfoSet(const DeviceInfoSet&) = delete;
    DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;
    ~DeviceInfoSet() {
        if (info_ != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(info_);
    }
    HDEVINFO get() const { return info_; }

private:
    HDEVINFO info_;
};

// Reads the detail record of the interface and takes the path out of it.
// False when the detail cannot be read or its record or the path cannot be
// had.
bool readDetail(HDEVINFO info, SP_DEVICE_INTERFACE_DATA* interfaceData, HidDevicePath* path) {
    DWORD required = 0;
    // Asked only for the size: this call "fails" with ERROR_INSUFFICIENT_BUFFER.
    SetupDiGetDeviceInterfaceDetailA(info, interfaceData, nullptr, 0, &required, nullptr);
    // A record smaller than the fixed part cannot even take cbSize.
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) return false;
    try {
        std::string record(required, '\0');
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(&record[0]);
        // cbSize is the size of the fixed part, not of the whole record.
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        if (!SetupDiGetDeviceInterfaceDetailA(info, interfaceData, detail, required, nullptr, nullptr)) {
            return false;
        }
        const size_t offset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
        path->path.assign(detail->DevicePath, strnlen(detail->DevicePath, required - offset));
        return true;
    } catch (const std::bad_alloc&) {
        return false;  // skipped like a failed read
    }
}

}  // namespace

HidDeviceList listHidDevices() {
    HidDeviceList list;
    GUID hidClass;
    HidD_GetHidGuid(&hidClass);
    DeviceInfoSet set(SetupDiGetClassDevsA(&hidClass, nullptr, nullptr,
                                           DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));  // 0x12
    if (set.get() == INVALID_HANDLE_VALUE) return list;
    list.opened = true;
    SP_DEVICE_INTERFACE_DATA interfaceData;
    for (DWORD index = 0;; ++index) {
        std::memset(&interfaceData, 0, sizeof interfaceData);
        // The API checks cbSize on every call, so it is set before each one.
        interfaceData.cbSize = sizeof(SP_DEVICE_INTERFACE_DATA);
        if (!SetupDiEnumDeviceInterfaces(set.get(), nullptr, &hidClass, index, &interfaceData)) break;
        HidDevicePath path;
        path.index = index;
        if (readDetail(set.get(), &interfaceData, &path)) {
            list.paths.push_back(std::move(path));
        } else {
            list.failedIndices.push_back(index);
        }
    }
    return list;
}

}  // namespace platform
