// One record of the listing's result: the path length as two big-endian
// bytes, then the path bytes without terminator.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/streams.h"

namespace hidlist {

// The most path bytes a record can announce.
constexpr size_t MAX_DEVICE_PATH_BYTES = 0xFFFF;

// Appends the record for a path of length bytes. A longer path than a
// record can announce is not written (its length would be cut to 16 bits
// and misalign every later record): a line is printed and false returned.
// Stream failures pass through as the stream's Throwable*.
bool writeDevicePathRecord(foundation::AccessOut& out, const char* path, size_t length);

}  // namespace hidlist
