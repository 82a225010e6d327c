// HID device interfaces on Windows: the device-setup (setupapi) view of the
// present interfaces of the HID interface class, read through its ANSI calls.
#include "platform/platform.h"

#include <windows.h>

#include <setupapi.h>

#include <cstddef>
#include <cstring>
#include <new>

// The HID headers carry no C++ linkage guards.
extern "C" {
#include <hidsdi.h>
}

namespace platform {

struct HidDeviceSet {
    HDEVINFO info;
    GUID hidClass;
    SP_DEVICE_INTERFACE_DATA selected;
};

#if defined(_WIN32) && !defined(_WIN64)
// The sizes the 32-bit setup API checks cbSize against.
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 28, "32-bit interface record");
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 5, "32-bit fixed detail part");
#endif

HidDeviceSet* hidOpenDeviceSet() {
    GUID hidClass;
    HidD_GetHidGuid(&hidClass);
    HDEVINFO info = SetupDiGetClassDevsA(&hidClass, nullptr, nullptr,
                                         DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);  // 0x12
    if (info == INVALID_HANDLE_VALUE) return nullptr;
    auto* set = new (std::nothrow) HidDeviceSet;
    if (set == nullptr) {
        SetupDiDestroyDeviceInfoList(info);
        return nullptr;
    }
    set->info = info;
    set->hidClass = hidClass;
    std::memset(&set->selected, 0, sizeof set->selected);
    return set;
}

bool hidSelectInterface(HidDeviceSet* set, uint32_t index) {
    if (set == nullptr) return false;
    // The API checks cbSize on every call, so it is set before each one.
    set->selected.cbSize = sizeof(SP_DEVICE_INTERFACE_DATA);
    return SetupDiEnumDeviceInterfaces(set->info, nullptr, &set->hidClass, index, &set->selected) !=
           FALSE;
}

uint32_t hidDetailSize(HidDeviceSet* set) {
    if (set == nullptr) return 0;
    DWORD required = 0;
    // Asked only for the size: this call "fails" with ERROR_INSUFFICIENT_BUFFER.
    SetupDiGetDeviceInterfaceDetailA(set->info, &set->selected, nullptr, 0, &required, nullptr);
    return required;
}

bool hidReadDetail(HidDeviceSet* set, void* record, uint32_t size, const char** path,
                   size_t* length) {
    // A record smaller than the fixed part cannot even take cbSize.
    if (set == nullptr || record == nullptr || size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
        return false;
    }
    auto* detail = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(record);
    // cbSize is the size of the fixed part, not of the whole record.
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set->info, &set->selected, detail, size, nullptr,
                                          nullptr)) {
        return false;
    }
    const size_t room = size - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    *path = detail->DevicePath;
    *length = strnlen(detail->DevicePath, room);
    return true;
}

void hidDestroyDeviceSet(HidDeviceSet* set) {
    if (set == nullptr) return;
    SetupDiDestroyDeviceInfoList(set->info);
    delete set;
}

}  // namespace platform
