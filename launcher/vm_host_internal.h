// The VM host's own pieces (vm_host.h), declared for their tests: the heap
// setting read and stored, and the byte writer. The launcher calls the VM
// host's steps only.
#pragma once

#include <cstdint>
#include <cstdio>

#include "tavelin/layout.h"

namespace launcher {

// The heap limits are the install layout's (cmake/TavelinLayout.cmake), the
// ones the installer checks --heap-mb with.
using tavelin::layout::DEFAULT_HEAP_MB;
using tavelin::layout::MAX_HEAP_MB;
using tavelin::layout::MIN_HEAP_MB;

// The heap setting stored in a jvm.set file: 900 when it is missing, no
// regular file (a link, a pipe, a folder) or shorter than two bytes, else
// the first two bytes big-endian, clamped to 64..2048.
int32_t readHeapSetting(const char* path);

// Writes the heap setting (two bytes, most significant first) to a new file
// renamed over the one at path (what stood there, a link included, is
// replaced; a folder, a device or a read-only file is not). True only when
// both bytes were written and read back as that value.
bool storeHeapSetting(const char* path, int32_t megabytes);

// Writes all bytes and closes the file in every case. 0 when all were
// written, 1 otherwise.
int32_t writeAll(int32_t count, const char* bytes, FILE* file);

}  // namespace launcher
