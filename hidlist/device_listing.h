// The enumeration behind the native method: one record per HID device
// interface whose path can be read, in enumeration order.
#pragma once

#include <cstddef>

#include "foundation/streams.h"
#include "hidlist/device_source.h"

namespace hidlist {

using DetailAllocator = void* (*)(size_t size);

// Lists the machine's HID device interfaces into out.
void listHidDevicePaths(foundation::AccessOut& out);

// Lists the interfaces of source into out. Interfaces whose detail cannot
// be read or allocated, and paths too long for a record, are left out with
// a line on standard output; the listing goes on with the next index. The
// set is closed and every detail record freed on every path, also when the
// stream throws (its Throwable* passes on to the caller).
void listHidDevicePaths(foundation::AccessOut& out, HidDeviceSource& source,
                        DetailAllocator allocate);

}  // namespace hidlist
