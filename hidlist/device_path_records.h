// The records of the native method's result, written from a device list:
// per path, its length as two big-endian bytes, then the path bytes without
// terminator. Pure: the diagnostic lines (diagnostic_lines.h) for what is
// left out are returned, not printed, so the caller decides when they reach
// standard output.
#pragma once

#include <cstddef>
#include <string>

#include "foundation/streams.h"
#include "platform/platform.h"

namespace hidlist {

// The most path bytes a record can announce.
constexpr size_t MAX_DEVICE_PATH_BYTES = 0xFFFF;

// Appends the record for a path of length bytes. A longer path than a
// record can announce is not written (its length would be cut to 16 bits
// and misalign every later record): its line is appended to diagnostics
// and false returned. Stream failures pass through as the stream's
// Throwable*.
bool writeDevicePathRecord(foundation::AccessOut& out, const char* path, size_t length,
                           std::string& diagnostics);

// Writes the records of list's paths into out and returns the diagnostic
// lines, both in enumeration order: a set that could not be opened, each
// interface whose path could not be read (named by its index), each path
// too long for a record. Stream failures pass through as above.
std::string writeDevicePathRecords(foundation::AccessOut& out, const platform::HidDeviceList& list);

}  // namespace hidlist
